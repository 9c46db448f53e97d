#pragma once

#include "apiclient.h"
#include "busy.h"
#include "operatormessages.h"

#include <QList>
#include <QString>

/// The text of a remote list item: "TR" + date + " " + name + ".txt".
QString RemoteItemName(const QString& date, const QString& name);

/// One result that the server holds: the date and name exactly as the server reported them, and
/// the item text shown in the list. Requests for the file send the server's own date and name, so
/// a date of any length reaches the server unchanged.
struct RemoteItem {
    QString date;
    QString name;
    QString text;

    static RemoteItem FromServer(const QString& date, const QString& name);
    /// The date and name taken back out of an item text by position (the date is the 10
    /// characters after "TR", the name runs from the 14th character up to the final ".txt"); for
    /// item texts that come without the server's parts, such as typed ones.
    static RemoteItem FromText(const QString& text);

    bool operator==(const RemoteItem&) const = default;
};

/// The items of a list answer in index order: Files read as a decimal integer (missing or not a
/// number counts as 0), then DateN and NameN for N from 1 to Files; a missing field gives an
/// empty part. A Files count larger than the answer has lines is cut to the line count, so a
/// broken count cannot exhaust memory; a real list answer always has more lines than files.
QList<RemoteItem> RemoteItemsOfAnswer(const ApiResponse& response);

/// The list call: Command=TournamentsResults, Password.
ApiRequest ListCallFields(const QString& password);
/// The file call: Command=TournamentsResults, Password, Date, Name.
ApiRequest FileCallFields(const QString& password, const RemoteItem& item);

/// The remote list run without the list control: checks the fields (each missing one shown as an
/// error, nothing sent), writes "Retrieving tournament result list ..." to the status line, sends
/// the list call under the busy cursor, clears the status line, and shows the server's Error text
/// on failure or "No files found" when the answer lists nothing. Returns the items (none after any
/// failure); the caller has emptied its list before and fills it afterwards.
QList<RemoteItem> FetchRemoteList(const ServerFields& fields, OperatorMessages& messages,
                                  const StatusLine& status);
