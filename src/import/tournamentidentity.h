#pragma once

#include "feedatabase.h"

#include <QByteArrayView>
#include <QSet>
#include <QString>

/// Keeps a tournament of one results file from replacing another tournament that the fee
/// database holds under the same number. A tournament is its number, its start and its name:
/// the same tournament again (from a copy of its file) passes, and so does a rewrite of the file
/// recorded as holding it (a corrected start or name), and a number that one file names twice
/// (its later block replaces the earlier one). Anything else is the tournament of another
/// server, or of a server whose numbers started again, and is refused. The record's tables must
/// exist (RecordRun::begin).
class TournamentIdentity {
public:
    explicit TournamentIdentity(FeeDatabase& db);

    /// The file whose tournaments are checked from now on: where it is recorded, and its name as
    /// the run shows it.
    void beginFile(const QString& source, const QString& name, const QString& shownAs);
    /// Raises TournamentCollision when the tournament may not be written. The texts are the
    /// UTF-8 of what would be stored. One lookup by number (none for a number above all held);
    /// the record is asked only when the database holds another tournament under the number.
    void check(qint32 number, QByteArrayView tname, QByteArrayView date, QByteArrayView time);

private:
    bool recordedForThisFile(qint32 number);
    QString heldFrom(qint32 number);

    FeeDatabase& m_db;
    Statement m_held;
    Statement m_recordedHere;
    Statement m_holder;
    QString m_source;
    QString m_name;
    QString m_shownAs;
    QSet<qint32> m_writtenHere; // the numbers the file being read wrote so far
    QSet<qint32> m_writtenInRun;
    /// The highest number in Master when the run took the write lock: a number above it that
    /// the run did not write is held by no one, and needs no lookup.
    qint64 m_highestHeld = 0;
};

/// Where a recorded file is, as a message names it: its source and name joined by "/".
QString RecordedFileText(const QString& source, const QString& name);
