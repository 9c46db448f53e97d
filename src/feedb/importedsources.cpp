#include "importedsources.h"

#include "importedfiles.h"

#include <sqlite3.h>

using namespace Qt::StringLiterals;

QStringList ImportedSources(FeeDatabase& db) {
    QStringList sources;
    if (!HasImportedFiles(db))
        return sources;
    // One step through the key's index for each source: a folder of many thousand recorded files
    // costs no more than one of a few.
    Statement next = db.Prepare16(
        u"SELECT Source FROM ImportedFiles WHERE Source > ? ORDER BY Source LIMIT 1"_s);
    QString after;
    for (;;) {
        db.Bind_Str16(next, 1, after);
        if (!db.Step(next))
            break;
        sqlite3_stmt* s = next.get();
        after = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                                  sqlite3_column_bytes(s, 0));
        sqlite3_reset(s);
        sources << after;
    }
    return sources;
}

void MergeImportedSource(FeeDatabase& db, const QString& from, const QString& to) {
    // ?1: from, ?2: to. First the rows of `from` that a row of `to` as late or later makes old,
    // then the rows of `to` that what is left of `from` makes old, then the move.
    static const char16_t* const kSteps[] = {
        u"DELETE FROM ImportedTournaments WHERE Source = ?1 AND Name IN (SELECT f.Name FROM "
        u"ImportedFiles AS f JOIN ImportedFiles AS t ON t.Name = f.Name WHERE f.Source = ?1 AND "
        u"t.Source = ?2 AND t.Imported >= f.Imported)",
        u"DELETE FROM ImportedFiles WHERE Source = ?1 AND Name IN (SELECT t.Name FROM "
        u"ImportedFiles AS t WHERE t.Source = ?2 AND t.Imported >= ImportedFiles.Imported)",
        u"DELETE FROM ImportedTournaments WHERE Source = ?2 AND Name IN (SELECT Name FROM "
        u"ImportedFiles WHERE Source = ?1)",
        u"DELETE FROM ImportedFiles WHERE Source = ?2 AND Name IN (SELECT Name FROM "
        u"ImportedFiles WHERE Source = ?1)",
        u"UPDATE ImportedFiles SET Source = ?2 WHERE Source = ?1",
        // A list whose file row went missing may repeat one of `to`: the same row, kept once.
        u"UPDATE OR REPLACE ImportedTournaments SET Source = ?2 WHERE Source = ?1",
    };
    for (const char16_t* sql : kSteps) {
        Statement step = db.Prepare16(QString::fromUtf16(sql));
        db.Bind_Str16(step, 1, from);
        db.Bind_Str16(step, 2, to);
        db.StepAndReset(step);
    }
}
