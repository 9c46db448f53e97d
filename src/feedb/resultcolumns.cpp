#include "resultset.h"

#include <sqlite3.h>

#include <cmath>

ColumnKind ColumnKindFor(const QString& declType, int storageClass) {
    if (!declType.isEmpty()) {
        const QString type = declType.toUpper();
        if (type.contains(u"INT"))
            return ColumnKind::Integer;
        if (type.contains(u"CHAR") || type.contains(u"CLOB") || type.contains(u"TEXT"))
            return ColumnKind::Text;
        if (type.contains(u"BLOB"))
            return ColumnKind::Blob;
        return ColumnKind::Float;
    }
    switch (storageClass) {
    case SQLITE_INTEGER:
        return ColumnKind::Integer;
    case SQLITE_FLOAT:
        return ColumnKind::Float;
    case SQLITE_BLOB:
        return ColumnKind::Blob;
    default: // SQLITE_TEXT, SQLITE_NULL, no row
        return ColumnKind::Text;
    }
}

QStringList UniqueColumnNames(const QStringList& names) {
    QStringList out;
    out.reserve(names.size());
    const auto taken = [&out](const QString& name) {
        return out.contains(name, Qt::CaseInsensitive);
    };
    for (const QString& name : names) {
        QString unique = name;
        for (int n = 1; taken(unique); ++n)
            unique = name + u'_' + QString::number(n); // "%s_%d"
        out.append(unique);
    }
    return out;
}
namespace {

/// Whether a double is a whole number that a 64-bit integer holds exactly.
bool IsWholeInt64(double value) {
    return value == std::trunc(value) && value >= -9223372036854775808.0 &&
           value < 9223372036854775808.0;
}

ColumnKind CellKindOf(ColumnKind column, int type, sqlite3_value* value) {
    switch (column) {
    case ColumnKind::Text:
    case ColumnKind::Blob:
        return column;
    case ColumnKind::Float:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return column;
        break;
    case ColumnKind::Integer:
        if (type == SQLITE_INTEGER)
            return column;
        if (type == SQLITE_FLOAT)
            return IsWholeInt64(sqlite3_value_double(value)) ? column : ColumnKind::Float;
        break;
    }
    return type == SQLITE_BLOB ? ColumnKind::Blob : ColumnKind::Text;
}
} // namespace

ColumnKind CellKindFor(ColumnKind column, int storageClass, sqlite3_value* value) {
    return CellKindOf(column, storageClass, value);
}

QList<ResultColumn> ResultColumnsOf(sqlite3_stmt* stmt, bool hasRow) {
    const int count = sqlite3_column_count(stmt);
    QStringList names;
    QList<ResultColumn> columns(count);
    for (int i = 0; i < count; ++i) {
        names.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        const char* decl = sqlite3_column_decltype(stmt, i);
        const int storage = hasRow ? sqlite3_column_type(stmt, i) : 0;
        columns[i].kind = ColumnKindFor(QString::fromUtf8(decl), storage);
    }
    names = UniqueColumnNames(names);
    for (int i = 0; i < count; ++i)
        columns[i].name = names[i];
    return columns;
}
