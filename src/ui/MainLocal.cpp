// Handlers of the main window: Tournament Results page, local tab, and the four buttons of the
// page, which act on whichever tab is active.

#include "Main.h"
#include "ShBrowseU.h"
#include "importedmarks.h"
#include "importrun.h"
#include "listrows.h"
#include "localfolder.h"
#include "newfiles.h"

#include <QKeyEvent>
#include <QScopeGuard>

namespace {

/// Routes the key presses of a results list to its KeyPress handler, which may consume them.
class ListKeyFilter : public QObject {
public:
    ListKeyFilter(QObject* parent, std::function<bool(QChar)> handler)
        : QObject(parent), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        // Ctrl+A comes as character code 1 where the platform gives key texts; some give the
        // plain letter with the Control modifier instead.
        QChar character = key->text().isEmpty() ? QChar() : key->text().front();
        if (key->key() == Qt::Key_A && key->modifiers() == Qt::ControlModifier)
            character = QChar(1);
        return m_handler(character);
    }

private:
    std::function<bool(QChar)> m_handler;
};

QStringList SelectedTexts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            texts << ItemFileName(list->item(row));
    return texts;
}

/// Marks the listed files that are in the database, unchanged since, with all their tournaments
/// still there. Only a help for the eye: when the record cannot be read, nothing is marked and
/// nothing is said.
void MarkLocalImports(TMainForm& form) {
    QHash<QString, ImportedFile> imported;
    try {
        imported =
            UnchangedImports(form.db(), form.LocalFolder->text(), ItemTexts(form.TRLocalList));
    } catch (const std::exception&) {
    }
    ShowImportedMarks(form.TRLocalList, imported);
}

} // namespace

void TMainForm::connectLocalTab() {
    connectHandler(RefreshBtn, &QPushButton::clicked, [this] { RefreshBtnClick(); });
    connectHandler(LoadTRBtn, &QPushButton::clicked, [this] { LoadTRBtnClick(); });
    connectHandler(SelectAllBtn, &QPushButton::clicked, [this] { SelectAllBtnClick(); });
    connectHandler(ImportBtn, &QPushButton::clicked, [this] { ImportBtnClick(); });
    connectHandler(qobject_cast<ResultsList*>(TRLocalList), &ResultsList::doubleClickedAnywhere,
                   [this] { TRLocalListDblClick(); });
    connectHandler(qobject_cast<ResultsList*>(TRRemoteList), &ResultsList::doubleClickedAnywhere,
                   [this] { TRRemoteListDblClick(); });
    TRLocalList->installEventFilter(
        new ListKeyFilter(TRLocalList, [this](QChar c) { return TRLocalListKeyPress(c); }));
    TRRemoteList->installEventFilter(
        new ListKeyFilter(TRRemoteList, [this](QChar c) { return TRRemoteListKeyPress(c); }));
}

void TMainForm::RefreshBtnClick() {
    if (PageControl2->currentWidget() == LocalPage)
        ListLocalFiles();
    else
        ListRemoteFiles();
}

void TMainForm::LoadTRBtnClick() {
    if (PageControl2->currentWidget() == LocalPage)
        ViewLocalFile();
    else
        ViewRemoteFile();
}

void TMainForm::SelectAllBtnClick() {
    if (PageControl2->currentWidget() == LocalPage)
        TRLocalList->selectAll();
    else
        TRRemoteList->selectAll();
}

void TMainForm::ImportBtnClick() {
    if (PageControl2->currentWidget() == LocalPage)
        ImportLocalFiles();
    else
        ImportRemoteFiles();
}

void TMainForm::TRLocalListDblClick() {
    LoadTRBtnClick();
}

void TMainForm::TRRemoteListDblClick() {
    LoadTRBtnClick();
}

bool TMainForm::TRLocalListKeyPress(QChar key) {
    if (key != QChar(1))
        return false;
    TRLocalList->selectAll();
    return true;
}

bool TMainForm::TRRemoteListKeyPress(QChar key) {
    if (key != QChar(1))
        return false;
    TRRemoteList->selectAll();
    return true;
}

void TMainForm::ListLocalFiles() {
    TRLocalList->clear();
    LocalFolder->clear();
    LFileLabel->setText(FilesLabelText(0));

    QString folder;
    {
        TShBrowse browse;
        browse.setCaption(QStringLiteral("Browse for folder"));
        browse.setUserMessage(QStringLiteral("Select tournament results folder"));
        browse.setInitFolder(
            LocalStartFolder(LastFolder, ApplicationDataFolder(), ProgramFolder()));
        if (browse.Execute())
            folder = browse.Folder();
    }
    if (folder.isEmpty()) // cancelled, or an item without a path
        return;
    ListLocalFolder(folder);
}

void TMainForm::ListLocalFolder(const QString& folder) {
    TRLocalList->clear();
    LastFolder = folder;
    LocalFolder->setText(folder);
    const QStringList names = ListResultsFiles(folder);
    AddFileItems(TRLocalList, names);
    MarkLocalImports(*this);
    if (!names.isEmpty()) // the focus mark on the first item, which stays unselected
        TRLocalList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    TRStatus->clear();
    LFileLabel->setText(FilesLabelText(names.size()));
    if (names.isEmpty())
        messages().information(QStringLiteral("No files found"));
}

void TMainForm::ImportLocalFiles() {
    const auto remark = qScopeGuard([this] { MarkLocalImports(*this); }); // after the run
    Runs->run(ResultsRunPage(), &db(), [this] {
        ::ImportLocalFiles(LocalFolder->text(), SelectedTexts(TRLocalList), db(), messages(),
                           statusLine(TRStatus), [this] { CloseFeeTables(); });
    });
}
