// zvfee chart: a report drawn as the chart window draws it, into a PNG or SVG file.

#include "chartimage.h"
#include "chartmodel.h"
#include "command.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "reportcatalogue.h"
#include "reportrun.h"
#include "resultset.h"

#include <QApplication>
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
        "Labels that are all dates (yyyy-MM-dd) or all months (yyyy-MM) give a time series\n"
        "without gaps (bars up to 60 points, a line beyond); any other report shows its 25\n"
        "largest values as bars, the rest summed into one bar \"N others\".\n"
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
        "The database is only read: a statement that would change it fails with the\n"
        "database's message.\n"
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

/// Qt's own notes about the platform the command does not show anything on (no runtime folder
/// under cron, and the like) would fill every cron mail; only its errors get through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        PrintErr(text + u'\n');
}

/// Drawing needs the widget toolkit; the offscreen platform lets it run without a display.
std::unique_ptr<QCoreApplication> MakeChartApplication(int& argc, char** argv) {
    qInstallMessageHandler(QuietQtMessages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}
const RegisterApplication application("chart", MakeChartApplication);

struct ChartOptions {
    QString db, report, sql, start, end, output, width, height;
    QStringList given;
    bool has(const char16_t* name) const { return given.contains(QString::fromUtf16(name)); }
};

/// Reads "--name VALUE" and "--name=VALUE"; returns an error text, empty when all is well.
QString ParseOptions(const QStringList& args, ChartOptions& options, bool& help) {
    const struct {
        const char16_t* name;
        QString ChartOptions::*field;
    } known[] = {{u"--db", &ChartOptions::db},       {u"--report", &ChartOptions::report},
                 {u"--sql", &ChartOptions::sql},     {u"--start", &ChartOptions::start},
                 {u"--end", &ChartOptions::end},     {u"--output", &ChartOptions::output},
                 {u"--width", &ChartOptions::width}, {u"--height", &ChartOptions::height}};
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == u"--help" || arg == u"-h") {
            help = true;
            return QString();
        }
        const QString name = arg.section(u'=', 0, 0);
        const auto option = std::find_if(std::begin(known), std::end(known), [&](const auto& o) {
            return name == QStringView(o.name);
        });
        if (option == std::end(known)) {
            return arg.startsWith(u'-') ? QStringLiteral("unknown option \"%1\"").arg(arg)
                                        : QStringLiteral("unexpected argument \"%1\"").arg(arg);
        }
        if (options.given.contains(name))
            return QStringLiteral("%1 given twice").arg(name);
        options.given << name;
        if (arg.contains(u'='))
            options.*option->field = arg.section(u'=', 1);
        else if (i + 1 < args.size())
            options.*option->field = args[++i];
        else
            return QStringLiteral("%1 needs a value").arg(name);
    }
    if (options.has(u"--report") == options.has(u"--sql"))
        return QStringLiteral("give either --report or --sql");
    if (options.has(u"--db") && options.db.isEmpty())
        return QStringLiteral("--db needs a file");
    if (options.output.isEmpty())
        return QStringLiteral("give --output FILE.png or --output FILE.svg");
    if (!ChartImageFormatFor(options.output))
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

/// A date of the filter, exactly "yyyy-MM-dd" and a real calendar date.
std::optional<QDate> ParseDate(const QString& text, bool& valid) {
    valid = true;
    if (text.isEmpty())
        return std::nullopt;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    valid = date.isValid() && ReportDateText(date) == text;
    return date;
}

int RunChartCommand(const QStringList& args) {
    const CliCommand& self = *FindCommand(QStringLiteral("chart"));
    ChartOptions options;
    bool help = false;
    const QString error = ParseOptions(args, options, help);
    if (help) {
        PrintOut(self.help);
        return kExitOk;
    }
    if (!error.isEmpty())
        return UsageError(self, error);
    const std::optional<int> width = ParseSide(options.width, kDefaultWidth);
    const std::optional<int> height = ParseSide(options.height, kDefaultHeight);
    if (!width || !height) {
        return UsageError(self, QStringLiteral("--width and --height take a number of pixels "
                                               "from %1 to %2")
                                    .arg(kMinimumSide)
                                    .arg(kMaximumSide));
    }

    QString sql = options.sql;
    QString title = QString::fromUtf16(kChartSqlQueryTitle);
    if (!options.has(u"--sql")) {
        const int index = FindReport(options.report);
        if (index < 0)
            return UsageError(self, QStringLiteral("no report \"%1\"").arg(options.report));
        bool startValid = true, endValid = true;
        const auto start = ParseDate(options.start, startValid);
        const auto end = ParseDate(options.end, endValid);
        if (!startValid || !endValid) {
            return UsageError(self, QStringLiteral("a date must be a calendar date written "
                                                   "yyyy-MM-dd, such as 2024-03-01"));
        }
        sql = ComposeReportSQL(index, start, end);
        title = ReportCaptions().at(index);
    } else if (!options.start.isEmpty() || !options.end.isEmpty()) {
        return UsageError(self, QStringLiteral("--start and --end go with --report only"));
    }

    // An existing database only, never an empty one made in passing; and a chart only reads it.
    FeeDatabase db;
    db.setDatabaseName(options.db.isEmpty() ? FeeDatabasePath() : options.db);
    db.Open();
    db.Execute(QStringLiteral("PRAGMA query_only = ON"));
    RequireFeeSchema(db);

    ResultSet view;
    if (!sql.isEmpty())
        RunReportStatement(db, sql, view); // a statement without result columns leaves it closed
    const QString problem = ChartProblem(view);
    if (!problem.isEmpty()) {
        PrintErr(problem + u'\n');
        return kExitFailure;
    }
    const QLocale locale = QLocale::system();
    SaveChartImage(options.output, BuildChartData(view, title, locale), locale,
                   QSize(*width, *height));
    return kExitOk;
}

} // namespace
