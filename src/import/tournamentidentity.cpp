#include "tournamentidentity.h"

#include "importresults.h"

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

QByteArrayView ColumnText(sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(s, column)) : QByteArrayView();
}

QString Described(QByteArrayView tname, QByteArrayView date, QByteArrayView time) {
    return QString::fromUtf8(tname) + u", "_s + QString::fromUtf8(date) + u' ' +
           QString::fromUtf8(time);
}

/// Steps a statement that was bound for one lookup and resets it; true when it gave a row.
/// The caller reads the row before the reset through read.
template <typename Read> bool LookUp(FeeDatabase& db, Statement& stmt, Read read) {
    const bool found = db.Step(stmt);
    if (found)
        read(stmt.get());
    sqlite3_reset(stmt.get());
    return found;
}

} // namespace

QString RecordedFileText(const QString& source, const QString& name) {
    return source.endsWith(u'/') ? source + name : source + u'/' + name;
}

TournamentIdentity::TournamentIdentity(FeeDatabase& db)
    : m_db(db), m_held(db.Prepare16(u"SELECT TName, Date, Time FROM Master WHERE TNumber = ?"_s)),
      m_recordedHere(db.Prepare16(u"SELECT 1 FROM ImportedTournaments WHERE Source = ? AND "
                                  "Name = ? AND TNumber = ?"_s)),
      m_holder(db.Prepare16(
          u"SELECT Source, Name FROM ImportedTournaments WHERE TNumber = ? LIMIT 1"_s)) {
    Statement highest = db.Prepare16(u"SELECT max(TNumber) FROM Master"_s);
    if (db.Step(highest))
        m_highestHeld = sqlite3_column_int64(highest.get(), 0);
}

void TournamentIdentity::beginFile(const QString& source, const QString& name,
                                   const QString& shownAs) {
    m_source = source;
    m_name = name;
    m_shownAs = shownAs;
    m_writtenHere.clear();
}

void TournamentIdentity::check(qint32 number, QByteArrayView tname, QByteArrayView date,
                               QByteArrayView time) {
    if (number > m_highestHeld && !m_writtenInRun.contains(number)) {
        m_writtenInRun.insert(number);
        m_writtenHere.insert(number);
        return;
    }
    m_db.Bind_Int(m_held, 1, number);
    bool same = true;
    QString held;
    const bool holds = LookUp(m_db, m_held, [&](sqlite3_stmt* s) {
        same = ColumnText(s, 0) == tname && ColumnText(s, 1) == date && ColumnText(s, 2) == time;
        if (!same)
            held = Described(ColumnText(s, 0), ColumnText(s, 1), ColumnText(s, 2));
    });
    if (holds && !same && !m_writtenHere.contains(number) && !recordedForThisFile(number)) {
        const QString n = QString::number(number);
        throw TournamentCollision(
            u"Tournament %1 of \"%2\" (%3) is not tournament %1 in the fee database (%4, %5). "
            "Results of another server, or of a server whose numbers started again, belong in a "
            "profile of their own: zvfee --profile NAME"_s.arg(
                n, m_shownAs, Described(tname, date, time), held, heldFrom(number)));
    }
    m_writtenHere.insert(number);
    m_writtenInRun.insert(number);
}

bool TournamentIdentity::recordedForThisFile(qint32 number) {
    m_db.Bind_Str16(m_recordedHere, 1, m_source);
    m_db.Bind_Str16(m_recordedHere, 2, m_name);
    m_db.Bind_Int(m_recordedHere, 3, number);
    return LookUp(m_db, m_recordedHere, [](sqlite3_stmt*) {});
}

QString TournamentIdentity::heldFrom(qint32 number) {
    m_db.Bind_Int(m_holder, 1, number);
    QString from;
    const bool recorded = LookUp(m_db, m_holder, [&](sqlite3_stmt* s) {
        from = RecordedFileText(QString::fromUtf8(ColumnText(s, 0)),
                                QString::fromUtf8(ColumnText(s, 1)));
    });
    return recorded ? u"from \"%1\""_s.arg(from) : u"imported before its file was recorded"_s;
}
