// zvfee report: a catalogue report or any statement, written as the window's "Export" writes it,
// streamed from the statement into the file.

#include "command.h"
#include "exportfile.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "reportcatalogue.h"
#include "reportstream.h"

#include <QLocale>
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
               "                    [--encoding windows-1252|utf-8]\n"
               "\n"
               "Runs a report of the catalogue, with its date range, or any SQL statement on the\n"
               "fee database and writes the rows as the Reports page's \"Export\" does: a header\n"
               "of quoted column names, one line per row, CR LF line ends, Windows-1252 text,\n"
               "numbers with the decimal separator of your locale (LC_ALL, LC_NUMERIC, LANG).\n"
               "A text cell that starts with =, +, -, @, TAB or CR gets a leading ' inside its\n"
               "quotes, so that a spreadsheet never runs it as a formula.\n"
               "\n"
               "Options:\n"
               "  --db FILE          the fee database (default: the window program's)\n"
               "  --report NAME      a report by caption (letter case ignored) or by number\n"
               "  --sql TEXT         one SQL statement of your own\n"
               "  --start DATE       only tournaments on or after DATE (with --report)\n"
               "  --end DATE         only tournaments on or before DATE (with --report)\n"
               "  --output FILE      the CSV file, created or replaced whole (default: standard\n"
               "                     output); a device or FIFO is written as it is\n"
               "  --encoding NAME    windows-1252 (the default) or utf-8 (with a byte-order mark,\n"
               "                     which spreadsheets detect)\n"
               "  -h, --help         this help\n"
               "\n"
               "Reports:\n") +
           catalogue +
           QStringLiteral(
               "\n"
               "The database is opened read-only: a statement that would change it fails with\n"
               "the database's message. Any other statement without result columns is carried\n"
               "out and said so on standard error; no CSV is written then.\n"
               "\n"
               "Exit status:\n"
               "  0  the CSV was written (or a statement without result columns carried out)\n"
               "  1  the statement failed (the database's message on standard error), gave no\n"
               "     statement at all, or the file could not be written\n"
               "  2  the command line was wrong\n");
}

int RunReportCommand(const QStringList& args);

const RegisterCommand registration({QStringLiteral("report"),
                                    QStringLiteral("Write a fee report or an SQL query as CSV"),
                                    Help(), RunReportCommand});

struct ReportOptions {
    QString db, report, sql, start, end, output, encoding;
    bool haveSql = false;
};

/// The encoding an --encoding value names (letter case ignored); none for an unknown name.
std::optional<CsvEncoding> EncodingNamed(const QString& name) {
    if (name.compare(u"windows-1252", Qt::CaseInsensitive) == 0)
        return CsvEncoding::Windows1252;
    if (name.compare(u"utf-8", Qt::CaseInsensitive) == 0)
        return CsvEncoding::Utf8;
    return std::nullopt;
}

/// Reads "--name VALUE" and "--name=VALUE"; returns an error text, empty when all is well.
QString ParseOptions(const QStringList& args, ReportOptions& options, bool& help) {
    const struct {
        const char16_t* name;
        QString ReportOptions::*field;
    } known[] = {{u"--db", &ReportOptions::db},
                 {u"--report", &ReportOptions::report},
                 {u"--sql", &ReportOptions::sql},
                 {u"--start", &ReportOptions::start},
                 {u"--end", &ReportOptions::end},
                 {u"--output", &ReportOptions::output},
                 {u"--encoding", &ReportOptions::encoding}};
    QStringList seen;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == u"--help" || arg == u"-h") {
            help = true;
            return QString();
        }
        const QString name = arg.section(u'=', 0, 0);
        bool matched = false;
        for (const auto& option : known) {
            if (name != QStringView(option.name))
                continue;
            matched = true;
            if (seen.contains(name))
                return QStringLiteral("%1 given twice").arg(name);
            seen << name;
            QString value;
            if (arg.contains(u'='))
                value = arg.section(u'=', 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return QStringLiteral("%1 needs a value").arg(name);
            options.*option.field = value;
            if (name == u"--sql")
                options.haveSql = true;
        }
        if (!matched) {
            return arg.startsWith(u'-') ? QStringLiteral("unknown option \"%1\"").arg(arg)
                                        : QStringLiteral("unexpected argument \"%1\"").arg(arg);
        }
    }
    const bool haveReport = seen.contains(QStringLiteral("--report"));
    if (haveReport == options.haveSql)
        return QStringLiteral("give either --report or --sql");
    if (seen.contains(QStringLiteral("--db")) && options.db.isEmpty())
        return QStringLiteral("--db needs a file");
    if (seen.contains(QStringLiteral("--output")) && options.output.isEmpty())
        return QStringLiteral("--output needs a file");
    if (seen.contains(QStringLiteral("--encoding")) && !EncodingNamed(options.encoding))
        return QStringLiteral("--encoding is windows-1252 or utf-8");
    return QString();
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

/// The report's bytes as they come: to standard output, or to the output file, which is opened
/// with the first piece (a statement without result columns writes no file) and takes its place
/// at commit.
class ReportOutput {
public:
    explicit ReportOutput(const QString& path) : m_path(path) {}

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

int RunReportCommand(const QStringList& args) {
    const CliCommand& self = *FindCommand(QStringLiteral("report"));
    ReportOptions options;
    bool help = false;
    const QString error = ParseOptions(args, options, help);
    if (help) {
        PrintOut(self.help);
        return kExitOk;
    }
    if (!error.isEmpty())
        return UsageError(self, error);

    QString sql = options.sql;
    if (!options.haveSql) {
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
    } else if (!options.start.isEmpty() || !options.end.isEmpty()) {
        return UsageError(self, QStringLiteral("--start and --end go with --report only"));
    }

    // The report reads an existing database; it never creates an empty one in passing, and it
    // never changes one.
    FeeDatabase db;
    db.setDatabaseName(options.db.isEmpty() ? FeeDatabasePath() : options.db);
    db.OpenReadOnly();
    RequireFeeSchema(db);

    // The window's "Load" runs nothing for an empty text, and its "Export" then finds the view
    // closed.
    if (sql.isEmpty()) {
        PrintErr(QStringLiteral("Report table is empty\n"));
        return kExitFailure;
    }
    // The rows go from the statement into the file as they come, never held: the memory stays
    // the same whatever the number of rows. A failure leaves an existing file as it was.
    const CsvEncoding encoding = EncodingNamed(options.encoding).value_or(CsvEncoding::Windows1252);
    ReportOutput output(options.output);
    const ReportRunResult run = StreamReportCsv(db, sql, QLocale::system(), encoding,
                                                [&](QByteArrayView bytes) { output.write(bytes); });
    if (!run.opened) {
        PrintErr(ReportRunMessage(run) + u'\n');
        return kExitOk;
    }
    output.commit();
    return kExitOk;
}

} // namespace
