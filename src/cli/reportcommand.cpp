// zvfee report: a catalogue report or any statement, written as the window's "Export" writes it
// (or as TSV, JSON or an Excel workbook), streamed from the statement into the file.

#include "chartimage.h"
#include "chartmodel.h"
#include "command.h"
#include "drawingapplication.h"
#include "exportfile.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "formatnames.h"
#include "htmlwriter.h"
#include "pdfreport.h"
#include "reportcatalogue.h"
#include "reportexport.h"
#include "reportoptions.h"
#include "reportrun.h"
#include "reportstream.h"
#include "resultset.h"
#include "textwriters.h"
#include "workbookwriter.h"

#include <QLocale>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <optional>

namespace {

QString Help() {
    QString catalogue;
    for (int i = 0; i < ReportCaptions().size(); ++i)
        catalogue += QStringLiteral("  %1  %2\n").arg(i).arg(ReportCaptions()[i]);
    return QStringLiteral(
               "Usage: zvfee report [--db FILE] (--report CAPTION|INDEX | --sql TEXT)\n"
               "                    [--start yyyy-MM-dd] [--end yyyy-MM-dd] [--output FILE]\n"
               "                    [--format csv|tsv|json|xlsx|html|pdf]\n"
               "                    [--encoding windows-1252|utf-8] [--delimiter CHAR]\n"
               "                    [--title TEXT] [--chart]\n"
               "\n"
               "Runs a report of the catalogue, with its date range, or any SQL statement on the\n"
               "fee database and writes the rows as the Reports page's \"Export\" does: a header\n"
               "of quoted column names, one line per row, CR LF line ends, Windows-1252 text,\n"
               "numbers with the decimal separator of your locale (LC_ALL, LC_NUMERIC, LANG).\n"
               "A text cell that starts with =, +, -, @, TAB or CR gets a leading ' inside its\n"
               "quotes, so that a spreadsheet never runs it as a formula. Characters that\n"
               "Windows-1252 lacks are written as \"?\" and counted on standard error.\n"
               "\n"
               "Formats:\n"
               "  csv   the above (the default)\n"
               "  tsv   UTF-8, tab-separated, nothing quoted, LF line ends, for cut and awk; a\n"
               "        tab, CR or LF inside a value is written as a space, and a text that\n"
               "        starts with =, +, -, @, TAB or CR gets a leading ' as in a csv\n"
               "  json  one array of objects, keys in column order, numbers in full precision,\n"
               "        NULL as null; streamed, so any size takes the same memory\n"
               "  xlsx  an Excel workbook: numbers stay numbers (fractions shown as 0.00), texts\n"
               "        stay texts, NULL is an empty cell, an integer beyond 2^53 is kept as\n"
               "        text; the header row is bold and frozen;\n"
               "        past 1,048,575 rows the rows go on in a sheet \"Report (2)\", and so on.\n"
               "  html  one web page that works offline and alone (nothing is fetched from\n"
               "        anywhere): the title, the date range, the number of rows and when it was\n"
               "        made, then the rows as the grid shows them (0.00 in your locale); a click\n"
               "        on a column title sorts, a box filters; printed, the titles repeat on\n"
               "        every page\n"
               "  pdf   pages to print or send: Letter where your locale uses it, else A4,\n"
               "        landscape when the columns need it; the first page holds the title,\n"
               "        the range and the number of rows, every page the column titles and\n"
               "        \"Page N of M\"; a text too long for its column is cut with \"...\" there\n"
               "Without --format, an --output name ending in .csv, .tsv, .json, .xlsx, .html,\n"
               ".htm or .pdf (letter case ignored) chooses that format, as it does in the\n"
               "window's \"Export\"; any other name gets a csv.\n"
               "\n"
               "Options:\n"
               "  --db FILE          the fee database (default: the window program's)\n"
               "  --report NAME      a report by caption (letter case ignored) or by number\n"
               "  --sql TEXT         one SQL statement of your own\n"
               "  --start DATE       only tournaments on or after DATE (with --report)\n"
               "  --end DATE         only tournaments on or before DATE (with --report)\n"
               "  --output FILE      the file, created or replaced whole (default: standard\n"
               "                     output); a device or FIFO is written as it is\n"
               "  --format NAME      csv, tsv, json, xlsx, html or pdf (see above), whatever\n"
               "                     the file's name\n"
               "  --encoding NAME    windows-1252 (the default) or utf-8 (with a byte-order "
               "mark);\n"
               "                     csv only. LibreOffice does not detect the mark: choose\n"
               "                     \"Unicode (UTF-8)\" as its import's character set, or write\n"
               "                     an xlsx, which keeps every character\n"
               "  --delimiter CHAR   the character between the cells of a csv (default ','), such\n"
               "                     as ';' where the decimal separator is a comma; such a file\n"
               "                     needs that separator chosen in a spreadsheet's import:\n"
               "                     LibreOffice's default comma import splits 0,6 in two cells\n"
               "  --title TEXT       the title of a web page or PDF instead of the report's\n"
               "                     caption (\"Report\" for --sql)\n"
               "  --chart            a web page or PDF shows the report's chart above the rows,\n"
               "                     drawn as \"zvfee chart\" draws it\n"
               "  -h, --help         this help\n"
               "\n"
               "Reports:\n") +
           catalogue +
           QStringLiteral(
               "\n"
               "The database is only read: a statement that would write, to it or to any other\n"
               "file (VACUUM INTO, a writing PRAGMA), and every ATTACH and DETACH, are refused\n"
               "before anything runs. Any other statement without result columns is carried\n"
               "out and said so on standard error; no file is written then. An --output that\n"
               "is the database or one of its journal files, by any name, is refused.\n"
               "\n"
               "Exit status:\n"
               "  0  the report was written (or a statement without result columns carried out)\n"
               "  1  the statement failed (the database's message on standard error), gave no\n"
               "     statement at all, or the file could not be written\n"
               "  2  the command line was wrong\n");
}

int RunReportCommand(const QStringList& args);

const RegisterCommand registration(
    {QStringLiteral("report"),
     QStringLiteral("Write a fee report or an SQL query as CSV, TSV, JSON, xlsx, HTML or PDF"),
     Help(), RunReportCommand});

/// The encoding an --encoding value names (letter case ignored); none for an unknown name.
std::optional<CsvEncoding> EncodingNamed(const QString& name) {
    if (name.compare(u"windows-1252", Qt::CaseInsensitive) == 0)
        return CsvEncoding::Windows1252;
    if (name.compare(u"utf-8", Qt::CaseInsensitive) == 0)
        return CsvEncoding::Utf8;
    return std::nullopt;
}

/// The format of the command line: --format, else the output file's name (".tsv", ".xlsx", ...),
/// else CSV.
ReportFormat ChosenFormat(const LongOptions& options) {
    if (options.given(QStringLiteral("--format")))
        return ReportFormatNamed(options.value(QStringLiteral("--format")))
            .value_or(ReportFormat::Csv);
    return ReportFormatForFileName(options.value(QStringLiteral("--output")))
        .value_or(ReportFormat::Csv);
}

/// A delimiter a csv can be read back with: one ASCII character that is no letter, digit or
/// quote, no line end, and none that the numbers are written with.
bool IsDelimiter(const QString& text) {
    if (text.size() != 1 || text[0].unicode() >= 0x80)
        return false;
    const QChar c = text[0];
    return !c.isLetterOrNumber() && !QStringLiteral("\"'\r\n.-+").contains(c);
}

/// --chart takes no value: it is taken out of the arguments before the options are read, and
/// noted among them with an empty value.
const QString kChartFlag = QStringLiteral("--chart");

/// Reads the command line; returns the usage error, empty when all is well.
QString ReadOptions(QStringList args, LongOptions& options, bool& help) {
    const qsizetype chartFlags = args.removeAll(kChartFlag);
    if (chartFlags > 1)
        return QStringLiteral("--chart given twice");
    const QString error = ReadLongOptions(
        args,
        ReportOptionNames() << QStringLiteral("--output") << QStringLiteral("--encoding")
                            << QStringLiteral("--format") << QStringLiteral("--delimiter")
                            << QStringLiteral("--title"),
        options, help);
    if (!error.isEmpty() || help)
        return error;
    if (chartFlags == 1)
        options.values.insert(kChartFlag, QString());
    if (const QString report = CheckReportOptions(options); !report.isEmpty())
        return report;
    if (options.given(QStringLiteral("--output")) &&
        options.value(QStringLiteral("--output")).isEmpty())
        return QStringLiteral("--output needs a file");
    if (options.given(QStringLiteral("--encoding")) &&
        !EncodingNamed(options.value(QStringLiteral("--encoding"))))
        return QStringLiteral("--encoding is windows-1252 or utf-8");
    if (options.given(QStringLiteral("--format")) &&
        !ReportFormatNamed(options.value(QStringLiteral("--format"))))
        return QStringLiteral("--format is csv, tsv, json, xlsx, html or pdf");
    if (options.given(QStringLiteral("--delimiter")) &&
        !IsDelimiter(options.value(QStringLiteral("--delimiter"))))
        return QStringLiteral("--delimiter is one character other than a letter, a digit, a "
                              "quote, a line end, \".\", \"-\" or \"+\"");
    if (ChosenFormat(options) != ReportFormat::Csv) {
        for (const QString& csvOnly : {QStringLiteral("--encoding"), QStringLiteral("--delimiter")})
            if (options.given(csvOnly))
                return QStringLiteral("%1 goes with --format csv only").arg(csvOnly);
    }
    const bool page =
        ChosenFormat(options) == ReportFormat::Html || ChosenFormat(options) == ReportFormat::Pdf;
    if (!page && (options.given(QStringLiteral("--title")) || options.given(kChartFlag)))
        return QStringLiteral("--title and --chart go with --format html or pdf only");
    return QString();
}

/// The report's bytes as they come: to standard output, or to the output file, which is opened
/// with the first piece (a statement without result columns writes no file) and takes its place
/// at commit.
class OutputTarget {
public:
    explicit OutputTarget(const QString& path) : m_path(path) {}

