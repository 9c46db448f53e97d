#include "feeschema.h"

#include "feedatabase.h"

#include <QSet>
#include <sqlite3.h>

namespace {

struct FeeTable {
    const char16_t* name;
    QStringList columns;
};

/// The tables and columns of the two CREATE statements.
const FeeTable kFeeTables[] = {
    {u"Master",
     {"TNumber", "TName", "Date", "Time", "Seconds", "Entrants", "Paid", "Bonus", "Multiply",
      "BuyIn", "Fee", "RebuyFee"}},
    {u"Detail", {"TNumber", "Player", "Fees"}},
};

/// The column names of a table, folded to lower case; none when there is no such table.
QSet<QString> ColumnsOf(FeeDatabase& db, const QString& table) {
    Statement info = db.Prepare16(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    QSet<QString> names;
    while (db.Step(info))
        names.insert(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1)))
                .toLower());
    return names;
}

} // namespace

QString FeeSchemaFault(FeeDatabase& db) {
    db.requireOpen();
    QStringList faults;
    try {
        for (const FeeTable& table : kFeeTables) {
            const QString name = QString::fromUtf16(table.name);
            const QSet<QString> present = ColumnsOf(db, name);
            if (present.isEmpty()) {
                faults << QStringLiteral("no table ") + name;
                continue;
            }
            QStringList missing;
            for (const QString& column : table.columns)
                if (!present.contains(column.toLower()))
                    missing << column;
            if (!missing.isEmpty())
                faults << QStringLiteral("table %1 has no %2 %3")
                              .arg(name,
                                   missing.size() == 1 ? QStringLiteral("column")
                                                       : QStringLiteral("columns"),
                                   missing.join(QStringLiteral(", ")));
        }
    } catch (const ZvError& e) { // not a database at all, or one that cannot be read
        return e.message();
    }
    return faults.join(QStringLiteral("; "));
}

void RequireFeeSchema(FeeDatabase& db) {
    const QString fault = FeeSchemaFault(db);
    if (!fault.isEmpty())
        throw ZvError(
            QStringLiteral("Cannot use the fee database \"%1\": %2").arg(db.databaseName(), fault));
}

void OpenFeeDatabaseForImport(FeeDatabase& db, const QString& path) {
    OpenOrCreateFeeDatabase(db, path);
    RequireFeeSchema(db);
}
