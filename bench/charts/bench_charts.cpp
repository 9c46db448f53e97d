// Chart figures on a generated fee database, each as a ratio to the Load of its report:
// - a ranking of 2,000,000 distinct labels (every Detail row its own player) and the catalogue's
//   "Fees by Player": picked, drawn in the chart window and painted, against the Load;
// - "zvfee chart" of the same, as a program of its own, against "zvfee report" of it to a CSV
//   file (the chart picks while the rows are stepped, so it should cost about as much);
// - a date chart of two rows, 0001-01-01 and 9999-12-31: time and peak memory, in the window and
//   as "zvfee chart".
//
//   bench_charts [--rows N] [--db FILE] [--runs K]

#include "ChartForm.h"
#include "benchsupport.h"
#include "chartmodel.h"
#include "feedatabase.h"
#include "reportcatalogue.h"
#include "reportrun.h"
#include "resultset.h"

#include <QApplication>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {
struct Case {
    const char* name;
    QString caption; ///< the catalogue entry of zvfee chart, or empty for sql
    QString sql;
};

/// The chart as the window builds and shows it: picked, drawn, painted.
void DrawInWindow(TChartForm& window, const ResultSet& view) {
    window.ShowChart(BuildChartData(view, QStringLiteral("Bench"), QLocale()));
    window.ChartView->grab();
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const BenchOptions options =
        ParseBenchOptions(app.arguments(), "bench_charts [--rows N] [--db FILE] [--runs K]");
    EnsureBenchDatabase(options.db, options.rows);
    FeeDatabase db;
    db.setDatabaseName(options.db);
    db.OpenReadOnly();
    std::printf("%s: %lld Detail rows; %d runs of each, alternating\n\n", qPrintable(options.db),
                CountRows(db.handle(), "SELECT count(*) FROM Detail"), options.runs);

    const Case cases[] = {
        {"every Detail row its own player", QString(),
         QStringLiteral("SELECT Player || ' ' || rowid AS Player, Fees FROM Detail")},
        {"Fees by Player", QStringLiteral("Fees by Player"),
         ComposeReportSQL(1, std::nullopt, std::nullopt)},
        {"0001-01-01 and 9999-12-31", QString(),
         QStringLiteral("SELECT '0001-01-01' AS Date, 5.5 AS Fees UNION ALL "
                        "SELECT '9999-12-31', 7")},
    };
    TChartForm window(nullptr);
    window.resize(784, 520);
    window.show();
    const QString zvfee = QCoreApplication::applicationDirPath() + QStringLiteral("/zvfee");
    const QString image = QDir::tempPath() + QStringLiteral("/zvfee-bench-chart.png");
    const QString csv = QDir::tempPath() + QStringLiteral("/zvfee-bench-chart.csv");
    PrintComparisonHeader();
    for (const Case& c : cases) {
        ResultSet view;
        RunReportStatement(db, c.sql, view); // warms the page cache
        std::printf("%s: %lld rows\n", c.name, qlonglong(view.rowCount()));
        const Comparison inWindow = Alternate(
            options.runs, [&] { return Measure([&] { DrawInWindow(window, view); }); },
            [&] {
                view.close();
                TrimMemory();
                return Measure([&] { RunReportStatement(db, c.sql, view); });
            });
        PrintComparison("  chart in the window / Load", inWindow);
        const QStringList report{QStringLiteral("--db"), options.db,
                                 c.caption.isEmpty() ? QStringLiteral("--sql")
                                                     : QStringLiteral("--report"),
                                 c.caption.isEmpty() ? c.sql : c.caption};
        const QStringList chartArgs =
            QStringList{QStringLiteral("chart"), QStringLiteral("--output"), image} + report;
        const QStringList csvArgs =
            QStringList{QStringLiteral("report"), QStringLiteral("--output"), csv} + report;
        const Comparison program = Alternate(
            options.runs, [&] { return MeasureProgram(zvfee, chartArgs); },
            [&] { return MeasureProgram(zvfee, csvArgs); });
        PrintComparison("  zvfee chart / zvfee report to CSV", program);
        std::printf("  zvfee chart: %.2f times the Load\n",
                    MedianOf(program.ours, &Sample::wallMs) /
                        MedianOf(inWindow.base, &Sample::wallMs));
        std::printf("  title: %s\n", qPrintable(window.chartData()->title));
    }
    QFile::remove(image);
    QFile::remove(csv);
    return 0;
}