    void write(QByteArrayView bytes) {
        if (m_path.isEmpty()) {
            if (std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
                throw ZvError(QString::fromLatin1(kStandardOutputError));
            return;
        }
        if (!m_file)
            m_file.emplace(m_path);
        m_file->write(bytes);
    }
    void commit() {
        if (m_file)
            m_file->commit();
        else if (m_path.isEmpty() && std::fflush(stdout) != 0)
            throw ZvError(QString::fromLatin1(kStandardOutputError));
    }

private:
    static constexpr const char* kStandardOutputError =
        "Cannot write the report to standard output";
    QString m_path;
    std::optional<ExportFile> m_file;
};

/// Counts the rows of a report, for the pages' "Page N of M".
class RowCounter : public ReportSink {
public:
    void start(const QList<ResultColumn>&) override {}
    void null() override {}
    void integer(qint64) override {}
    void real(double) override {}
    void text(QByteArrayView) override {}
    void blob(QByteArrayView) override {}
    void endRow() override { ++rows; }
    void finish() override {}
    qint64 rows = 0;
};

/// The chart of the statement as an SVG document, drawn as "zvfee chart" draws it. Raises the
/// chart's problem (no rows, no number column) as an error.
QByteArray ChartSvg(FeeDatabase& db, const QString& sql, const QString& title,
                    const QLocale& locale) {
    ResultSet view;
    RunReportStatement(db, sql, view);
    if (const QString problem = ChartProblem(view); !problem.isEmpty())
        throw ZvError(problem);
    return RenderChartImage(BuildChartData(view, title, locale), locale, QSize(1200, 600),
                            ChartImageFormat::Svg);
}

/// Drawing a chart or PDF pages needs the widget toolkit and fonts: the offscreen platform
/// lets them run without a display. Any other report runs without either.
bool NeedsPainting(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) { // zvfee's own --profile NAME may come first
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == kChartFlag || arg.compare(u"pdf", Qt::CaseInsensitive) == 0 ||
            arg.compare(u"--format=pdf", Qt::CaseInsensitive) == 0 ||
            arg.endsWith(u".pdf", Qt::CaseInsensitive))
            return true;
    }
    return false;
}

