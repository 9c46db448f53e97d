#include "busy.h"
#include "feedatabase.h"
#include "reportcatalogue.h"
#include "reportfixture.h"
#include "reportrun.h"
#include "resultset.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
struct Outcome {
    QStringList statuses;
    QString error;
    ReportRunResult result;
};

QString Kinds(const ResultSet& view) {
    QString kinds;
    for (int c = 0; c < view.columnCount(); ++c)
        kinds += "ifTb"[int(view.column(c).kind)];
    return kinds;
}

QStringList Names(const ResultSet& view) {
    QStringList names;
    for (int c = 0; c < view.columnCount(); ++c)
        names << view.column(c).name;
    return names;
}

qint64 Count(FeeDatabase& db, const QString& table) {
    ResultSet view;
    view.open(db, QStringLiteral("SELECT COUNT(*) FROM ") + table);
    return view.integerAt(0, 0);
}

QString Catalogue(int index, std::optional<QDate> start = {}, std::optional<QDate> end = {}) {
    return ComposeReportSQL(index, start, end);
}
} // namespace

class TestReportRun : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;
    int m_dbNumber = 0;

    Outcome Run(const QString& sql, ResultSet& view) {
        Outcome outcome;
        try {
            outcome.result =
                RunReport(m_db, sql, view, [&](const QString& s) { outcome.statuses << s; });
        } catch (const ZvError& e) {
            outcome.error = e.message();
        }
        return outcome;
    }

