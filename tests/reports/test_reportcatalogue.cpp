#include "reportcatalogue.h"
#include "reportpage.h"

#include <QTest>

using OptDate = std::optional<QDate>;
Q_DECLARE_METATYPE(OptDate)

namespace {
// Heads and tails of the catalogue as the operator reads them in the text box.
struct Entry {
    const char* head;
    bool filtered;
    const char* tail;
};
const Entry kEntries[] = {
    {"", false, ""},
    {"SELECT Player, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS Fees FROM Master INNER "
     "JOIN Detail USING (TNumber)",
     true, " GROUP BY Player"},
    {"SELECT Player, TName, SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber)", true,
     " GROUP BY Player, TName"},
    {"SELECT TName, COUNT(DISTINCT Player) as Players, SUM(Fees) AS Fees FROM Master INNER JOIN "
     "Detail USING (TNumber)",
     true, " GROUP BY TName"},
    {"SELECT TName, Player, SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber)", true,
     " GROUP BY TName, Player"},
    {"SELECT SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber)", true, ""},
    {"SELECT * FROM Master", true, ""},
    {"SELECT * FROM Detail ORDER BY TNumber, Player", false, ""},
    {"SELECT * FROM Master INNER JOIN Detail USING (TNumber)", true, ""},
    {"SELECT Date, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS Fees FROM Master INNER "
     "JOIN Detail USING (TNumber)",
     true, " GROUP BY Date"},
    {"SELECT substr(Date, 1, 7) AS Month, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS "
     "Fees FROM Master INNER JOIN Detail USING (TNumber)",
     true, " GROUP BY Month"},
};

struct Range {
    const char* name;
    OptDate start, end;
    const char* filter;
};
const Range kRanges[] = {
    {"no dates", std::nullopt, std::nullopt, ""},
    {"start only", QDate(2024, 3, 1), std::nullopt, " WHERE (Date >= '2024-03-01')"},
    {"end only", std::nullopt, QDate(2024, 3, 31), " WHERE (Date <= '2024-03-31')"},
    {"same day", QDate(2025, 1, 5), QDate(2025, 1, 5), " WHERE Date = '2025-01-05'"},
    {"one day apart", QDate(2024, 12, 31), QDate(2025, 1, 1),
     " WHERE (Date >= '2024-12-31') AND (Date <= '2025-01-01')"},
    {"start after end", QDate(2024, 3, 9), QDate(2024, 3, 1),
     " WHERE (Date >= '2024-03-09') AND (Date <= '2024-03-01')"},
};
} // namespace

class TestReportCatalogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captionsInListOrder() {
        QCOMPARE(ReportCaptions(),
                 QStringList({"Clear", "Fees by Player", "Fees by Player & TName", "Fees by TName",
                              "Fees by TName & Player", "Total Fees", "Master only", "Detail only",
                              "Master/Detail join", "Fees by Date", "Fees by Month"}));
    }

    void composesEveryEntryWithEveryRange_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<OptDate>("start");
        QTest::addColumn<OptDate>("end");
        QTest::addColumn<QString>("expected");
        for (int i = 0; i < int(std::size(kEntries)); ++i) {
            const Entry& e = kEntries[i];
            for (const Range& r : kRanges) {
                const QString expected =
                    *e.head ? QString::fromLatin1(e.head) + (e.filtered ? r.filter : "") + e.tail
                            : QString();
                QTest::addRow("%d %s", i, r.name) << i << r.start << r.end << expected;
            }
        }
        // No entry selected in the list, or an index past its end.
        QTest::newRow("no selection") << -1 << OptDate(QDate(2024, 3, 1)) << OptDate() << QString();
        QTest::newRow("past the end") << 11 << OptDate() << OptDate() << QString();
    }
    void composesEveryEntryWithEveryRange() {
        QFETCH(int, index);
        QFETCH(OptDate, start);
        QFETCH(OptDate, end);
        QFETCH(QString, expected);
        QCOMPARE(ComposeReportSQL(index, start, end), expected);
    }

    void wholeStatementsReadAsExpected_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<OptDate>("start");
        QTest::addColumn<OptDate>("end");
        QTest::addColumn<QString>("expected");
        QTest::newRow("by TName from 1 March")
            << 3 << OptDate(QDate(2024, 3, 1)) << OptDate()
            << "SELECT TName, COUNT(DISTINCT Player) as Players, SUM(Fees) AS Fees FROM Master "
               "INNER JOIN Detail USING (TNumber) WHERE (Date >= '2024-03-01') GROUP BY TName";
        QTest::newRow("by Player, no dates")
            << 1 << OptDate() << OptDate()
            << "SELECT Player, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS Fees FROM "
               "Master INNER JOIN Detail USING (TNumber) GROUP BY Player";
        QTest::newRow("master only from a start")
            << 6 << OptDate(QDate(2024, 3, 1)) << OptDate()
            << "SELECT * FROM Master WHERE (Date >= '2024-03-01')";
        QTest::newRow("detail only ignores dates")
            << 7 << OptDate(QDate(2024, 3, 1)) << OptDate(QDate(2024, 3, 1))
            << "SELECT * FROM Detail ORDER BY TNumber, Player";
        QTest::newRow("clear with dates")
            << 0 << OptDate(QDate(2024, 3, 1)) << OptDate(QDate(2024, 4, 1)) << QString();
        QTest::newRow("by Month over March")
            << 10 << OptDate(QDate(2024, 3, 1)) << OptDate(QDate(2024, 3, 31))
            << "SELECT substr(Date, 1, 7) AS Month, COUNT(DISTINCT TNumber) as Tournaments, "
               "SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber) WHERE (Date >= "
               "'2024-03-01') AND (Date <= '2024-03-31') GROUP BY Month";
        QTest::newRow("early year keeps four digits")
            << 5 << OptDate(QDate(999, 1, 2)) << OptDate()
            << "SELECT SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber) WHERE "
               "(Date >= '0999-01-02')";
    }
    void wholeStatementsReadAsExpected() {
        QFETCH(int, index);
        QFETCH(OptDate, start);
        QFETCH(OptDate, end);
        QFETCH(QString, expected);
        QCOMPARE(ComposeReportSQL(index, start, end), expected);
    }

    void findsReportsByCaptionOrIndex_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("caption") << "Fees by TName & Player" << 4;
        QTest::newRow("caption, other case") << "total fees" << 5;
        QTest::newRow("index") << "7" << 7;
        QTest::newRow("clear by index") << "0" << 0;
        QTest::newRow("last entry by index") << "10" << 10;
        QTest::newRow("index past end") << "11" << -1;
        QTest::newRow("negative index") << "-1" << -1;
        QTest::newRow("caption of a new entry") << "fees by date" << 9;
        QTest::newRow("unknown caption") << "Fees by Week" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void findsReportsByCaptionOrIndex() {
        QFETCH(QString, name);
        QFETCH(int, index);
        QCOMPARE(FindReport(name), index);
    }

    /// A published page names the report and its range only when the statement is the one the
    /// list composed; an edited statement is free SQL, and a range it does not use is not shown.
    void pagesNameTheShownReport_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("range");
        QTest::newRow("entry") << 1 << ""
                               << "Fees by Player"
                               << "From 2024-03-01 to 2024-03-31";
        QTest::newRow("entry that ignores dates") << 7 << ""
                                                  << "Detail only"
                                                  << "";
        QTest::newRow("edited entry") << 1 << " ORDER BY Fees"
                                      << "Report"
                                      << "";
        QTest::newRow("typed over Clear") << 0 << "SELECT 1"
                                          << "Report"
                                          << "";
    }
    void pagesNameTheShownReport() {
        QFETCH(int, index);
        QFETCH(QString, edit);
        QFETCH(QString, title);
        QFETCH(QString, range);
        const OptDate start = QDate(2024, 3, 1), end = QDate(2024, 3, 31);
        const ReportPageInfo info = ShownReportPageInfo(ComposeReportSQL(index, start, end) + edit,
                                                        index, start, end, QLocale::c());
        QCOMPARE(info.title, title);
        QCOMPARE(ReportRangeText(info), range);
        QVERIFY(info.made.isValid());
    }
};

QTEST_GUILESS_MAIN(TestReportCatalogue)
#include "test_reportcatalogue.moc"
