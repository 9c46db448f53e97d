#include "chartmodel.h"
#include "chartpicker.h"
#include "chartticks.h"
#include "feedatabase.h"
#include "reportcatalogue.h"
#include "reportstream.h"
#include "resultset.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

namespace {
/// The rows "label, value" as a statement of two columns, Label and Fees.
QString Rows(const QString& values) {
    return QStringLiteral("SELECT column1 AS Label, column2 AS Fees FROM (VALUES %1)").arg(values);
}

/// Players p01 ... pNN paying 1 ... NN.
QString Players(int count) {
    QStringList rows;
    for (int i = 1; i <= count; ++i)
        rows << QStringLiteral("('p%1', %2)").arg(i, 2, 10, QLatin1Char('0')).arg(i);
    return Rows(rows.join(u','));
}

/// "TimeBars Label/Fees: a=1|b=2"; more than eight points show as the first two, the last two
/// and the count.
QString Describe(const ChartData& chart) {
    static const char* const shapes[] = {"TimeBars", "TimeLine", "RankingBars"};
    QStringList points;
    for (const ChartPoint& p : chart.points)
        points << p.label + u'=' + QString::number(p.value);
    if (points.size() > 8) {
        points = points.mid(0, 2) + QStringList{QStringLiteral("...")} +
                 points.mid(points.size() - 2) +
                 QStringList{QStringLiteral("(%1)").arg(chart.points.size())};
    }
    const QString unit = ChartUnitText(chart.unit);
    return QStringLiteral("%1%2 %3/%4: %5%6")
        .arg(QLatin1String(shapes[int(chart.shape)]), unit.isEmpty() ? unit : u' ' + unit,
             chart.labelTitle, chart.valueTitle, points.join(u'|'),
             chart.subtitle.isEmpty() ? QString() : QStringLiteral(" (") + chart.subtitle + u')');
}
} // namespace

class TestChartModel : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;

    void open(ResultSet& view, const QString& sql) { view.open(m_db, sql); }