private Q_SLOTS:
    void init() {
        m_db.Close();
        CreateReportFixture(m_db, m_dir.filePath(QStringLiteral("fees%1.db3").arg(++m_dbNumber)));
    }

    // Statements with result columns open the view; kinds are i(nteger), f(loat), T(ext), b(lob).
    void opensQueries_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("kinds");
        QTest::addColumn<QString>("status");
        QTest::newRow("fees by player")
            << Catalogue(1) << QStringList{"Player", "Tournaments", "Fees"} << "Tif"
            << "Report record 1 of 7";
        QTest::newRow("fees by TName from a date")
            << Catalogue(3, QDate(2024, 3, 2)) << QStringList{"TName", "Players", "Fees"} << "Tif"
            << "Report record 1 of 2";
        QTest::newRow("total fees, empty range: one text-kind NULL")
            << Catalogue(5, QDate(2030, 1, 1)) << QStringList{"Fees"} << "T"
            << "Report record 1 of 1";
        QTest::newRow("grouped, empty range: no rows, text kinds")
            << Catalogue(2, QDate(2030, 1, 1), QDate(2030, 1, 1))
            << QStringList{"Player", "TName", "Fees"} << "TTT"
            << "Report record 0 of 0";
        QTest::newRow("master only: declared kinds")
            << Catalogue(6)
            << QStringList{"TNumber", "TName", "Date",     "Time",  "Seconds", "Entrants",
                           "Paid",    "Bonus", "Multiply", "BuyIn", "Fee",     "RebuyFee"}
            << "iTTTiiifTffT"
            << "Report record 1 of 3";
        QTest::newRow("master/detail join: TNumber once")
            << Catalogue(8)
            << QStringList{"TNumber", "TName",    "Date",  "Time", "Seconds",  "Entrants", "Paid",
                           "Bonus",   "Multiply", "BuyIn", "Fee",  "RebuyFee", "Player",   "Fees"}
            << "iTTTiiifTffTTf"
            << "Report record 1 of 8";
        QTest::newRow("repeated names") << "SELECT m.TNumber, d.TNumber, d.TNumber AS tnumber FROM "
                                           "Master m JOIN Detail d USING (TNumber)"
                                        << QStringList{"TNumber", "TNumber_1", "tnumber_2"} << "iii"
                                        << "Report record 1 of 8";
        QTest::newRow("trailing semicolon and comment")
            << "SELECT Player FROM Detail; -- all of them\n"
            << QStringList{"Player"} << "T"
            << "Report record 1 of 8";
        QTest::newRow("a change that returns rows")
            << "DELETE FROM Detail WHERE Fees IS NULL RETURNING Player" << QStringList{"Player"}
            << "T"
            << "Report record 1 of 1";
    }
    void opensQueries() {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QFETCH(QString, kinds);
        QFETCH(QString, status);
        ResultSet view;
        const Outcome outcome = Run(sql, view);
        QCOMPARE(outcome.error, QString());
        QVERIFY(outcome.result.opened);
        QCOMPARE(outcome.statuses, QStringList{"Performing query ..."});
        QCOMPARE(Names(view), names);
        QCOMPARE(Kinds(view), kinds);
        QCOMPARE(ReportStatusText(view), status);
        QCOMPARE(BusyCursor::depth(), 0);
    }

    // Failures leave the view closed, the status on the progress text and the tables unchanged.
    void refusesWhatItCannotRun_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        QTest::newRow("syntax error") << "SELEC * FROM Master"
                                      << "near \"SELEC\": syntax error";
        QTest::newRow("unknown table") << "SELECT * FROM Masters"
                                       << "no such table: Masters";
        QTest::newRow("unknown column") << "SELECT Fee FROM Detail"
                                        << "no such column: Fee";
        QTest::newRow("fails while running") << "INSERT INTO Master (TNumber) VALUES (1)"
                                             << "UNIQUE constraint failed: Master.TNumber";
        QTest::newRow("blanks only") << "  \r\n\t "
                                     << "The SQL text holds no statement";
        QTest::newRow("comment only") << "-- nothing here"
                                      << "The SQL text holds no statement";
        const QString several = QStringLiteral(
            "The SQL text holds more than one statement; nothing was run. Run one statement at a "
            "time");
        QTest::newRow("two queries") << "SELECT 1; SELECT 2" << several;
        QTest::newRow("a change before a query") << "DELETE FROM Detail; SELECT 1" << several;
        QTest::newRow("a query before a change") << "SELECT 1; DELETE FROM Detail" << several;
        QTest::newRow("rest that cannot prepare")
            << "CREATE TABLE T (a); INSERT INTO T VALUES (1)" << several;
    }
    void refusesWhatItCannotRun() {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        ResultSet view;
        view.open(m_db, QStringLiteral("SELECT * FROM Master"));
        const Outcome outcome = Run(sql, view);
        QCOMPARE(outcome.error, error);
        QVERIFY(!view.isOpen());
        QCOMPARE(view.columnCount(), 0);
        QCOMPARE(outcome.statuses, QStringList{"Performing query ..."});
        QCOMPARE(BusyCursor::depth(), 0);
        QCOMPARE(Count(m_db, QStringLiteral("Master")), 3);
        QCOMPARE(Count(m_db, QStringLiteral("Detail")), 8);
    }

    // Statements without result columns are carried out and said so; the view stays closed.
    void carriesOutStatementsWithoutColumns_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<qint64>("changed");
        QTest::addColumn<qint64>("detailRows");
        QTest::newRow("delete") << "DELETE FROM Detail WHERE TNumber = 2" << qint64(3) << qint64(5);
        QTest::newRow("update") << "UPDATE Detail SET Fees = 0" << qint64(8) << qint64(8);
        QTest::newRow("schema change")
            << "CREATE TABLE Notes (Text TEXT);" << qint64(0) << qint64(8);
    }
    void carriesOutStatementsWithoutColumns() {
        QFETCH(QString, sql);
        QFETCH(qint64, changed);
        QFETCH(qint64, detailRows);
        ResultSet view;
        view.open(m_db, QStringLiteral("SELECT * FROM Master"));
        const Outcome outcome = Run(sql, view);
        QCOMPARE(outcome.error, QString());
        QVERIFY(!outcome.result.opened);
        QCOMPARE(outcome.result.changedRows, changed);
        QVERIFY(!view.isOpen());
        QCOMPARE(outcome.statuses, QStringList({"Performing query ...", ""}));
        QCOMPARE(Count(m_db, QStringLiteral("Detail")), detailRows);
        QCOMPARE(ReportRunMessage(outcome.result),
                 QStringLiteral("The statement was carried out. It gives no result columns, so "
                                "there is no report to show. Rows changed: %1")
                     .arg(changed));
    }

    void runsAfreshAfterAnImport() {
        ResultSet view;
        QVERIFY(Run(Catalogue(1), view).result.opened);
        view.setCurrentRow(4);
        m_db.Execute(QStringLiteral("INSERT INTO Master (TNumber, Date) VALUES (4, '2024-04-01');"
                                    "INSERT INTO Detail VALUES (4, 'Carol', 2), (4, 'Alice', 1);"));
        QCOMPARE(view.rowCount(), 7); // a snapshot until the next run
        QVERIFY(Run(Catalogue(1), view).result.opened);
        QCOMPARE(ReportStatusText(view), QStringLiteral("Report record 1 of 8"));
        QCOMPARE(view.textAt(1, 0), QStringLiteral("Alice"));
        QCOMPARE(view.integerAt(1, 1), 3);
        QCOMPARE(view.realAt(1, 2), 13.5);
    }
};

QTEST_GUILESS_MAIN(TestReportRun)
#include "test_reportrun.moc"
