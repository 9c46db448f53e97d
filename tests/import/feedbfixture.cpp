#include "feedbfixture.h"

#include <QTest>
#include <sqlite3.h>

FeeDbFixture::FeeDbFixture() {
    OpenOrCreateFeeDatabase(db, path());
}

QStringList FeeDbFixture::rows(const QString& sql) {
    QStringList out;
    Statement stmt = db.Prepare16(sql);
    while (db.Step(stmt)) {
        QStringList values;
        for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c) {
            switch (sqlite3_column_type(stmt.get(), c)) {
            case SQLITE_INTEGER:
                values << QString::number(sqlite3_column_int64(stmt.get(), c));
                break;
            case SQLITE_FLOAT:
                // Shortest text that reads back exactly: 0.30000000000000004 stays visible.
                values << QString::number(sqlite3_column_double(stmt.get(), c), 'g',
                                          QLocale::FloatingPointShortest);
                break;
            case SQLITE_NULL:
                values << QStringLiteral("NULL");
                break;
            default:
                values << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), c)));
            }
        }
        out << values.join(u'|');
    }
    return out;
}

QStringList Lines(const QString& text) {
    return text.split(u'\n');
}
