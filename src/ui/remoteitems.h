#pragma once

#include "remotelist.h"

#include <QList>
#include <Qt>

class QListWidget;
class QListWidgetItem;

/// The items of TRRemoteList. Each shows its RemoteItemName text and keeps the date and name
/// that the server reported under two data roles, so a view or import asks the server for
/// exactly those (the text alone loses them when a date is not 10 characters long).
inline constexpr int kRemoteDateRole = Qt::UserRole + 1; ///< QString: the server's date
inline constexpr int kRemoteNameRole = Qt::UserRole + 2; ///< QString: the server's name

/// Appends one list item per result, in the given order.
void AppendRemoteItems(QListWidget* list, const QList<RemoteItem>& items);

/// The result of a list item: the server's date and name from the roles; an item without them
/// (not filled by AppendRemoteItems) gives the parts cut out of its text by position.
RemoteItem RemoteItemOf(const QListWidgetItem* item);

/// The selected items in list order (not in the order they were selected).
QList<RemoteItem> SelectedRemoteItems(const QListWidget* list);