private Q_SLOTS:
    void initTestCase() {
        OpenOrCreateFeeDatabase(m_db, m_dir.filePath(QStringLiteral("fees.db3")));
    }

    void buildsTheChartOfAView_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("chart");
        // Time series: every day or month from the first to the last, in date order.
        QTest::newRow("days over a leap day and a month end")
            << Rows("('2024-03-01', 2.0), ('2024-02-27', 1.5)")
            << "TimeBars day Label/Fees: 2024-02-27=1.5|2024-02-28=0|2024-02-29=0|2024-03-01=2";
        QTest::newRow("no leap day in 2023")
            << Rows("('2023-02-27', 1), ('2023-03-01', 2)")
            << "TimeBars day Label/Fees: 2023-02-27=1|2023-02-28=0|2023-03-01=2";
        QTest::newRow("months over a year end")
            << Rows("('2024-02', 7), ('2023-11', 5)")
            << "TimeBars month Label/Fees: 2023-11=5|2023-12=0|2024-01=0|2024-02=7";
        QTest::newRow("one day twice is added up") << Rows("('2024-05-03', 1.5), ('2024-05-03', 2)")
                                                   << "TimeBars day Label/Fees: 2024-05-03=3.5";
        QTest::newRow("60 days are bars")
            << Rows("('2024-01-01', 1), ('2024-02-29', 4)")
            << "TimeBars day Label/Fees: "
               "2024-01-01=1|2024-01-02=0|...|2024-02-28=0|2024-02-29=4|(60)";
        QTest::newRow("61 days are a line")
            << Rows("('2024-01-01', 1), ('2024-03-01', 4)")
            << "TimeLine day Label/Fees: "
               "2024-01-01=1|2024-01-02=0|...|2024-02-29=0|2024-03-01=4|(61)";
        // Anything else is a ranking, largest first.
        QTest::newRow("days mixed with a month")
            << Rows("('2024-05', 1), ('2024-05-03', 2)")
            << "RankingBars Label/Fees: 2024-05-03=2|2024-05=1";
        QTest::newRow("no such day, no leading zero")
            << Rows("('2023-02-29', 1), ('2024-5-03', 2)")
            << "RankingBars Label/Fees: 2024-5-03=2|2023-02-29=1";
        QTest::newRow("a NULL label among days")
            << Rows("('2024-05-03', 1), (NULL, 2)") << "RankingBars Label/Fees: =2|2024-05-03=1";
        QTest::newRow("equal labels added up, ties in row order")
            << Rows("('b', 1), ('a', 2), ('b', 1), ('c', 0)")
            << "RankingBars Label/Fees: b=2|a=2|c=0";
        QTest::newRow("25 rows: no others")
            << Players(25) << "RankingBars Label/Fees: p25=25|p24=24|...|p02=2|p01=1|(25)";
        QTest::newRow("26 rows: one other")
            << Players(26)
            << "RankingBars Label/Fees: p26=26|p25=25|...|p03=3|p02=2|(25) (and 1 other: 1)";
        QTest::newRow("30 rows: five others summed")
            << Players(30)
            << "RankingBars Label/Fees: p30=30|p29=29|...|p07=7|p06=6|(25) (and 5 others: 15)";
        QTest::newRow("negative and NULL values") << Rows("('a', 1.5), ('b', -2), ('c', NULL)")
                                                  << "RankingBars Label/Fees: a=1.5|c=0|b=-2";
        // The value is the last number column, the label the first column as the grid shows it.
        QTest::newRow("last number column")
            << "SELECT 'x' AS Name, 5 AS Count, 'y' AS Note, 2.5 AS Sum, 'z' AS Tail"
            << "RankingBars Name/Sum: x=2.5";
        QTest::newRow("number labels as in the grid")
            << "SELECT 1.5 AS Price, 7 AS Sold UNION ALL SELECT 2, 3"
            << "RankingBars Price/Sold: 1.50=7|2.00=3";
        QTest::newRow("one column is label and value") << "SELECT 12.5 AS Fees"
                                                       << "RankingBars Fees/Fees: 12.50=12.5";
        QTest::newRow("fees by date of the catalogue")
            << "SELECT column1 AS Date, column2 AS Tournaments, column3 AS Fees FROM (VALUES "
               "('2024-05-03', 2, 16.0), ('2024-05-05', 1, 108.0))"
            << "TimeBars day Date/Fees: 2024-05-03=16|2024-05-04=0|2024-05-05=108";
    }
    void buildsTheChartOfAView() {
        QFETCH(QString, sql);
        QFETCH(QString, chart);
        ResultSet view;
        open(view, sql);
        QCOMPARE(ChartProblem(view), QString());
        const ChartData data = BuildChartData(view, QStringLiteral("Title"), QLocale::c());
        QCOMPARE(Describe(data), chart);
        // zvfee chart picks the same straight from the statement, no row held.
        ChartSink streamed(QLocale::c(), false);
        StreamReport(m_db, sql, streamed);
        QCOMPARE(streamed.problem(), QString());
        QCOMPARE(Describe(streamed.chart(QStringLiteral("Title"))), chart);
        if (data.shape == ChartShape::RankingBars) {
            QCOMPARE(data.title, QStringLiteral("Title"));
        } else {
            QCOMPARE(data.title, QStringLiteral("Title, by ") + ChartUnitText(data.unit));
            for (const ChartPoint& point : data.points)
                QCOMPARE(
                    point.label,
                    point.date.toString(data.unit == ChartUnit::Month ? "yyyy-MM" : "yyyy-MM-dd"));
        }
    }

    // Any span of dates gives at most 1,000 points, by the finest unit that fits; the time each
    // takes is logged as a figure.
    void boundsADateChart_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("points");
        const auto span = [](const char* first, const char* last) {
            return Rows(QStringLiteral("('%1', 1), ('%2', 2)").arg(first, last));
        };
        QTest::newRow("1 day") << span("2024-05-03", "2024-05-03") << "day" << 1;
        QTest::newRow("59 days") << span("2024-01-01", "2024-02-28") << "day" << 59;
        QTest::newRow("1,000 days") << span("2024-01-01", "2026-09-26") << "day" << 1000;
        QTest::newRow("3 years") << span("2021-01-01", "2023-12-31") << "month" << 36;
        QTest::newRow("40 years") << span("1984-01-01", "2023-12-31") << "month" << 480;
        QTest::newRow("1,000 years filled") << span("1000-01-01", "1999-12-31") << "year" << 1000;
        QTest::newRow("1,001 years: those with rows")
            << span("1000-01-01", "2000-12-31") << "year" << 2;
        QTest::newRow("0001 to 9999") << span("0001-01-01", "9999-12-31") << "year" << 2;
        QTest::newRow("3,333 years with rows: decades")
            << "WITH RECURSIVE y(n) AS (SELECT 1 UNION ALL SELECT n + 3 FROM y WHERE n < 9997) "
               "SELECT printf('%04d-06-15', n) AS Date, 1.0 AS Fees FROM y"
            << "decade" << 1000;
        QTest::newRow("1,500 months") << Rows("('1900-01', 1), ('2024-12', 2)") << "year" << 125;
    }
    void boundsADateChart() {
        QFETCH(QString, sql);
        QFETCH(QString, unit);
        QFETCH(int, points);
        ResultSet view;
        open(view, sql);
        QElapsedTimer clock;
        clock.start();
        const ChartData data = BuildChartData(view, QStringLiteral("Fees by Date"), QLocale::c());
        qInfo("%s: %lld ms", QTest::currentDataTag(), qlonglong(clock.elapsed()));
        QCOMPARE(ChartUnitText(data.unit), unit);
        QCOMPARE(data.title, QStringLiteral("Fees by Date, by ") + unit);
        QCOMPARE(data.points.size(), points);
        double sum = 0;
        for (const ChartPoint& point : data.points)
            sum += point.value;
        QCOMPARE(sum, view.rowCount() == 2 ? 3.0 : double(view.rowCount()));
    }

    // Two million players: the 25 largest, largest first, the rest named in the subtitle with
    // digit grouping.
    void picksTheTop25OfMillions() {
        constexpr int kPlayers = 2'000'000;
        QByteArray names;
        names.reserve(qsizetype(kPlayers) * 8);
        for (int i = 1; i <= kPlayers; ++i)
            names += QByteArray::number(i).rightJustified(8, 'p');
        QElapsedTimer clock;
        clock.start();
        ChartPicker picker;
        for (qint64 k = 0; k < kPlayers; ++k) {
            const int i = int(k * 1'000'003 % kPlayers) + 1; // every player once, out of order
            picker.add(QByteArrayView(names).sliced(qsizetype(i - 1) * 8, 8), double(i));
        }
        const ChartData data = picker.pick(QStringLiteral("Fees by Player"), false, QLocale::c());
        qInfo("2,000,000 players: %lld ms", qlonglong(clock.elapsed()));
        QCOMPARE(data.shape, ChartShape::RankingBars);
        QCOMPARE(data.points.size(), kRankingBars);
        QCOMPARE(data.points.constFirst().label, QStringLiteral("p2000000"));
        QCOMPARE(data.points.constLast().label, QStringLiteral("p1999976"));
        QCOMPARE(data.points.constLast().value, 1'999'976.0);
        QCOMPARE(data.subtitle, QStringLiteral("and 1,999,975 others: 1,999,951,000,300.00"));
    }

    // Value axes: round steps that take in the values, labels short enough to keep apart.
    void labelsTheValueAxis_data() {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<int>("most");
        QTest::addColumn<QString>("labels");
        QTest::newRow("billions") << 0.0 << 3703702500.0 << 5 << "0|1B|2B|3B|4B";
        QTest::newRow("thousands") << 0.0 << 123456.78 << 5 << "0|25k|50k|75k|100k|125k";
        QTest::newRow("mixed suffixes") << 0.0 << 1.3e6 << 5 << "0|500k|1M|1.5M";
        QTest::newRow("negative") << -2.0 << 1.5 << 6 << "-2|-1|0|1|2";
        QTest::newRow("fractions") << 0.0 << 0.0 << 5 << "0|0.2|0.4|0.6|0.8|1";
        QTest::newRow("trillions") << 0.0 << 2.4e12 << 6 << "0|500B|1T|1.5T|2T|2.5T";
    }
    void labelsTheValueAxis() {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(int, most);
        QFETCH(QString, labels);
        const ChartTicks ticks = NiceTicks(low, high, most);
        QVERIFY(ticks.intervals <= most);
        QVERIFY(ticks.low <= low && ticks.high >= high);
        QStringList texts;
        for (int i = 0; i <= ticks.intervals; ++i)
            texts << ShortNumber(ticks.low + i * ticks.step, ticks.step, QLocale::c());
        QCOMPARE(texts.join(u'|'), labels);
    }

    void saysWhyAViewCannotBeCharted_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("problem");
        const QString empty = QStringLiteral("Report table is empty");
        const QString noNumber = QStringLiteral("The report has no number column to chart");
        QTest::newRow("closed view") << QString() << empty;
        const QString noRows = QStringLiteral("The report has no rows");
        QTest::newRow("columns without rows")
            << "SELECT TName, SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber) "
               "GROUP BY TName"
            << noRows;
        QTest::newRow("text only") << "SELECT 'a' AS Name, '1' AS Count" << noNumber;
        QTest::newRow("total of an empty range: a NULL sum")
            << "SELECT SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber)" << noRows;
        QTest::newRow("NULLs beside a text") << "SELECT 'a' AS Name, NULL AS Fees" << noNumber;
    }
    void saysWhyAViewCannotBeCharted() {
        QFETCH(QString, sql);
        QFETCH(QString, problem);
        ResultSet view;
        if (!sql.isEmpty())
            open(view, sql);
        QCOMPARE(ChartProblem(view), problem);
        ChartSink streamed(QLocale::c(), false);
        if (!sql.isEmpty())
            StreamReport(m_db, sql, streamed);
        QCOMPARE(streamed.problem(), problem);
    }

    // A window with room for fewer bars shows the largest; those left out join the others.
    void cutsARankingToTheBarsThatFit_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("chart");
        QTest::newRow("all fit") << Players(3) << 3 << "RankingBars Label/Fees: p03=3|p02=2|p01=1";
        QTest::newRow("one left out: the first other")
            << Players(3) << 2 << "RankingBars Label/Fees: p03=3|p02=2 (and 1 other: 1)";
        QTest::newRow("joins the others already left out")
            << Players(30) << 20
            << "RankingBars Label/Fees: p30=30|p29=29|...|p12=12|p11=11|(20) (and 10 others: 55)";
        QTest::newRow("a time series stays whole")
            << Rows("('2024-05-03', 1), ('2024-05-04', 2)") << 1
            << "TimeBars day Label/Fees: 2024-05-03=1|2024-05-04=2";
    }
    void cutsARankingToTheBarsThatFit() {
        QFETCH(QString, sql);
        QFETCH(int, count);
        QFETCH(QString, chart);
        ResultSet view;
        open(view, sql);
        const ChartData all = BuildChartData(view, QStringLiteral("Title"), QLocale::c());
        QCOMPARE(Describe(TopPoints(all, count, QLocale::c())), chart);
    }

    void titlesTheCatalogueEntryOrTheQuery_data() {
        using OptDate = std::optional<QDate>;
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("withStart");
        QTest::addColumn<QString>("title");
        const OptDate start = QDate(2024, 5, 4);
        const QString byMonth = ComposeReportSQL(10, std::nullopt, std::nullopt);
        const QString byDateFrom = ComposeReportSQL(9, start, std::nullopt);
        QTest::newRow("entry as composed") << byMonth << 10 << false << "Fees by Month";
        QTest::newRow("entry with its dates") << byDateFrom << 9 << true << "Fees by Date";
        QTest::newRow("edited statement")
            << byMonth + " ORDER BY Fees" << 10 << false << "SQL query";
        QTest::newRow("typed over Clear") << "SELECT 1" << 0 << false << "SQL query";
        QTest::newRow("another entry's statement") << byMonth << 9 << false << "SQL query";
    }
    void titlesTheCatalogueEntryOrTheQuery() {
        QFETCH(QString, statement);
        QFETCH(int, index);
        QFETCH(bool, withStart);
        QFETCH(QString, title);
        const std::optional<QDate> start =
            withStart ? std::optional<QDate>(QDate(2024, 5, 4)) : std::nullopt;
        QCOMPARE(ChartTitle(statement, index, start, std::nullopt), title);
    }
};

QTEST_GUILESS_MAIN(TestChartModel)
#include "test_chartmodel.moc"
