// Handlers of the main window: the result file viewer.

#include "Main.h"
#include "TRView.h"
#include "importedmarks.h"
#include "remoteitems.h"
#include "viewsources.h"

namespace {
/// The item with the list's focus mark, selected or not. A list whose focus mark was never moved
/// has it on its first item.
QListWidgetItem* currentItemOf(const QListWidget* list) {
    if (QListWidgetItem* item = list->currentItem())
        return item;
    return list->count() > 0 ? list->item(0) : nullptr;
}
} // namespace

void TMainForm::ViewLocalFile() {
    const QListWidgetItem* item = currentItemOf(TRLocalList);
    auto file =
        LoadLocalView(LocalFolder->text(),
                      item ? std::optional<QString>(ItemFileName(item)) : std::nullopt, messages());
    if (file)
        TRViewForm->ShowFile(file->caption, std::move(file->lines));
}

void TMainForm::ViewRemoteFile() {
    const QListWidgetItem* item = currentItemOf(TRRemoteList);
    const ServerFields fields{ServerIP->text(), FilePort->text(), APIPath->text(), APIPW->text()};
    std::optional<ViewedFile> file;
    Runs->run(ResultsRunPage(), nullptr, [&] {
        file = FetchRemoteView(fields, TRRemoteList->selectedItems().size(),
                               item ? std::optional<RemoteItem>(RemoteItemOf(item)) : std::nullopt,
                               messages());
    });
    if (file)
        TRViewForm->ShowFile(file->caption, std::move(file->lines));
}
