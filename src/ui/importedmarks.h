#pragma once

#include "importedfiles.h"

#include <QHash>
#include <QString>

class QColor;
class QListWidget;
class QListWidgetItem;

/// Marks the items of a results list that are already in the fee database: a muted text colour
/// (MarkedTextColor of the list's palette) and the tooltip "Imported YYYY-MM-DD HH:MM, N
/// tournaments". Every other item gets the list's own colour and no tooltip. Items are matched by
/// their file name (ItemFileName). Texts, selection and order stay as they are.
void ShowImportedMarks(QListWidget* list, const QHash<QString, ImportedFile>& imported);

/// The contrast ratio of two colours (WCAG 2): 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);
/// A colour between text and background, as far from the text as a contrast of 4.5:1 on the
/// background allows (WCAG AA), so a marked item stays readable.
QColor MarkedTextColor(const QColor& text, const QColor& background);

/// The file name an item of the local list stands for: the name as the system holds it
/// (DecodeFileName) kept with the item, else its text. The text shows replacement characters
/// where the name is not valid UTF-8.
QString ItemFileName(const QListWidgetItem* item);
/// Items for the file names, each showing DisplayFileName and keeping the name's bytes.
void AddFileItems(QListWidget* list, const QStringList& names);

/// The file names (ItemFileName) of every item of a list, in list order.
QStringList ItemTexts(const QListWidget* list);
