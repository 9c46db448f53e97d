// Handlers of the main window: Tournament Results page, remote tab.

#include "Main.h"
#include "importedmarks.h"
#include "remoteimport.h"
#include "remoteitems.h"

#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

/// Marks the listed items that the database holds for the server of the remote tab. Only a
/// help for the eye: when the record cannot be read, nothing is marked and nothing is said.
void MarkRemoteImports(TMainForm& form) {
    QHash<QString, ImportedFile> imported;
    try {
        imported =
            RecordedRemoteItems(form.db(), form.RemoteServerFields(), ItemTexts(form.TRRemoteList));
    } catch (const std::exception&) {
    }
    ShowImportedMarks(form.TRRemoteList, imported);
}

} // namespace

void TMainForm::connectRemoteTab() {}

ServerFields TMainForm::RemoteServerFields() const {
    return {ServerIP->text(), FilePort->text(), APIPath->text(), APIPW->text()};
}

void TMainForm::ListRemoteFiles() {
    // Emptied before anything is tested, so every failure leaves the tab empty.
    TRRemoteList->clear();
    RFileLabel->setText(u"Files:  0"_s);
    QList<RemoteItem> items;
    if (!Runs->run(ResultsRunPage(), nullptr, [&] {
            items = FetchRemoteList(RemoteServerFields(), messages(), statusLine(TRStatus));
        }))
        return;
    AppendRemoteItems(TRRemoteList, items);
    MarkRemoteImports(*this);
    if (!items.isEmpty()) // the focus mark on the first item, which stays unselected
        TRRemoteList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    RFileLabel->setText(u"Files:  "_s + QString::number(items.size()));
}

void TMainForm::ImportRemoteFiles() {
    const auto remark = qScopeGuard([this] { MarkRemoteImports(*this); }); // after the run
    Runs->run(ResultsRunPage(), &db(), [this] {
        ::ImportRemoteFiles(SelectedRemoteItems(TRRemoteList), RemoteServerFields(), db(),
                            messages(), statusLine(TRStatus), [this] { CloseFeeTables(); });
    });
}
