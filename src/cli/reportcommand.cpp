// zvfee report: a catalogue report or any statement, written as the window's "Export" writes it,
// streamed from the statement into the file.

#include "command.h"
#include "exportfile.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "reportcatalogue.h"
#include "reportoptions.h"
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

/// The encoding an --encoding value names (letter case ignored); none for an unknown name.
std::optional<CsvEncoding> EncodingNamed(const QString& name) {
    if (name.compare(u"windows-1252", Qt::CaseInsensitive) == 0)
        return CsvEncoding::Windows1252;
    if (name.compare(u"utf-8", Qt::CaseInsensitive) == 0)
        return CsvEncoding::Utf8;
    return std::nullopt;
}

/// Reads the command line; returns the usage error, empty when all is well.
QString ReadOptions(const QStringList& args, LongOptions& options, bool& help) {
    const QString error = ReadLongOptions(
        args, ReportOptionNames() << QStringLiteral("--output") << QStringLiteral("--encoding"),
        options, help);
    if (!error.isEmpty() || help)
        return error;
    if (const QString report = CheckReportOptions(options); !report.isEmpty())
        return report;
    if (options.given(QStringLiteral("--output")) &&
        options.value(QStringLiteral("--output")).isEmpty())
        return QStringLiteral("--output needs a file");
    if (options.given(QStringLiteral("--encoding")) &&
        !EncodingNamed(options.value(QStringLiteral("--encoding"))))
        return QStringLiteral("--encoding is windows-1252 or utf-8");
    return QString();
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
    db.setDatabaseName(dbFile.isEmpty() ? FeeDatabasePath() : dbFile);
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
    const CsvEncoding encoding = EncodingNamed(options.value(QStringLiteral("--encoding")))
                                     .value_or(CsvEncoding::Windows1252);
    ReportOutput output(options.value(QStringLiteral("--output")));
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
