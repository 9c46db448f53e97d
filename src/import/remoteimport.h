#pragma once

#include "busy.h"
#include "feedatabase.h"
#include "importedfiles.h"
#include "operatormessages.h"
#include "remotelist.h"
#include "remotesource.h"

#include <QList>
#include <functional>

/// What a remote import run did.
struct RemoteImportOutcome {
    /// False when the selection or the server fields stopped the run before anything was sent.
    bool ran = false;
    /// Tournaments written (blocks with fee-paying entries), also those that replaced rows.
    int imported = 0;
    /// The text of the item whose answer failed and ended the loop; empty when all came in. In
    /// a run of each item on its own, the first item left out.
    QString failedItem;
    /// The items left out of a run of each item on its own.
    int failures = 0;
    /// True when an item failed (also one whose text is empty).
    bool failed = false;
};

/// The items that the record does not hold for the server (under any spelling of it), or whose
/// recorded tournaments are not all in Master any more, in the given order.
QList<RemoteItem> NewRemoteItems(FeeDatabase& db, const ServerFields& fields,
                                 const QList<RemoteItem>& items);

/// The record of each of the items that the record holds for the server, with all their
/// tournaments still in Master, by item text.
QHash<QString, ImportedFile> RecordedRemoteItems(FeeDatabase& db, const ServerFields& fields,
                                                 const QStringList& itemTexts);

/// The import of remote files: fetches every selected item (in list order) from the server API
/// and writes its tournaments into the fee database in one transaction, with the record of each
/// item fetched (source "host:port/path", the item text, no size or time, tournaments).
///
/// Nothing selected: "No tournament result files selected" (error). A missing server field: "No
/// IP specified" as information, the other three as errors. In both cases nothing is sent, no
/// transaction begins, and the outcome says the run did not happen. A database whose fee tables
/// lack a column then raises RequireFeeSchema's error before anything is sent. Otherwise, under
/// the busy cursor, each item writes "Retrieving (i of n):  " + its text to the status line and
/// is fetched with the server's own date and name; an answer that is not "Result=Ok" shows its
/// Error text and ends the loop, keeping what came before; so does an item without text ("Error
/// loading "": no file name", nothing sent), and an answer that only the close of the connection
/// ended inside a tournament block ("Error loading " + the item, nothing of it kept). Then
/// closeFeeTables runs when anything was imported, the status line reads "Updating database ..."
/// while the transaction commits, is cleared, and the notice "Tournaments with fees imported:  " +
/// count is shown.
///
/// An error from the import of a file, or from beginning or committing the transaction, rolls
/// the whole run back (the connection leaves the transaction) and is raised again; the status
/// line keeps its last text.
///
/// With eachItem, every item stands alone: an item whose answer fails, or whose text or
/// tournaments are refused, is shown as an error with its cause and left out, unrecorded, and the
/// run goes on with the next; only a database error ends the run whole.
RemoteImportOutcome ImportRemoteFiles(const QList<RemoteItem>& selected, const ServerFields& fields,
                                      FeeDatabase& db, OperatorMessages& messages,
                                      const StatusLine& status,
                                      const std::function<void()>& closeFeeTables,
                                      bool eachItem = false);
