#pragma once

#include "busy.h"
#include "feedatabase.h"
#include "importrunfiles.h"
#include "operatormessages.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

/// One results file of an import run: the path that is read and the text that the progress
/// line shows for it.
struct ImportRunFile {
    QString path;
    QString label;
};

/// How the files of an import run stand together.
enum class ImportRunKind {
    /// All or nothing: an error ends the run and nothing of it is kept; a file that cannot be
    /// read ends the loop, and what was read before it is kept.
    Whole,
    /// Each file on its own: a file that cannot be read, or whose text or tournaments are refused,
    /// is named with its cause and left out, unrecorded; the others are imported and recorded. A
    /// database error still ends the run whole. The run commits once, at its end.
    EachFile,
};

/// A file that an EachFile run left out.
struct FailedFile {
    QString path;
    /// Why, as the run showed it: "Error loading PATH: REASON", "FILE line N (tournament T):
    /// MESSAGE", or a refused tournament's own words.
    QString message;
};

/// What an import run did.
struct ImportRunOutcome {
    /// Tournaments written (blocks with fee-paying entries), also those that replaced rows.
    int imported = 0;
    /// The file that could not be read and ended the run; empty when every file was read.
    QString unreadablePath;
    /// The files left out of an EachFile run, in run order.
    QList<FailedFile> failed;
    /// True when a file could not be read (also one whose name is empty).
    bool unreadable = false;
};

/// Imports results files in the given order as one run in one transaction, with the record of
/// each file read (its folder's canonical path, name, size and time as read, tournaments): progress
/// "Loading (i of n):  label" before each file; a file that cannot be read (also one that is not
/// a regular file, or is larger than 256 MiB) shows "Error loading " + its path, with the reason
/// as its cause (an empty path: "Error loading "": no file name"), and ends the loop, and what
/// was read before is committed;
/// closeFeeTables when something was imported; "Updating database ..."; the commit; then the
/// notice "Tournaments with fees imported:  N". The wait cursor shows until the files are read.
/// A database whose fee tables lack a column raises RequireFeeSchema's error before anything
/// is read or written. When an error ends the run (a results file with a bad start or stop, a
/// database error, a failed commit), nothing of the run is kept: the transaction is rolled back,
/// the connection leaves it, and the error goes on to the caller. An EachFile run shows each
/// file it leaves out as an error ("Error loading " + its path with the reason as its cause, or
/// the refusal) and goes on with the next.
ImportRunOutcome ImportResultsFiles(const QList<ImportRunFile>& files, FeeDatabase& db,
                                    OperatorMessages& messages, const StatusLine& status,
                                    const std::function<void()>& closeFeeTables,
                                    ImportRunKind kind = ImportRunKind::Whole);

/// The same for files held compactly; each file's progress line shows its path.
ImportRunOutcome ImportResultsFiles(const ImportRunFiles& files, FeeDatabase& db,
                                    OperatorMessages& messages, const StatusLine& status,
                                    const std::function<void()>& closeFeeTables,
                                    ImportRunKind kind = ImportRunKind::Whole);

/// The path of a listed file: the folder with "/" appended when it does not end in one, then
/// the item text.
QString LocalFilePath(const QString& folder, const QString& itemText);

/// The import of the selected files of the local list, in list order. Without a selection it
/// shows the error "No tournament result files selected" and does nothing else.
ImportRunOutcome ImportLocalFiles(const QString& folder, const QStringList& selectedItems,
                                  FeeDatabase& db, OperatorMessages& messages,
                                  const StatusLine& status,
                                  const std::function<void()>& closeFeeTables);
