// Report figures on a generated fee database, each beside its baseline in the same run, the two
// alternating (baseline first) with medians:
// - catalogue reports and the Reports page's Load of "Detail only" (the report view) beside a
//   plain read of the same statement (every column in its native form, nothing kept);
// - "zvfee report --format json", "xlsx", "html" and "pdf" beside the CSV of the same rows
// - "zvfee report --report "Detail only" --output FILE" beside "sqlite3 -csv -header" writing
//   the same statement to a file, both as programs of their own, with their peak memory.
//
//   bench_reports [--rows N] [--db FILE] [--runs K]

#include "benchsupport.h"
#include "csvexport.h"
#include "feedatabase.h"
#include "reportcatalogue.h"
#include "reportrun.h"
#include "resultset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <sqlite3.h>

namespace {
qint64 Lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    while (!f.atEnd())
        lines += f.read(1 << 20).count('\n');
    return lines;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const BenchOptions options =
        ParseBenchOptions(app.arguments(), "bench_reports [--rows N] [--db FILE] [--runs K]");
    EnsureBenchDatabase(options.db, options.rows);
    FeeDatabase db;
    db.setDatabaseName(options.db);
    db.OpenReadOnly();
    const qint64 detailRows = CountRows(db.handle(), "SELECT count(*) FROM Detail");
    std::printf("%s: %lld tournaments, %lld Detail rows; %d runs of each, alternating\n\n",
                qPrintable(options.db), CountRows(db.handle(), "SELECT count(*) FROM Master"),
                detailRows, options.runs);
    PrintComparisonHeader();

    const std::optional<QDate> from = QDate(2012, 3, 1), to = QDate(2012, 5, 31);
    const QString detailSql = ComposeReportSQL(7, std::nullopt, std::nullopt);
    struct Case {
        const char* name;
        QString sql;
    };
    const Case cases[] = {
        {"Fees by Player (view / plain read)", ComposeReportSQL(1, std::nullopt, std::nullopt)},
        {"Fees by Player, 3 months", ComposeReportSQL(1, from, to)},
        {"Fees by TName & Player", ComposeReportSQL(4, std::nullopt, std::nullopt)},
        {"Load \"Detail only\" (view / plain read)", detailSql},
    };
    ResultSet view;
    for (const Case& c : cases) {
        qint64 plainRows = PlainRead(db.handle(), c.sql); // warms the page cache
        const Comparison result = Alternate(
            options.runs,
            [&] {
                const Sample s = Measure([&] { RunReportStatement(db, c.sql, view); });
                if (view.rowCount() != plainRows)
                    std::printf("ROW COUNTS DIFFER: %lld and %lld\n", qlonglong(view.rowCount()),
                                plainRows);
                view.close();
                return s;
            },
            [&] { return Measure([&] { plainRows = PlainRead(db.handle(), c.sql); }); });
        PrintComparison(c.name, result);
        if (c.sql == detailSql) {
            const double extra =
                MedianOf(result.ours, &Sample::peakMiB) - MedianOf(result.base, &Sample::peakMiB);
            std::printf("  memory of the view beyond the engine's own: %.1f bytes a row\n",
                        extra * 1024 * 1024 / double(detailRows));
        }
    }

    // The command line program beside the sqlite3 shell, each writing the same rows to a file.
    const QString zvfee = QCoreApplication::applicationDirPath() + QStringLiteral("/zvfee");
    const QString ourFile = QDir::tempPath() + QStringLiteral("/zvfee-bench-detail.csv");
    const QString shellFile = QDir::tempPath() + QStringLiteral("/zvfee-bench-detail-sqlite3.csv");
    const Comparison report = Alternate(
        options.runs,
        [&] {
            return MeasureProgram(zvfee,
                                  {QStringLiteral("report"), QStringLiteral("--db"), options.db,
                                   QStringLiteral("--report"), QStringLiteral("Detail only"),
                                   QStringLiteral("--output"), ourFile});
        },
        [&] {
            return MeasureProgram(
                QStringLiteral("sqlite3"),
                {QStringLiteral("-csv"), QStringLiteral("-header"), options.db, detailSql},
                shellFile);
        });
    PrintComparison("zvfee report \"Detail only\" / sqlite3 -csv", report);
    std::printf("  lines: ours %lld, sqlite3 %lld; %lld and %lld bytes\n", Lines(ourFile),
                Lines(shellFile), QFile(ourFile).size(), QFile(shellFile).size());
    const Comparison plain = Alternate(
        3, [&] { return report.ours.front(); },
        [&] { return Measure([&] { PlainRead(db.handle(), detailSql); }); });
    std::printf("  zvfee report against a plain read of the rows in this process: %.2f wall, "
                "%.2f processor\n",
                MedianOf(report.ours, &Sample::wallMs) / MedianOf(plain.base, &Sample::wallMs),
                MedianOf(report.ours, &Sample::cpuMs) / MedianOf(plain.base, &Sample::cpuMs));
    // The other formats beside the CSV of the same rows: time and peak memory (flat at any size).
    for (const char* format : {"json", "xlsx", "html", "pdf"}) {
        const QString formatFile = ourFile + u'.' + QString::fromLatin1(format);
        const Comparison other = Alternate(
            options.runs,
            [&] {
                return MeasureProgram(zvfee,
                                      {QStringLiteral("report"), QStringLiteral("--db"), options.db,
                                       QStringLiteral("--report"), QStringLiteral("Detail only"),
                                       QStringLiteral("--format"), QString::fromLatin1(format),
                                       QStringLiteral("--output"), formatFile});
            },
            [&] {
                return MeasureProgram(zvfee,
                                      {QStringLiteral("report"), QStringLiteral("--db"), options.db,
                                       QStringLiteral("--report"), QStringLiteral("Detail only"),
                                       QStringLiteral("--output"), ourFile});
            });
        const QByteArray what = "zvfee report --format " + QByteArray(format) + " / --format csv";
        PrintComparison(what.constData(), other);
        std::printf("  %lld bytes\n", QFile(formatFile).size());
        QFile::remove(formatFile);
    }
    QFile::remove(ourFile);
    QFile::remove(shellFile);
    return 0;
}
