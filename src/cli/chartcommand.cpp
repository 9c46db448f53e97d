// zvfee chart: a report drawn as the chart window draws it, into a PNG or SVG file.

#include "chartimage.h"
#include "chartmodel.h"
#include "command.h"
#include "drawingapplication.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "reportcatalogue.h"
#include "reportoptions.h"
#include "reportstream.h"

#include <QLocale>
#include <optional>

namespace {

constexpr int kDefaultWidth = 1200;
constexpr int kDefaultHeight = 700;
constexpr int kMinimumSide = 100;
constexpr int kMaximumSide = 10000;

QString Help() {
    return QStringLiteral(
        "Usage: zvfee chart [--db FILE] (--report CAPTION|INDEX | --sql TEXT)\n"
        "                   [--start yyyy-MM-dd] [--end yyyy-MM-dd]\n"
        "                   --output FILE.png|FILE.svg [--width PIXELS] [--height PIXELS]\n"
        "\n"
        "Runs a report as \"zvfee report\" does and draws it as the window's chart does,\n"
        "without a display. The value is the last number column, the label the first column.\n"
        "Labels that are all dates (yyyy-MM-dd) or all months (yyyy-MM) give a time series of\n"
        "at most 1,000 points, by the finest of day, month and year that fits, named in the\n"
        "title (past 1,000 years only the years with rows); any other report shows its 25\n"
        "largest values as bars, the rest named under the title (\"and 5 others: 15.00\").\n"
        "Every bar is named: crowded names get a smaller font, and where even the smallest\n"
        "leaves no room a ranking shows fewer bars and a time series becomes a line.\n"
        "\n"
        "Options:\n"
        "  --db FILE          the fee database (default: the window program's)\n"
        "  --report NAME      a report by caption (letter case ignored) or by number, as listed\n"
        "                     by \"zvfee report --help\"\n"
        "  --sql TEXT         one SQL statement of your own\n"
        "  --start DATE       only tournaments on or after DATE (with --report)\n"
        "  --end DATE         only tournaments on or before DATE (with --report)\n"
        "  --output FILE      the image, PNG or SVG by the file's extension, created or\n"
        "                     replaced whole\n"
        "  --width PIXELS     the image's width (default 1200)\n"
        "  --height PIXELS    the image's height (default 700)\n"
        "  -h, --help         this help\n"
        "\n"
        "The database is only read: a statement that would write, to it or to any other\n"
        "file, and every ATTACH and DETACH, are refused before anything runs. An --output\n"
        "that is the database or one of its journal files, by any name, is refused.\n"
        "\n"
        "Exit status:\n"
        "  0  the image was written\n"
        "  1  the statement failed, gave no rows or no number column to chart, or the file\n"
        "     could not be written\n"
        "  2  the command line was wrong\n");
}

int RunChartCommand(const QStringList& args);

const RegisterCommand registration({QStringLiteral("chart"),
                                    QStringLiteral("Draw a fee report as a PNG or SVG chart"),
                                    Help(), RunChartCommand});

const RegisterApplication application("chart", MakeDrawingApplication);

/// Reads the command line; returns the usage error, empty when all is well.
QString ReadOptions(const QStringList& args, LongOptions& options, bool& help) {
    const QString error = ReadLongOptions(args,
                                          ReportOptionNames() << QStringLiteral("--output")
                                                              << QStringLiteral("--width")
                                                              << QStringLiteral("--height"),
                                          options, help);
    if (!error.isEmpty() || help)
        return error;
    if (const QString report = CheckReportOptions(options); !report.isEmpty())
        return report;
    const QString output = options.value(QStringLiteral("--output"));
    if (output.isEmpty())
        return QStringLiteral("give --output FILE.png or --output FILE.svg");
    if (!ChartImageFormatFor(output))
        return QString::fromUtf16(kChartImageNameText);
    return QString();
}

/// A side of the image in pixels: the default when not given, nothing when out of range.
std::optional<int> ParseSide(const QString& text, int fallback) {
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < kMinimumSide || value > kMaximumSide)
        return std::nullopt;
    return value;
}

int RunChartCommand(const QStringList& args) {
    const CliCommand& self = *FindCommand(QStringLiteral("chart"));
    LongOptions options;
    bool help = false;
    const QString error = ReadOptions(args, options, help);
    if (help) {
        PrintOut(self.help);
        return kExitOk;
    }
    if (!error.isEmpty())
        return UsageError(self, error);
    const std::optional<int> width =
        ParseSide(options.value(QStringLiteral("--width")), kDefaultWidth);
    const std::optional<int> height =
        ParseSide(options.value(QStringLiteral("--height")), kDefaultHeight);
    if (!width || !height) {
        return UsageError(self, QStringLiteral("--width and --height take a number of pixels "
                                               "from %1 to %2")
                                    .arg(kMinimumSide)
                                    .arg(kMaximumSide));
    }
    ReportStatement statement;
    if (const QString wrong = ComposeReportStatement(options, statement); !wrong.isEmpty())
        return UsageError(self, wrong);
    const QString& sql = statement.sql;
    const QString title = statement.index < 0 ? QString::fromUtf16(kChartSqlQueryTitle)
                                              : ReportCaptions().at(statement.index);

    // An existing database only, never an empty one made in passing; and a chart only reads it.
    FeeDatabase db;
    const QString dbFile = options.value(QStringLiteral("--db"));
    OpenFeeDatabaseForReport(db, dbFile.isEmpty() ? FeeDatabasePath() : dbFile);

    // The chart is picked from the rows as they are stepped, none of them held: a chart of a
    // report costs about what writing it out does, whatever its number of rows.
    const QLocale locale = QLocale::system();
    ChartSink sink(locale, false);
    if (!sql.isEmpty())
        StreamReport(db, sql, sink); // a statement without result columns never starts it
    const QString problem = sink.problem();
    if (!problem.isEmpty()) {
        PrintErr(problem + u'\n');
        return kExitFailure;
    }
    SaveChartImage(options.value(QStringLiteral("--output")), sink.chart(title), locale,
                   QSize(*width, *height));
    return kExitOk;
}

} // namespace
