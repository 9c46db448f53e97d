#pragma once

#include <QString>

class QMessageBox;
class QWidget;

/// The text of the About box: the version, the profile (when there is one), the fee database file
/// (with a note when it is not open), the settings file, and the versions of Qt and SQLite that
/// run, one per line, so that an operator can paste them into a support mail.
QString AboutText(const QString& databasePath, bool databaseOpen, const QString& settingsFile,
                  const QString& profile = QString());

/// Opens the About box over the window without waiting for it (it closes itself and goes). Its
/// text can be selected and copied with the mouse or the keyboard.
QMessageBox* OpenAboutBox(QWidget* parent, const QString& text);
