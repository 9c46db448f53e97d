#include "feeschema.h"

#include "feedatabase.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

struct OwnedTable {
    const char16_t* name;
    QStringList columns;
    bool madeOnDemand; ///< missing is no fault: the program creates it when it first needs it
};

/// Every table this program owns, with the columns it reads and writes. A table that a newer
/// version widens lists only the columns that the oldest version wrote.
const OwnedTable kOwnedTables[] = {
    {u"Master",
     {"TNumber", "TName", "Date", "Time", "Seconds", "Entrants", "Paid", "Bonus", "Multiply",
      "BuyIn", "Fee", "RebuyFee"},
     false},
    {u"Detail", {"TNumber", "Player", "Fees"}, false},
    {u"ImportedFiles", {"Source", "Name", "Size", "Modified", "Tournaments", "Imported"}, true},
    {u"ImportedTournaments", {"Source", "Name", "TNumber"}, true},
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
        for (const OwnedTable& table : kOwnedTables) {
            const QString name = QString::fromUtf16(table.name);
            const QSet<QString> present = ColumnsOf(db, name);
            if (present.isEmpty()) {
                if (!table.madeOnDemand)
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
        const auto* engine = dynamic_cast<const DatabaseError*>(&e);
        if (engine && engine->code() == SQLITE_BUSY)
            throw ZvError(QStringLiteral("The fee database \"%1\" is busy: another program is "
                                         "writing to it")
                              .arg(db.databaseName()));
        return engine ? engine->engineText() : e.message(); // the caller names the file
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

void OpenFeeDatabaseForReport(FeeDatabase& db, const QString& path) {
    db.setDatabaseName(path);
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 && errno == ENOENT)
        throw ZvError(QStringLiteral("No fee database at %1 yet: import results first").arg(path));
    db.OpenReadOnly();
    RequireFeeSchema(db);
}
