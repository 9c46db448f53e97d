// Handlers of the main window: Tournament Results page, remote tab.

#include "Main.h"
#include "remoteimport.h"
#include "remoteitems.h"

using namespace Qt::StringLiterals;

void TMainForm::connectRemoteTab() {}

ServerFields TMainForm::RemoteServerFields() const {
    return {ServerIP->text(), FilePort->text(), APIPath->text(), APIPW->text()};
}

void TMainForm::ListRemoteFiles() {
    // Emptied before anything is tested, so every failure leaves the tab empty.
    TRRemoteList->clear();
    RFileLabel->setText(u"Files:  0"_s);
    const QList<RemoteItem> items =
        FetchRemoteList(RemoteServerFields(), messages(), statusLine(TRStatus));
    AppendRemoteItems(TRRemoteList, items);
    if (!items.isEmpty()) // the focus mark on the first item, which stays unselected
        TRRemoteList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    RFileLabel->setText(u"Files:  "_s + QString::number(items.size()));
}

void TMainForm::ImportRemoteFiles() {
    ::ImportRemoteFiles(SelectedRemoteItems(TRRemoteList), RemoteServerFields(), db(), messages(),
                        statusLine(TRStatus), [this] { CloseFeeTables(); });
}
