#include "feedatabase.h"
#include "resultset.h"
#include "resultsetmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestResultSetModel : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;

    static QString cell(const QAbstractItemModel& model, int row, int column) {
        return model.data(model.index(row, column)).toString();
    }

private Q_SLOTS:
    void initTestCase() {
        OpenOrCreateFeeDatabase(m_db, m_dir.filePath(QStringLiteral("fees.db3")));
        m_db.Execute(QStringLiteral(
            "INSERT INTO Master (TNumber, TName, Bonus) VALUES (1, 'One', 1234567.891),"
            " (2, 'Two', NULL), (3, 'Three', -0.5);"
            "INSERT INTO Detail VALUES (1, 'A player with a name well past twenty', 1.5),"
            " (1, 'Bo', 0), (2, 'Cy', 2.25), (3, 'Di', 0.125), (3, 'Ed', 3), (3, 'Flo', NULL);"));
    }

    void floatsShowTwoDecimalsWithoutGrouping_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("C") << "C" << 1.5 << "1.50";
        QTest::newRow("integer digit") << "C" << 0.25 << "0.25";
        QTest::newRow("whole") << "C" << 12.0 << "12.00";
        QTest::newRow("negative") << "C" << -0.5 << "-0.50";
        QTest::newRow("rounded") << "C" << 2.675000001 << "2.68";
        QTest::newRow("no grouping") << "en_US" << 1234567.891 << "1234567.89";
        QTest::newRow("comma separator") << "de_DE" << 1234567.891 << "1234567,89";
        QTest::newRow("comma, small") << "fr_FR" << 0.1 << "0,10";
    }
    void floatsShowTwoDecimalsWithoutGrouping() {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(FormatFloat00(value, QLocale(locale)), shown);

        ResultSet set;
        ResultSetModel model(&set);
        model.setLocale(QLocale(locale));
        set.open(m_db, QStringLiteral("SELECT CAST(%1 AS REAL) AS v").arg(value, 0, 'g', 17));
        QCOMPARE(cell(model, 0, 0), shown);
    }

    /// A value that does not fit its column shows in its own form; values that fit as before.
    void valuesShowInTheirOwnForm_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("integerColumn");
        QTest::addColumn<QString>("floatColumn");
        QTest::addColumn<int>("alignment");
        const int left = int(Qt::AlignLeft | Qt::AlignVCenter);
        const int right = int(Qt::AlignRight | Qt::AlignVCenter);
        QTest::newRow("list") << "'a,b,c'"
                              << "a,b,c"
                              << "a,b,c" << left;
        QTest::newRow("date") << "'2024-05-03'"
                              << "2024-05-03"
                              << "2024-05-03" << left;
        QTest::newRow("phone") << "'+41 79'"
                               << "+41 79"
                               << "+41 79" << left;
        QTest::newRow("empty text") << "''"
                                    << ""
                                    << "" << left;
        QTest::newRow("fraction") << "1.0 / 3"
                                  << "0.33"
                                  << "0.33" << right;
        QTest::newRow("beyond 64 bits") << "1e19"
                                        << "10000000000000000000.00"
                                        << "10000000000000000000.00" << right;
        QTest::newRow("whole float fits") << "7.0"
                                          << "7"
                                          << "7.00" << right;
        QTest::newRow("integer fits") << "-42"
                                      << "-42"
                                      << "-42.00" << right;
        QTest::newRow("blob") << "x'00'"
                              << "(BLOB)"
                              << "(BLOB)" << left;
    }
    void valuesShowInTheirOwnForm() {
        QFETCH(QString, value);
        QFETCH(QString, integerColumn);
        QFETCH(QString, floatColumn);
        QFETCH(int, alignment);
        ResultSet set;
        ResultSetModel model(&set);
        model.setLocale(QLocale::c());
        // The first row gives each column its kind; the second holds the value.
        set.open(m_db,
                 QStringLiteral("SELECT 1 AS i, 1.5 AS f UNION ALL SELECT %1, %1").arg(value));
        QCOMPARE(set.column(0).kind, ColumnKind::Integer);
        QCOMPARE(set.column(1).kind, ColumnKind::Float);
        QCOMPARE(cell(model, 1, 0), integerColumn);
        QCOMPARE(cell(model, 1, 1), floatColumn);
        QCOMPARE(model.data(model.index(1, 0), Qt::TextAlignmentRole).toInt(), alignment);
        QCOMPARE(cell(model, 0, 0), QStringLiteral("1"));
        QCOMPARE(cell(model, 0, 1), QStringLiteral("1.50"));
    }

    void showsCellsTitlesAndCurrentRow() {
        ResultSet set;
        ResultSetModel model(&set);
        QAbstractItemModelTester tester(&model);
        model.setLocale(QLocale::c());
        set.open(m_db, QStringLiteral("SELECT TNumber, TName, Bonus, x'00' AS b FROM Master"
                                      " ORDER BY TNumber"));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("TName"));
        QCOMPARE(cell(model, 0, 0), QStringLiteral("1"));
        QCOMPARE(cell(model, 0, 2), QStringLiteral("1234567.89"));
        QCOMPARE(cell(model, 1, 2), QString()); // NULL
        QVERIFY(!model.data(model.index(1, 2)).isValid());
        QCOMPARE(cell(model, 2, 1), QStringLiteral("Three"));
        QCOMPARE(cell(model, 0, 3), QStringLiteral("(BLOB)"));
        QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));

        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), ResultSetModel::kCurrentRowMarker);
        QSignalSpy marker(&model, &QAbstractItemModel::headerDataChanged);
        set.setCurrentRow(2);
        QCOMPARE(marker.count(), 2); // old and new row
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QString());
        QCOMPARE(model.headerData(2, Qt::Vertical).toString(), ResultSetModel::kCurrentRowMarker);

        set.close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    void followsTheLinkedRowsWithoutAReset() {
        ResultSet master;
        ResultSet detail;
        detail.linkTo(&master, QStringLiteral("TNumber"));
        ResultSetModel model(&detail);
        QAbstractItemModelTester tester(&model);
        model.setLocale(QLocale::c());
        master.open(m_db, QStringLiteral("SELECT * FROM Master ORDER BY TNumber"));
        detail.open(m_db, QStringLiteral("SELECT TNumber, Player, Fees FROM Detail"));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(cell(model, 0, 1), QStringLiteral("A player with a name well past twenty"));

        model.setHeaderData(2, Qt::Horizontal, QStringLiteral("kept"), Qt::ToolTipRole);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        master.setCurrentRow(2);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(cell(model, 2, 1), QStringLiteral("Flo"));
        QCOMPARE(cell(model, 2, 2), QString());
        QCOMPARE(cell(model, 0, 2), QStringLiteral("0.13"));
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), ResultSetModel::kCurrentRowMarker);
        master.setCurrentRow(1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(resets.count(), 0); // columns and their title data stay
        QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QStringLiteral("kept"));

        detail.open(m_db, QStringLiteral("SELECT TNumber, Player, Fees FROM Detail"));
        QVERIFY(!model.headerData(2, Qt::Horizontal, Qt::ToolTipRole).isValid());
    }
};

QTEST_GUILESS_MAIN(TestResultSetModel)
#include "test_resultsetmodel.moc"
