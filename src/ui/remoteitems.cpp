#include "remoteitems.h"

#include <QListWidget>

void AppendRemoteItems(QListWidget* list, const QList<RemoteItem>& items) {
    list->setUpdatesEnabled(false);
    for (const RemoteItem& result : items) {
        auto* item = new QListWidgetItem(result.text);
        item->setData(kRemoteDateRole, result.date);
        item->setData(kRemoteNameRole, result.name);
        list->addItem(item);
    }
    list->setUpdatesEnabled(true);
}

RemoteItem RemoteItemOf(const QListWidgetItem* item) {
    const QVariant date = item->data(kRemoteDateRole);
    const QVariant name = item->data(kRemoteNameRole);
    if (!date.isValid() || !name.isValid())
        return RemoteItem::FromText(item->text());
    return {date.toString(), name.toString(), item->text()};
}

QList<RemoteItem> SelectedRemoteItems(const QListWidget* list) {
    QList<RemoteItem> selected;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        if (item->isSelected())
            selected.append(RemoteItemOf(item));
    }
    return selected;
}
