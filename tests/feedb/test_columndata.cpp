#include "columndata.h"
#include "feedatabase.h"
#include "packedvalues.h"

#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <limits>
#include <sqlite3.h>

namespace {
/// A stored value: its storage class and the value bound for it.
struct Stored {
    int type;
    QVariant value;
};

void BindStored(sqlite3_stmt* stmt, const Stored& s) {
    switch (s.type) {
    case SQLITE_INTEGER:
        sqlite3_bind_int64(stmt, 1, s.value.toLongLong());
        break;
    case SQLITE_FLOAT:
        sqlite3_bind_double(stmt, 1, s.value.toDouble());
        break;
    case SQLITE_TEXT: {
        const QByteArray bytes = s.value.toByteArray();
        sqlite3_bind_text(stmt, 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    case SQLITE_BLOB: {
        const QByteArray bytes = s.value.toByteArray();
        sqlite3_bind_blob(stmt, 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        sqlite3_bind_null(stmt, 1);
    }
}

/// A cell as the columns give it back: null, its form and its value in that form.
QString CellOf(const ColumnData& column, const TextStore& store, qsizetype row) {
    if (column.isNull(row))
        return QStringLiteral("NULL");
    switch (column.kind(row)) {
    case ColumnKind::Integer:
        return QStringLiteral("I:") + QString::number(column.integer(row));
    case ColumnKind::Float:
        return QStringLiteral("F:") + QString::number(std::bit_cast<qint64>(column.real(row)));
    case ColumnKind::Text:
        return QStringLiteral("T:") +
               QString::fromLatin1(store.bytes(column.id(row)).toByteArray().toHex());
    case ColumnKind::Blob:
        return QStringLiteral("B:") +
               QString::fromLatin1(store.bytes(column.id(row)).toByteArray().toHex());
    }
    return {};
}
} // namespace

Q_DECLARE_METATYPE(Stored)

class TestColumnData : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;

    /// Each column kind over the rows of t: the cells of every row as the readers give them.
    QStringList readAll(bool general) {
        Statement stmt = m_db.Prepare16(QStringLiteral("SELECT v, v, v, v FROM t ORDER BY rowid"));
        const bool row = m_db.Step(stmt);
        std::vector<ColumnData> columns(4);
        const ColumnKind kinds[] = {ColumnKind::Integer, ColumnKind::Float, ColumnKind::Text,
                                    ColumnKind::Blob};
        for (size_t i = 0; i < 4; ++i)
            columns[i].info.kind = kinds[i];
        TextStore store;
        const qsizetype rows = ReadColumns(m_db, stmt, row, columns, store, general);
        QStringList cells;
        for (qsizetype r = 0; r < rows; ++r)
            for (const ColumnData& column : columns)
                cells << CellOf(column, store, r);
        return cells;
    }

private Q_SLOTS:
    void initTestCase() {
        OpenOrCreateFeeDatabase(m_db, m_dir.filePath(QStringLiteral("cells.db3")));
        m_db.Execute(QStringLiteral("CREATE TABLE t(v)")); // no affinity: values stay as bound
    }

    // Each stored type, between values of other kinds, meets a column of each kind: the fast
    // readers give the same cells as the general path.
    void fastReadersGiveTheGeneralCells_data() {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<QString>("asText"); ///< the cell in the Text column
        const qint64 min = std::numeric_limits<qint64>::min();
        const qint64 max = std::numeric_limits<qint64>::max();
        QTest::newRow("null") << Stored{SQLITE_NULL, {}} << "NULL";
        QTest::newRow("integer") << Stored{SQLITE_INTEGER, 42} << "T:3432";
        QTest::newRow("int64 min") << Stored{SQLITE_INTEGER, min}
                                   << QString::fromLatin1("T:" + QByteArray::number(min).toHex());
        QTest::newRow("int64 max") << Stored{SQLITE_INTEGER, max}
                                   << QString::fromLatin1("T:" + QByteArray::number(max).toHex());
        QTest::newRow("whole float") << Stored{SQLITE_FLOAT, 2.0} << "T:322e30";
        QTest::newRow("fraction") << Stored{SQLITE_FLOAT, 2.5} << "T:322e35";
        QTest::newRow("negative zero") << Stored{SQLITE_FLOAT, -0.0} << "T:302e30";
        QTest::newRow("whole beyond int64") << Stored{SQLITE_FLOAT, 9.3e18} << "T:392e33652b3138";
        QTest::newRow("-2^63 as float") << Stored{SQLITE_FLOAT, -9223372036854775808.0}
                                        << "T:2d392e3232333337323033363835343738652b3138";
        QTest::newRow("text") << Stored{SQLITE_TEXT, QByteArray("J\xc3\xb8rgen")}
                              << "T:4ac3b87267656e";
        QTest::newRow("numeric text") << Stored{SQLITE_TEXT, QByteArray("12")} << "T:3132";
        QTest::newRow("empty text") << Stored{SQLITE_TEXT, QByteArray("")} << "T:";
        QTest::newRow("text with NUL") << Stored{SQLITE_TEXT, QByteArray("a\0b", 3)} << "T:610062";
        QTest::newRow("blob") << Stored{SQLITE_BLOB, QByteArray("\x00\xff", 2)} << "T:00ff";
        QTest::newRow("empty blob") << Stored{SQLITE_BLOB, QByteArray()} << "T:";
        // The lengths at which short texts are copied and compared by other loads.
        const QByteArray letters("abcdefghijklmnopqrstu");
        for (const int n : {1, 3, 4, 7, 8, 9, 15, 16, 17, 21})
            QTest::addRow("text of %d bytes", n)
                << Stored{SQLITE_TEXT, letters.left(n)}
                << QString::fromLatin1("T:" + letters.left(n).toHex());
    }
    void fastReadersGiveTheGeneralCells() {
        QFETCH(Stored, stored);
        QFETCH(QString, asText);
        m_db.Execute(QStringLiteral("DELETE FROM t; INSERT INTO t VALUES (7), ('x'), (NULL)"));
        Statement insert = m_db.Prepare16(QStringLiteral("INSERT INTO t VALUES (?)"));
        for (int i = 0; i < 2; ++i) {
            BindStored(insert.get(), stored);
            m_db.StepAndReset(insert);
        }
        m_db.Execute(QStringLiteral("INSERT INTO t VALUES (2.5)"));

        const QStringList fast = readAll(false);
        QCOMPARE(fast, readAll(true));
        QCOMPARE(fast.size(), 6 * 4);
        QCOMPARE(fast[3 * 4 + 2], asText);
        QCOMPARE(fast[4 * 4 + 2], asText);
    }

    // Each form of the packed values, and the moves between them, keep every value.
    void packedValuesKeepEveryValue_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("runLength");
        QTest::addColumn<int>("distinct");
        QTest::addColumn<bool>("small"); ///< values 0, 1, 2, ... rather than spread
        QTest::addColumn<int>("form");
        using Form = PackedValues::Form;
        QTest::newRow("long runs") << 100'000 << 20 << 1'000'000 << false << int(Form::Runs);
        QTest::newRow("one value") << 5'000 << 5'000 << 1 << false << int(Form::Runs);
        QTest::newRow("small values") << 100'000 << 1 << 65'536 << true << int(Form::Small);
        QTest::newRow("small, then wide") << 100'000 << 1 << 65'537 << true << int(Form::Wide);
        QTest::newRow("very few distinct") << 100'000 << 1 << 256 << false << int(Form::Dict8);
        QTest::newRow("few distinct") << 100'000 << 1 << 300 << false << int(Form::Dict);
        QTest::newRow("runs, then few") << 100'000 << 1 << 65'536 << false << int(Form::Dict);
        QTest::newRow("too many") << 100'000 << 1 << 65'537 << false << int(Form::Plain);
        QTest::newRow("all distinct") << 200'000 << 1 << 1'000'000 << false << int(Form::Plain);
    }
    void packedValuesKeepEveryValue() {
        QFETCH(int, rows);
        QFETCH(int, runLength);
        QFETCH(int, distinct);
        QFETCH(bool, small);
        QFETCH(int, form);
        std::vector<quint64> expected;
        PackedValues packed;
        for (int r = 0; r < rows; ++r) {
            // Values spread over the whole 64-bit range, extremes included, or small ones.
            const quint64 n = quint64((r / runLength) % distinct);
            const quint64 value = small ? n : n == 1 ? ~quint64(0) : n * 0x9e3779b97f4a7c15ULL;
            expected.push_back(value);
            packed.push_back(value);
        }
        packed.finish();
        QCOMPARE(int(packed.form()), form);
        QCOMPARE(packed.size(), expected.size());
        for (size_t r = 0; r < expected.size(); ++r)
            QCOMPARE(packed[r], expected[r]);
        for (size_t r = expected.size(); r-- > 0;) // backwards: the runs' lookup hint misses
            QCOMPARE(packed[r], expected[r]);
        size_t next = 0;
        packed.forEachRun([&](quint64 value, size_t first, size_t count) {
            QCOMPARE(first, next);
            for (size_t r = first; r < first + count; ++r)
                QCOMPARE(expected[r], value);
            next = first + count;
        });
        QCOMPARE(next, expected.size());
    }
};

QTEST_GUILESS_MAIN(TestColumnData)
#include "test_columndata.moc"