std::unique_ptr<QCoreApplication> MakeReportApplication(int& argc, char** argv) {
    if (!NeedsPainting(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    return MakeDrawingApplication(argc, argv);
}
const RegisterApplication application("report", MakeReportApplication);

int RunReportCommand(const QStringList& args) {
    const CliCommand& self = *FindCommand(QStringLiteral("report"));
    LongOptions options;
    bool help = false;
    QString error = ReadOptions(args, options, help);
    if (help) {
        PrintOut(self.help);
        return kExitOk;
    }
    ReportStatement statement;
    if (error.isEmpty())
        error = ComposeReportStatement(options, statement);
    if (!error.isEmpty())
        return UsageError(self, error);
    const QString& sql = statement.sql;

    // The report reads an existing database; it never creates an empty one in passing, and it
    // never changes one.
    FeeDatabase db;
    const QString dbFile = options.value(QStringLiteral("--db"));
    OpenFeeDatabaseForReport(db, dbFile.isEmpty() ? FeeDatabasePath() : dbFile);

    // The window's "Load" runs nothing for an empty text, and its "Export" then finds the view
    // closed.
    if (sql.isEmpty()) {
        PrintErr(QStringLiteral("Report table is empty\n"));
        return kExitFailure;
    }
    // The rows go from the statement into the file as they come, never held: the memory stays
    // the same whatever the number of rows. A failure leaves an existing file as it was.
    const QString path = options.value(QStringLiteral("--output"));
    OutputTarget output(path);
    const ReportOutput write = [&](QByteArrayView bytes) { output.write(bytes); };
    qsizetype lost = 0;
    ReportRunResult run;
    switch (ChosenFormat(options)) {
    case ReportFormat::Csv: {
        const CsvEncoding encoding = EncodingNamed(options.value(QStringLiteral("--encoding")))
                                         .value_or(CsvEncoding::Windows1252);
        const QString delimiter = options.value(QStringLiteral("--delimiter"));
        run = StreamReportCsv(db, sql, QLocale::system(), encoding, write,
                              delimiter.isEmpty() ? ',' : delimiter[0].toLatin1(), &lost);
        break;
    }
    case ReportFormat::Tsv: {
        TsvWriter writer(write);
        run = StreamReport(db, sql, writer);
        break;
    }
    case ReportFormat::Json: {
        JsonWriter writer(write);
        run = StreamReport(db, sql, writer);
        break;
    }
    case ReportFormat::Xlsx: {
        WorkbookWriter writer(path.isEmpty() ? QStringLiteral("-") : path, write);
        run = StreamReport(db, sql, writer);
        break;
    }
    case ReportFormat::Html:
    case ReportFormat::Pdf: {
        ReportPageInfo info;
        info.title = options.given(QStringLiteral("--title"))
                         ? options.value(QStringLiteral("--title"))
                     : statement.index < 0 ? QString::fromUtf16(kFreeSqlReportTitle)
                                           : ReportCaptions().at(statement.index);
        info.start = QDate::fromString(options.value(QStringLiteral("--start")), Qt::ISODate);
        info.end = QDate::fromString(options.value(QStringLiteral("--end")), Qt::ISODate);
        info.made = QDateTime::currentDateTime();
        info.locale = QLocale::system();
        if (options.given(kChartFlag))
            info.chartSvg = ChartSvg(db, sql, info.title, info.locale);
        if (ChosenFormat(options) == ReportFormat::Html) {
            HtmlWriter writer(info, write);
            run = StreamReport(db, sql, writer);
            break;
        }
        // The pages say how many there are, so the rows are counted first.
        RowCounter counter;
        run = StreamReport(db, sql, counter);
        if (!run.opened)
            break;
        ChartPainter chart;
        if (!info.chartSvg.isEmpty())
            chart = [svg = info.chartSvg](QPainter& painter, const QRectF& area) {
                QSvgRenderer renderer(svg);
                renderer.setAspectRatioMode(Qt::KeepAspectRatio);
                renderer.render(&painter, area);
            };
        PdfReport writer(info, counter.rows, write, chart);
        run = StreamReport(db, sql, writer);
        break;
    }
    }
    if (!run.opened) {
        PrintErr(ReportRunMessage(run) + u'\n');
        return kExitOk;
    }
    output.commit();
    // Written, but not whole: said, and still a success, as the window's box says it.
    if (lost > 0)
        PrintErr(LostCharactersText(lost) + u'\n');
    return kExitOk;
}

} // namespace
