#include "feedatabase.h"
#include "feeviews.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {
int countOf(FeeDatabase& db, const QString& table) {
    Statement st = db.Prepare16(QStringLiteral("SELECT count(*) FROM ") + table);
    db.Step(st);
    return sqlite3_column_int(st.get(), 0);
}
} // namespace

class TestFeeViews : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_files = 0;

    /// A fresh fee database with three tournaments, two of them with players.
    void openFilled(FeeDatabase& db) {
        OpenOrCreateFeeDatabase(db, m_dir.filePath(QStringLiteral("fees%1.db3").arg(++m_files)));
        db.Execute(QStringLiteral(
            "INSERT INTO Master (TNumber, TName, Date) VALUES (1, 'B', '2024-01-02'),"
            " (2, 'A', '2024-01-03'), (3, 'C', '2024-01-01');"
            "INSERT INTO Detail VALUES (1, 'Ann', 1), (1, 'Bob', 2), (3, 'Cy', 3);"));
    }

private Q_SLOTS:
    void titleClicksChooseTheOrder_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("sql");
        QTest::newRow("none") << QStringList{} << "SELECT * FROM Master ORDER BY TNumber;";
        QTest::newRow("TNumber once")
            << QStringList{"TNumber"} << "SELECT * FROM Master ORDER BY TNumber DESC";
        QTest::newRow("TNumber twice")
            << QStringList{"TNumber", "TNumber"} << "SELECT * FROM Master ORDER BY TNumber";
        QTest::newRow("TName") << QStringList{"TName"} << "SELECT * FROM Master ORDER BY TName";
        QTest::newRow("TName twice")
            << QStringList{"TName", "TName"} << "SELECT * FROM Master ORDER BY TName DESC";
        QTest::newRow("TName twice, then Date")
            << QStringList{"TName", "TName", "Date"} << "SELECT * FROM Master ORDER BY Date";
        QTest::newRow("Date, TName, Date")
            << QStringList{"Date", "TName", "Date"} << "SELECT * FROM Master ORDER BY Date";
        QTest::newRow("names compare exactly")
            << QStringList{"tnumber"} << "SELECT * FROM Master ORDER BY tnumber";
    }
    void titleClicksChooseTheOrder() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, sql);
        MasterSortOrder order;
        QString built = QString::fromUtf16(kInitialMasterSql);
        for (const QString& click : clicks) {
            order = NextMasterSortOrder(order, click);
            built = MasterQueryFor(order);
        }
        QCOMPARE(built, sql);
    }

    /// Both views are read before either shows; a view that fails stays closed with its loading
    /// text, and a master that opens stays open when the detail view fails.
    void loadShowsTheViewsThatOpen_data() {
        QTest::addColumn<QString>("masterSql");
        QTest::addColumn<QString>("detailSql");
        QTest::addColumn<QStringList>("shown"); ///< rows of each view, or "closed"
        QTest::addColumn<QString>("raised");
        const QString master = QString::fromUtf16(kInitialMasterSql);
        const QString detail = QString::fromUtf16(kDetailSql);
        const QString nowhere = QStringLiteral("SELECT * FROM Nowhere");
        QTest::newRow("both") << master << detail << QStringList{"3", "2"} << "";
        QTest::newRow("detail fails")
            << master << nowhere << QStringList{"3", "closed"} << "no such table: Nowhere";
        QTest::newRow("master fails")
            << nowhere << detail << QStringList{"closed", "closed"} << "no such table: Nowhere";
    }
    void loadShowsTheViewsThatOpen() {
        QFETCH(QString, masterSql);
        QFETCH(QString, detailSql);
        QFETCH(QStringList, shown);
        QFETCH(QString, raised);
        FeeDatabase db;
        openFilled(db);
        FeeViews views;
        QStringList statuses;
        const auto status = [&statuses](const QString& text) { statuses << text; };
        QString message;
        try {
            views.load(db, masterSql, detailSql, status, status);
        } catch (const ZvError& e) {
            message = e.message();
        }
        QCOMPARE(message, raised);
        const auto rowsOf = [](const ResultSet& view) {
            return view.isOpen() ? QString::number(view.rowCount()) : QStringLiteral("closed");
        };
        QCOMPARE(QStringList({rowsOf(views.master), rowsOf(views.detail)}), shown);
        QCOMPARE(statuses, QStringList({"Loading Master table ...", "Loading Detail table ..."}));
        QCOMPARE(BusyCursor::depth(), 0);
    }

    void emptyingStopsAtAFailingDelete() {
        FeeDatabase db;
        openFilled(db);
        db.Execute(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON Detail"
                                  " BEGIN SELECT RAISE(ABORT, 'Detail is kept'); END;"));
        RecordingMessages messages;
        QString raised;
        try {
            EmptyFeeDatabase(db, messages, [] {});
        } catch (const ZvError& e) {
            raised = e.message();
        }
        QCOMPARE(raised, QStringLiteral("Detail is kept"));
        QCOMPARE(countOf(db, QStringLiteral("Master")), 0);
        QCOMPARE(countOf(db, QStringLiteral("Detail")), 3);
        QCOMPARE(BusyCursor::depth(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFeeViews)
#include "test_feeviews.moc"
