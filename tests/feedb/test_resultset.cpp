#include "feedatabase.h"
#include "resultset.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ColumnKind)

namespace {
QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ZvError& e) {
        return e.message();
    }
    return QString();
}

QStringList namesOf(const ResultSet& set) {
    QStringList names;
    for (int i = 0; i < set.columnCount(); ++i)
        names << set.column(i).name;
    return names;
}

QList<ColumnKind> kindsOf(const ResultSet& set) {
    QList<ColumnKind> kinds;
    for (int i = 0; i < set.columnCount(); ++i)
        kinds << set.column(i).kind;
    return kinds;
}

/// The Player texts of the rows shown, in order.
QStringList playersOf(const ResultSet& detail) {
    QStringList players;
    const int column = detail.columnIndex(QStringLiteral("Player"));
    for (qsizetype r = 0; r < detail.rowCount(); ++r)
        players << detail.textAt(r, column);
    return players;
}

constexpr auto I = ColumnKind::Integer;
constexpr auto F = ColumnKind::Float;
constexpr auto T = ColumnKind::Text;
constexpr auto B = ColumnKind::Blob;
} // namespace

class TestResultSet : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;

private Q_SLOTS:
    void initTestCase() {
        OpenOrCreateFeeDatabase(m_db, m_dir.filePath(QStringLiteral("fees.db3")));
        m_db.Execute(QStringLiteral(
            "INSERT INTO Master VALUES (7, 'Sunday Major', '2024-03-03', '20:00:00', 3600, 40, 52,"
            " 100.0, 'No', 10.0, 1.0, 'Yes');"
            "INSERT INTO Master VALUES (3, 'Daily', '2024-03-01', '18:00:00', 1200, 9, 9,"
            " 0.0, 'No', 5.0, 0.5, 'No');"
            "INSERT INTO Master VALUES (5, 'Empty', '2024-03-02', '19:00:00', 10, 0, 0,"
            " 0.0, 'No', 5.0, 0.5, 'No');"
            // Stored out of tournament order, as re-imports leave them.
            "INSERT INTO Detail VALUES (7, 'Zed', 3.0);"
            "INSERT INTO Detail VALUES (3, 'Bob', 0.5);"
            "INSERT INTO Detail VALUES (7, 'Amy', 2.0);"
            "INSERT INTO Detail VALUES (3, 'amy', 0.5);"
            "INSERT INTO Detail VALUES (7, 'Cat', 1.0);"
            "INSERT INTO Detail VALUES (NULL, 'Nobody', 1.0);"
            "CREATE TABLE Kinds (a floating point, b VARCHAR(20), c NUMERIC, d BLOB, e DATE,"
            " f DOUBLE, g CLOB, h BIGINT, i);"
            "INSERT INTO Kinds VALUES (1, 'x', 2, x'00ff', '2024-01-01', 1.5, 'y', 3, 'z');"));
    }

    void columnNamesAndKinds_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<ColumnKind>>("kinds");

        QTest::newRow("master table")
            << "SELECT * FROM Master"
            << QStringList{"TNumber", "TName", "Date",     "Time",  "Seconds", "Entrants",
                           "Paid",    "Bonus", "Multiply", "BuyIn", "Fee",     "RebuyFee"}
            << QList<ColumnKind>{I, T, T, T, I, I, I, F, T, F, F, T};
        QTest::newRow("declared types by affinity")
            << "SELECT * FROM Kinds" << QStringList{"a", "b", "c", "d", "e", "f", "g", "h", "i"}
            << QList<ColumnKind>{I, T, F, B, F, F, T, I, T};
        QTest::newRow("repeats in other letter case")
            << "SELECT TNumber, TNumber AS tnumber, Player AS TNUMBER FROM Detail"
            << QStringList{"TNumber", "tnumber_1", "TNUMBER_2"} << QList<ColumnKind>{I, I, T};
        QTest::newRow("suffix already taken")
            << "SELECT 1 AS a, 2 AS a_1, 3 AS A" << QStringList{"a", "a_1", "A_2"}
            << QList<ColumnKind>{I, I, I};
        QTest::newRow("join of both tables")
            << "SELECT m.TNumber, d.TNumber, d.Fees FROM Master m JOIN Detail d"
               " ON m.TNumber = d.TNumber"
            << QStringList{"TNumber", "TNumber_1", "Fees"} << QList<ColumnKind>{I, I, F};
        QTest::newRow("expressions take the first row's storage class")
            << "SELECT count(*), sum(Fees), Player || '!', 2.5, x'01', TNumber + 0 AS n"
               " FROM Detail WHERE Player = 'Amy'"
            << QStringList{"count(*)", "sum(Fees)", "Player || '!'", "2.5", "x'01'", "n"}
            << QList<ColumnKind>{I, F, T, F, B, I};
        QTest::newRow("NULL in the first row is text")
            << "SELECT sum(Fees) AS Fees, max(TNumber) FROM Detail WHERE 0"
            << QStringList{"Fees", "max(TNumber)"} << QList<ColumnKind>{T, T};
        QTest::newRow("no rows: declared kinds stay, expressions are text")
            << "SELECT TNumber, Fees, Fees * 2 AS Double FROM Detail WHERE 0"
            << QStringList{"TNumber", "Fees", "Double"} << QList<ColumnKind>{I, F, T};
    }
    void columnNamesAndKinds() {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QFETCH(QList<ColumnKind>, kinds);
        ResultSet set;
        set.open(m_db, sql);
        QCOMPARE(namesOf(set), names);
        QCOMPARE(kindsOf(set), kinds);
    }

    void valuesKeepTheirKindAndWholeText() {
        const QString longA = QStringLiteral("Twenty characters ok and then Ann");
        const QString longB = QStringLiteral("Twenty characters ok and then Bea");
        ResultSet set;
        set.open(m_db, QStringLiteral("SELECT '%1' AS a, '%2' AS b, '' AS e, NULL AS n,"
                                      " 'Zoë 東京' AS u, 9007199254740993 AS big, 0.1 AS r,"
                                      " x'00ff10' AS blob")
                           .arg(longA, longB));
        QCOMPARE(set.textAt(0, 0), longA);
        QCOMPARE(set.textAt(0, 1), longB);
        QVERIFY(!set.isNull(0, 2));
        QCOMPARE(set.textAt(0, 2), QString());
        QVERIFY(set.isNull(0, 3));
        QVERIFY(!set.value(0, 3).isValid());
        QCOMPARE(set.textAt(0, 4), QStringLiteral("Zoë 東京"));
        QCOMPARE(set.integerAt(0, 5), Q_INT64_C(9007199254740993));
        QCOMPARE(set.realAt(0, 6), 0.1);
        QCOMPARE(set.blobAt(0, 7), QByteArray("\x00\xff\x10", 3));
    }

    void aRepeatedTextReadsTheSameInEveryRow() {
        m_db.Execute(QStringLiteral("CREATE TABLE Names (n TEXT);"
                                    "INSERT INTO Names VALUES ('Ann'), ('Bob'), ('Ann'), (NULL),"
                                    " ('ann'), ('Ann');"));
        ResultSet set;
        set.open(m_db, QStringLiteral("SELECT n FROM Names"));
        QStringList read;
        for (qsizetype r = 0; r < set.rowCount(); ++r)
            read << (set.isNull(r, 0) ? QStringLiteral("<null>") : set.textAt(r, 0));
        QCOMPARE(read, QStringList({"Ann", "Bob", "Ann", "<null>", "ann", "Ann"}));
    }

    /// Enough rows for every column to outgrow its first blocks, on the heap and mapped; every
    /// cell reads back, on both sides of each growth.
    void manyRowsReadBack() {
        constexpr int kRows = 300'000;
        ResultSet set;
        set.open(m_db,
                 QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM"
                                " n WHERE i < %1) SELECT i, i * 0.5, 'p' || (i % 1000) FROM n")
                     .arg(kRows - 1));
        QCOMPARE(set.rowCount(), kRows);
        for (qsizetype r = 0; r < kRows; ++r) {
            if (set.integerAt(r, 0) != r || set.realAt(r, 1) != r * 0.5 ||
                set.bytesAt(r, 2) != "p" + QByteArray::number(r % 1000))
                QFAIL(qPrintable(QStringLiteral("row %1 reads wrong").arg(r)));
        }
    }

    void currentRowAndPosition() {
        ResultSet set;
        QSignalSpy moved(&set, &ResultSet::currentRowChanged);
        set.open(m_db, QStringLiteral("SELECT * FROM Master ORDER BY TNumber"));
        QCOMPARE(moved.count(), 1); // the move to the first row
        QCOMPARE(set.currentRow(), 0);
        QCOMPARE(set.position(), 1);
        QCOMPARE(set.rowCount(), 3);

        set.setCurrentRow(2);
        set.setCurrentRow(2);
        set.setCurrentRow(99);
        QCOMPARE(moved.count(), 4); // every move request, also to the same row
        QCOMPARE(set.position(), 3);
        set.setCurrentRow(-5);
        QCOMPARE(set.position(), 1);

        set.open(m_db, QStringLiteral("SELECT * FROM Master WHERE 0"));
        QCOMPARE(set.currentRow(), -1);
        QCOMPARE(set.position(), 0);
        QCOMPARE(set.rowCount(), 0);
        QCOMPARE(set.columnCount(), 12); // an open set has its columns without rows
    }

    void closedSetHasNoColumns() {
        ResultSet set;
        QVERIFY(!set.isOpen());
        set.open(m_db, QStringLiteral("SELECT * FROM Detail"));
        set.close();
        QVERIFY(!set.isOpen());
        QCOMPARE(set.columnCount(), 0);
        QCOMPARE(set.rowCount(), 0);
        QCOMPARE(set.position(), 0);
        QVERIFY(set.isNull(0, 0));
    }

    void failingOpenRaisesAndLeavesTheSetClosed_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing table") << "SELECT * FROM Nowhere"
                                       << "no such table: Nowhere";
        QTest::newRow("syntax") << "SELEC 1"
                                << "near \"SELEC\": syntax error";
        QTest::newRow("fails while stepping") << "SELECT abs(-9223372036854775807 - 1)"
                                              << "integer overflow";
        QTest::newRow("not a query, not run") << "DELETE FROM Detail"
                                              << "The statement returns no result columns";
    }
    void failingOpenRaisesAndLeavesTheSetClosed() {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        ResultSet set;
        set.open(m_db, QStringLiteral("SELECT * FROM Master"));
        QCOMPARE(errorOf([&] { set.open(m_db, sql); }), error);
        QVERIFY(!set.isOpen());
        QCOMPARE(set.columnCount(), 0);
        set.open(m_db, QStringLiteral("SELECT * FROM Detail"));
        QCOMPARE(set.rowCount(), 6); // the DELETE did not run
    }

    void openOnClosedConnectionRaises() {
        FeeDatabase closed;
        ResultSet set;
        QCOMPARE(errorOf([&] { set.open(closed, QStringLiteral("SELECT 1")); }),
                 QStringLiteral("Cannot perform this operation on a closed database"));
    }

    void detailShowsTheRowsOfTheCurrentMasterRow_data() {
        QTest::addColumn<QString>("detailSql");
        QTest::addColumn<int>("masterRow");
        QTest::addColumn<QStringList>("players");
        // Master by TNumber: 3, 5, 7. Rows of a tournament keep the order of the query, whether
        // the query yields them grouped by tournament or not.
        const QString stored = QStringLiteral("SELECT TNumber, Player, Fees FROM Detail");
        const QString grouped =
            stored + QStringLiteral(" WHERE TNumber IS NOT NULL ORDER BY TNumber, rowid");
        const QString descending =
            stored + QStringLiteral(" WHERE TNumber IS NOT NULL ORDER BY TNumber DESC, rowid");
        for (const QString& sql : {stored, grouped, descending}) {
            const char* order =
                sql == stored ? "as stored" : (sql == grouped ? "grouped" : "descending");
            QTest::addRow("%s, first", order) << sql << 0 << QStringList{"Bob", "amy"};
            QTest::addRow("%s, no detail rows", order) << sql << 1 << QStringList{};
            QTest::addRow("%s, last", order) << sql << 2 << QStringList{"Zed", "Amy", "Cat"};
        }
    }
    void detailShowsTheRowsOfTheCurrentMasterRow() {
        QFETCH(QString, detailSql);
        QFETCH(int, masterRow);
        QFETCH(QStringList, players);
        ResultSet master;
        ResultSet detail;
        detail.linkTo(&master, QStringLiteral("TNumber"));
        master.open(m_db, QStringLiteral("SELECT * FROM Master ORDER BY TNumber"));
        detail.open(m_db, detailSql);
        QCOMPARE(playersOf(detail), QStringList({"Bob", "amy"}));

        QSignalSpy moved(&detail, &ResultSet::currentRowChanged);
        detail.setCurrentRow(1);
        master.setCurrentRow(masterRow);
        QCOMPARE(moved.count(), 2); // the master's move moved the detail too
        QCOMPARE(playersOf(detail), players);
        QCOMPARE(detail.position(), detail.rowCount() > 0 ? 1 : 0);
        for (qsizetype r = 0; r < detail.rowCount(); ++r)
            QCOMPARE(detail.integerAt(r, 0),
                     master.integerAt(masterRow, master.columnIndex(QStringLiteral("TNumber"))));
    }

    void detailWithoutMasterRowShowsNothing() {
        ResultSet master;
        ResultSet detail;
        detail.linkTo(&master, QStringLiteral("TNumber"));
        detail.open(m_db, QStringLiteral("SELECT TNumber, Player, Fees FROM Detail"));
        QCOMPARE(detail.rowCount(), 0); // master closed

        master.open(m_db, QStringLiteral("SELECT * FROM Master ORDER BY TNumber DESC"));
        QCOMPARE(playersOf(detail), QStringList({"Zed", "Amy", "Cat"}));

        QSignalSpy changed(&detail, &ResultSet::rowsChanged);
        master.close();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(detail.rowCount(), 0);
        QCOMPARE(detail.position(), 0);
        QVERIFY(detail.isOpen());

        master.open(m_db, QStringLiteral("SELECT * FROM Master WHERE 0"));
        QCOMPARE(detail.rowCount(), 0);
    }

    void detailWithoutTheKeyFieldDoesNotOpen() {
        ResultSet master;
        ResultSet detail;
        detail.linkTo(&master, QStringLiteral("TNumber"));
        QCOMPARE(errorOf([&] { detail.open(m_db, QStringLiteral("SELECT Player FROM Detail")); }),
                 QStringLiteral("Field 'TNumber' not found"));
        QVERIFY(!detail.isOpen());
    }

    void linkingAnOpenSetAndUnlinking() {
        ResultSet master;
        ResultSet detail;
        master.open(m_db, QStringLiteral("SELECT * FROM Master ORDER BY TNumber DESC"));
        detail.open(m_db, QStringLiteral("SELECT * FROM Detail"));
        QCOMPARE(detail.rowCount(), 6);
        detail.linkTo(&master, QStringLiteral("TNumber"));
        QCOMPARE(playersOf(detail), QStringList({"Zed", "Amy", "Cat"}));
        detail.linkTo(nullptr, QString());
        QCOMPARE(detail.rowCount(), 6);
    }

    /// A key of its own form (a text or a fraction in an integer key column) equals no key of
    /// the other kind; a whole float is the integer it holds.
    void keysOfTheirOwnFormLinkNothing() {
        ResultSet master;
        ResultSet detail;
        detail.linkTo(&master, QStringLiteral("TNumber"));
        master.open(m_db, QStringLiteral("SELECT 5 AS TNumber UNION ALL SELECT 5.5"
                                         " UNION ALL SELECT 0"));
        detail.open(m_db, QStringLiteral("SELECT 5 AS TNumber, 'a' AS Player UNION ALL"
                                         " SELECT 'x', 'b' UNION ALL SELECT 5.5, 'c'"
                                         " UNION ALL SELECT 5.0, 'd'"));
        QCOMPARE(master.cellKind(1, 0), ColumnKind::Float);
        QCOMPARE(playersOf(detail), QStringList({"a", "d"}));
        master.setCurrentRow(1);
        QCOMPARE(detail.rowCount(), 0);
        master.setCurrentRow(2);
        QCOMPARE(detail.rowCount(), 0); // not the text, which once read as 0
    }

    void textKeysLink() {
        ResultSet master;
        ResultSet detail;
        detail.linkTo(&master, QStringLiteral("Player"));
        master.open(m_db, QStringLiteral("SELECT 'amy' AS Player UNION ALL SELECT 'Nobody'"
                                         " UNION ALL SELECT 'Stranger'"));
        detail.open(m_db, QStringLiteral("SELECT TNumber, Player FROM Detail"));
        QCOMPARE(detail.rowCount(), 1); // exact comparison: 'Amy' is another player
        QCOMPARE(detail.integerAt(0, 0), 3);
        master.setCurrentRow(1);
        QCOMPARE(playersOf(detail), QStringList({"Nobody"}));
        master.setCurrentRow(2);
        QCOMPARE(detail.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestResultSet)
#include "test_resultset.moc"
