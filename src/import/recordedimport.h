#pragma once

#include "feedatabase.h"
#include "importedfiles.h"
#include "importresults.h"
#include "tournamentidentity.h"

#include <QStringList>
#include <QStringView>
#include <functional>

/// Imports results files as files of the record, inside the caller's transaction: a file
/// imported again replaces its tournaments whole. Those it held at its recorded import and holds
/// no more are deleted with their players, unless another recorded file still holds them; its
/// record then lists what it holds now. A file that is gone is never imported, so it deletes
/// nothing. A tournament that would replace another one under its number is refused
/// (TournamentIdentity) before it is written.
class RecordedImporter {
public:
    /// The record's tables must exist (RecordRun::begin).
    explicit RecordedImporter(FeeDatabase& db);

    /// Imports the text of the file name of source as it was when stamped; returns the number
    /// of tournaments written. Errors as ResultsImporter::ImportText, and TournamentCollision
    /// naming the file as shownAs.
    int importText(const QString& source, const QString& name, const FileStamp& stamp,
                   QStringView text, const QString& shownAs);
    /// The same for the lines of a server's answer (no stamp).
    int importLines(const QString& source, const QString& name, const QStringList& lines,
                    const QString& shownAs);

private:
    int recordFile(const QString& source, const QString& name, const FileStamp& stamp);

    FeeDatabase& m_db;
    TournamentIdentity m_identity;
    ResultsImporter m_importer;
    ImportedFilesWriter m_record;
    Statement m_deleteMaster;
    Statement m_deleteDetail;
};

/// Readies the record for an import run. Made before the run's transaction begins, which it
/// looks at the tables outside of; begin() is then the run's first statement inside it, and a
/// write: a write from no lock waits for a busy database, one from a read lock cannot.
class RecordRun {
public:
    explicit RecordRun(FeeDatabase& db);
    void begin();

private:
    FeeDatabase& m_db;
    QStringList m_statements;
};

/// What a file imported on its own gave: its tournaments, or why it was left out.
struct OwnRunOutcome {
    int imported = 0;
    /// Empty when the file was kept; else its refusal, as shown: "FILE line N (tournament T):
    /// MESSAGE" for a fault in its text, the collision's own words for a refused tournament.
    QString refusal;
};

/// Runs import (the import of one file, named shownAs) in a savepoint of the run's open
/// transaction, so that it stands or falls alone: when the file's text or one of its tournaments
/// is refused, what it wrote is taken back and the refusal returned, and the run goes on. Any
/// other error (the database's, a cancel) goes on to the run, which rolls back whole.
OwnRunOutcome ImportOnItsOwn(FeeDatabase& db, const QString& shownAs,
                             const std::function<int()>& import);

/// Whether the lines end inside a tournament block: a "Tournament=" line without a "Stop=" line
/// after it. A file may end so (such a block is not written); an answer that nothing but the
/// close of its connection ended may also have lost the rest of its block, and more.
bool EndsInsideTournament(const QStringList& lines);
