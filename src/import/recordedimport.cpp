#include "recordedimport.h"

#include <QSet>

using namespace Qt::StringLiterals;

RecordedImporter::RecordedImporter(FeeDatabase& db)
    : m_db(db), m_identity(db), m_importer(db), m_record(db),
      m_deleteMaster(db.Prepare16(u"DELETE FROM Master WHERE TNumber = ?"_s)),
      m_deleteDetail(db.Prepare16(QString::fromUtf16(kDeleteDetailSql))) {
    m_importer.setWriteCheck(
        [this](qint32 number, QByteArrayView tname, QByteArrayView date, QByteArrayView time) {
            m_identity.check(number, tname, date, time);
        });
}

int RecordedImporter::importText(const QString& source, const QString& name, const FileStamp& stamp,
                                 QStringView text, const QString& shownAs) {
    m_identity.beginFile(source, name, shownAs);
    m_importer.ImportText(text);
    return recordFile(source, name, stamp);
}

int RecordedImporter::importLines(const QString& source, const QString& name,
                                  const QStringList& lines, const QString& shownAs) {
    m_identity.beginFile(source, name, shownAs);
    m_importer.Import(lines);
    return recordFile(source, name, {});
}

int RecordedImporter::recordFile(const QString& source, const QString& name,
                                 const FileStamp& stamp) {
    const QList<qint32>& written = m_importer.written();
    const QSet<qint32> holds(written.begin(), written.end());
    for (const qint64 t : m_record.tournamentsOf(source, name)) {
        if ((t == qint32(t) && holds.contains(qint32(t))) ||
            m_record.heldElsewhere(source, name, t))
            continue;
        m_db.Bind_Int64(m_deleteMaster, 1, t);
        m_db.StepAndReset(m_deleteMaster);
        m_db.Bind_Int64(m_deleteDetail, 1, t);
        m_db.StepAndReset(m_deleteDetail);
    }
    m_record.record(source, name, {stamp, int(written.size()), QDateTime::currentDateTimeUtc()},
                    QList<qint32>(holds.begin(), holds.end()));
    return int(written.size());
}

RecordRun::RecordRun(FeeDatabase& db) : m_db(db), m_statements(ImportedFilesUpgrade(db)) {
    if (m_statements.isEmpty()) // writes nothing, but takes the write lock
        m_statements << u"DELETE FROM ImportedTournaments WHERE 0"_s;
}

void RecordRun::begin() {
    for (const QString& statement : std::as_const(m_statements))
        m_db.Execute(statement);
}

OwnRunOutcome ImportOnItsOwn(FeeDatabase& db, const QString& shownAs,
                             const std::function<int()>& import) {
    db.Execute(u"SAVEPOINT own_file"_s);
    OwnRunOutcome outcome;
    try {
        outcome.imported = import();
        db.Execute(u"RELEASE own_file"_s);
        return outcome;
    } catch (ResultsTextError& e) {
        e.setFile(shownAs);
        outcome.refusal = e.placedMessage();
    } catch (const TournamentCollision& e) {
        outcome.refusal = e.message();
    }
    // Neither is the database's error: the transaction and the savepoint are whole.
    db.Execute(u"ROLLBACK TO own_file; RELEASE own_file"_s);
    return outcome;
}

bool EndsInsideTournament(const QStringList& lines) {
    bool inside = false;
    for (const QString& line : lines) {
        if (line.startsWith(u"Tournament="))
            inside = true;
        else if (line.startsWith(u"Stop="))
            inside = false;
    }
    return inside;
}
