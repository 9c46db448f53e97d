#pragma once

#include "importedfiles.h"

#include <QHash>
#include <QString>

class QListWidget;

/// Marks the items of a results list that are already in the fee database: the palette's
/// disabled text colour and the tooltip "Imported YYYY-MM-DD HH:MM, N tournaments". Every other
/// item gets the list's own colour and no tooltip. Texts, selection and order stay as they are.
void ShowImportedMarks(QListWidget* list, const QHash<QString, ImportedFile>& imported);

/// The texts of every item of a list, in list order.
QStringList ItemTexts(const QListWidget* list);
