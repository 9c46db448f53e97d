#pragma once

#include <QString>
#include <functional>
#include <optional>

class QFileDialog;

/// The folder browser: a modal folder picker with a window title, a message above the folder
/// tree and a folder selected at the start, centred in the screen's work area. The tree shows
/// the results files (TR*.txt) of each folder greyed, not selectable, and no other files. One
/// object per use: create, set, Execute, read Folder.
class TShBrowse {
public:
    TShBrowse();

    void setCaption(const QString& caption) { FCaption = caption; }
    void setUserMessage(const QString& message) { FUserMessage = message; }
    void setInitFolder(const QString& folder) { FInitFolder = folder; }
    /// Screen position of the dialog's top-left corner; 0 in either centres the dialog.
    void setLeft(int left) { FLeft = left; }
    void setTop(int top) { FTop = top; }

    const QString& Caption() const { return FCaption; }
    const QString& UserMessage() const { return FUserMessage; }
    const QString& InitFolder() const { return FInitFolder; }
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    /// The chosen folder; changes only when Execute returns true.
    const QString& Folder() const { return FFolder; }

    /// Shows the dialog and waits for it. True when the operator chose a folder (Folder holds
    /// its path), false when they cancelled.
    bool Execute();

    /// What Execute asks instead of showing the dialog: the object as set up, and it answers a
    /// folder, or nothing for a cancel. Tests choose folders with it; empty shows the dialog.
    using Chooser = std::function<std::optional<QString>(const TShBrowse&)>;
    static void SetChooser(Chooser chooser);

    /// Sets up a dialog as Execute shows it (for a test that looks at the real dialog).
    void Configure(QFileDialog& dialog);

private:
    QString FCaption;
    QString FFolder;
    QString FInitFolder;
    int FLeft = 0;
    int FTop = 0;
    QString FUserMessage;
};
