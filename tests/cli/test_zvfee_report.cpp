#include "feedatabase.h"
#include "fiforeader.h"
#include "reportfixture.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {
const QString kZvfee = QStringLiteral(ZV_BUILD_DIR "/zvfee");

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

/// Runs zvfee with the locale variables given (the test's own LC_ALL is taken away).
Run RunZvfee(const QStringList& args, const QStringList& localeVariables = {"LANG=C"}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"})
        env.remove(QString::fromLatin1(name));
    for (const QString& variable : localeVariables)
        env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(kZvfee, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(),
            QString::fromUtf8(process.readAllStandardError())};
}

/// A fixture of tests/data/reportcsv, or any file by its full path.
QByteArray Golden(const QString& name) {
    QFile f(name.startsWith(u'/') ? name : TestDataPath(QStringLiteral("reportcsv/") + name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TestZvfeeReport : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_db;

private Q_SLOTS:
    void initTestCase() {
        m_db = m_dir.filePath(QStringLiteral("fees.db3"));
        FeeDatabase db;
        CreateReportFixture(db, m_db);
    }

    // The same bytes as the window's export of the same statement.
    void writesTheExportBytes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("locale");
        QTest::addColumn<QString>("golden");
        QTest::addColumn<int>("lost"); // characters Windows-1252 lacks
        const QStringList c{"LANG=C"};
        QTest::newRow("catalogue by caption")
            << QStringList{"--report", "Fees by Player"} << c << "fees-by-player.csv" << 3;
        QTest::newRow("catalogue by number")
            << QStringList{"--report=1"} << c << "fees-by-player.csv" << 3;
        QTest::newRow("typed statement")
            << QStringList{"--sql", FeesByPlayerSql()} << c << "fees-by-player.csv" << 3;
        QTest::newRow("decimal comma from LC_NUMERIC")
            << QStringList{"--report", "fees by player"}
            << QStringList{"LANG=C", "LC_NUMERIC=de_DE.UTF-8"} << "fees-by-player-decimal-comma.csv"
            << 3;
        QTest::newRow("decimal comma from LANG")
            << QStringList{"--report", "1"} << QStringList{"LANG=de_DE.UTF-8"}
            << "fees-by-player-decimal-comma.csv" << 3;
        QTest::newRow("start date past every tournament")
            << QStringList{"--report", "1", "--start", "2030-01-01"} << c << "header-only.csv" << 0;
        QTest::newRow("total fees, empty range")
            << QStringList{"--report", "Total Fees", "--start", "2030-01-01", "--end", "2030-12-31"}
            << c << "total-fees-no-rows-in-range.csv" << 0;
        QTest::newRow("master only")
            << QStringList{"--report", "Master only"} << c << "master-only.csv" << 0;
        QTest::newRow("values of their own form")
            << QStringList{"--sql", OwnFormValuesSql()} << c << "own-form-values.csv" << 0;
        QTest::newRow("formulas guarded")
            << QStringList{"--sql", FormulaTextsSql()} << c << "formula-guard.csv" << 0;
        QTest::newRow("UTF-8") << QStringList{"--report", "1", "--encoding", "utf-8"} << c
                               << "fees-by-player-utf8.csv" << 0;
        QTest::newRow("Windows-1252 by name")
            << QStringList{"--report", "1", "--encoding=Windows-1252"} << c << "fees-by-player.csv"
            << 3;
    }
    void writesTheExportBytes() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, locale);
        QFETCH(QString, golden);
        QFETCH(int, lost);
        const Run toStdout = RunZvfee(QStringList{"report", "--db", m_db} + args, locale);
        // Written all the same, but not whole: said on standard error.
        QCOMPARE(toStdout.err, lost == 0 ? QString()
                                         : QStringLiteral("%1 characters could not be written in "
                                                          "Windows-1252 and were saved as \"?\". "
                                                          "Choose \"CSV UTF-8\" to keep them.\n")
                                               .arg(lost));
        QCOMPARE(toStdout.exitCode, 0);
        QCOMPARE(toStdout.out, Golden(golden));

        const QString file = m_dir.filePath(QStringLiteral("out.csv"));
        WriteFileBytes(file, QByteArray(20000, 'o'));
        const Run toFile =
            RunZvfee(QStringList{"report", "--db", m_db, "--output", file} + args, locale);
        QCOMPARE(toFile.exitCode, 0);
        QCOMPARE(toFile.out, QByteArray());
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), Golden(golden));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("neither report nor sql") << QStringList{} << "give either --report or --sql";
        QTest::newRow("both") << QStringList{"--report", "1", "--sql", "SELECT 1"}
                              << "give either --report or --sql";
        QTest::newRow("unknown report")
            << QStringList{"--report", "Fees by Week"} << "no report \"Fees by Week\"";
        QTest::newRow("index past the list") << QStringList{"--report", "11"} << "no report \"11\"";
        QTest::newRow("date without leading zeros")
            << QStringList{"--report", "1", "--start", "2024-3-1"} << "yyyy-MM-dd";
        QTest::newRow("no such day")
            << QStringList{"--report", "1", "--end", "2024-02-30"} << "yyyy-MM-dd";
        QTest::newRow("dates with typed SQL")
            << QStringList{"--sql", "SELECT 1", "--start", "2024-03-01"} << "--report only";
        QTest::newRow("unknown option")
            << QStringList{"--report", "1", "--csv"} << "unknown option \"--csv\"";
        QTest::newRow("option without value")
            << QStringList{"--report", "1", "--output"} << "--output needs a value";
        QTest::newRow("option twice")
            << QStringList{"--report", "1", "--report", "2"} << "--report given twice";
        QTest::newRow("unknown encoding") << QStringList{"--report", "1", "--encoding", "latin1"}
                                          << "--encoding is windows-1252 or utf-8";
        QTest::newRow("unknown format") << QStringList{"--report", "1", "--format", "ods"}
                                        << "--format is csv, tsv, json, xlsx, html or pdf";
        QTest::newRow("delimiter of two")
            << QStringList{"--report", "1", "--delimiter", ";;"} << "--delimiter is one character";
        QTest::newRow("delimiter that numbers hold")
            << QStringList{"--report", "1", "--delimiter", "."} << "--delimiter is one character";
        QTest::newRow("quote as delimiter")
            << QStringList{"--report", "1", "--delimiter", "\""} << "--delimiter is one character";
        QTest::newRow("encoding with json")
            << QStringList{"--report", "1", "--format", "json", "--encoding", "utf-8"}
            << "--encoding goes with --format csv only";
        QTest::newRow("delimiter with a workbook by its name")
            << QStringList{"--report", "1", "--output", "x.xlsx", "--delimiter", ";"}
            << "--delimiter goes with --format csv only";
    }

    /// The format by --format or by the output's name; the cells themselves are read back by the
    /// formats' own test.
    void choosesTheFormat_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("csv by default") << QStringList{} << QByteArray("\"Player\",\"Tour");
        QTest::newRow("semicolons") << QStringList{"--delimiter", ";"}
                                    << QByteArray("\"Player\";\"Tournaments\";\"Fees\"\r\n");
        QTest::newRow("tsv") << QStringList{"--format", "tsv"}
                             << QByteArray("Player\tTournaments\tFees\n");
        QTest::newRow("json") << QStringList{"--format=JSON"} << QByteArray("[\n{\"Player\":");
        QTest::newRow("xlsx") << QStringList{"--format", "xlsx"} << QByteArray("PK\x03\x04");
        QTest::newRow("xlsx by the name")
            << QStringList{"--output", "@.xlsx"} << QByteArray("PK\x03\x04");
        QTest::newRow("--format wins over the name")
            << QStringList{"--output", "@.xlsx", "--format", "csv"} << QByteArray("\"Player\"");
        QTest::newRow("tsv by the name")
            << QStringList{"--output", "@.TSV"} << QByteArray("Player\tTournaments\tFees\n");
        QTest::newRow("json by the name")
            << QStringList{"--output", "@.json"} << QByteArray("[\n{");
        QTest::newRow("csv for another name")
            << QStringList{"--output", "@.txt"} << QByteArray("\"Player\",\"Tour");
    }
    void choosesTheFormat() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, start);
        QString file;
        for (QString& arg : args) {
            if (arg.startsWith(u'@')) {
                file = m_dir.filePath(QStringLiteral("chosen") + arg.mid(1));
                arg = file;
            }
        }
        if (!file.isEmpty())
            QFile::remove(file);
        const Run run = RunZvfee(QStringList{"report", "--db", m_db, "--report", "1"} + args);
        QCOMPARE(run.exitCode, 0);
        const QByteArray written = file.isEmpty() ? run.out : Golden(file);
        QVERIFY2(written.startsWith(start), written.left(40).constData());
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run run = RunZvfee(QStringList{"report", "--db", m_db} + args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.out, QByteArray());
    }

    void failures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("syntax error")
            << QStringList{"--sql", "SELEC 1"} << "near \"SELEC\": syntax error\n";
        QTest::newRow("several statements")
            << QStringList{"--sql", "SELECT 1; DELETE FROM Detail"} << "more than one statement";
        QTest::newRow("Clear composes nothing")
            << QStringList{"--report", "Clear"} << "Report table is empty\n";
        QTest::newRow("folder gone")
            << QStringList{"--report", "1", "--output", m_dir.filePath("gone/x.csv")}
            << QStringLiteral("Cannot create file \"%1\". ").arg(m_dir.filePath("gone/x.csv"));
    }
    void failures() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run run = RunZvfee(QStringList{"report", "--db", m_db} + args);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.out, QByteArray());
    }

    void missingDatabaseIsNotCreated() {
        const QString path = m_dir.filePath(QStringLiteral("missing.db3"));
        const Run run = RunZvfee({"report", "--db", path, "--report", "1"});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 QStringLiteral("No fee database at %1 yet: import results first\n").arg(path));
        QVERIFY(!QFile::exists(path));
    }

    /// The report never writes: a statement that would write, to the database or to any other
    /// file, is refused before it runs, and the file stays byte for byte with nothing beside it;
    /// a statement that writes nothing still runs.
    void databaseIsReadOnly_data() {
        QTest::addColumn<QString>("sql"); // %DIR: the database's folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString readOnly = QStringLiteral(
            "The statement was not run: it would write, and a report only reads the fee "
            "database\n");
        const QString attach = QStringLiteral("ATTACH or DETACH would reach other files\n");
        QTest::newRow("delete") << "DELETE FROM Detail" << 1 << readOnly;
        QTest::newRow("insert") << "INSERT INTO Master (TNumber) VALUES (99)" << 1 << readOnly;
        QTest::newRow("update") << "UPDATE Detail SET Fees = 0" << 1 << readOnly;
        QTest::newRow("drop") << "DROP TABLE Detail" << 1 << readOnly;
        QTest::newRow("writing query")
            << "INSERT INTO Master (TNumber) VALUES (98) RETURNING *" << 1 << readOnly;
        QTest::newRow("temporary table") << "CREATE TEMP TABLE t (a)" << 1 << readOnly;
        QTest::newRow("vacuum into another file") << "VACUUM INTO '%DIR/copy.db3'" << 1 << readOnly;
        QTest::newRow("vacuum") << "VACUUM" << 1 << readOnly;
        QTest::newRow("journal mode") << "PRAGMA journal_mode = WAL" << 1 << readOnly;
        QTest::newRow("attach a new file") << "ATTACH '%DIR/new.db3' AS other" << 1 << attach;
        QTest::newRow("detach") << "DETACH temp" << 1 << attach;
        QTest::newRow("writes nothing") << "BEGIN" << 0 << "carried out";
    }
    void databaseIsReadOnly() {
        QFETCH(QString, sql);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("readonly.db3"));
        QVERIFY(QFile::copy(m_db, path));
        const QByteArray before = Golden(path);
        const Run run = RunZvfee(
            {"report", "--db", path, "--sql", sql.replace(QStringLiteral("%DIR"), dir.path())});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.out, QByteArray());
        QVERIFY(Golden(path) == before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"readonly.db3"});
    }

    /// The report is never written onto the database or the files SQLite keeps beside it, by
    /// any name: the command fails and the database stays byte for byte.
    void outputOntoTheDatabaseIsRefused_data() {
        QTest::addColumn<QString>("output"); // in the database's folder
        QTest::newRow("the database") << "fees.db3";
        QTest::newRow("a symbolic link to it") << "link.csv";
        QTest::newRow("through a linked folder") << "folder/fees.db3";
        QTest::newRow("its journal, not made yet") << "fees.db3-journal";
        QTest::newRow("its wal through a linked folder") << "folder/fees.db3-wal";
    }
    void outputOntoTheDatabaseIsRefused() {
        QFETCH(QString, output);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fees.db3"));
        QVERIFY(QFile::copy(m_db, path));
        QVERIFY(QFile::link(path, dir.filePath(QStringLiteral("link.csv"))));
        QVERIFY(QFile::link(dir.path(), dir.filePath(QStringLiteral("folder"))));
        const QByteArray before = Golden(path);
        const QString target = dir.filePath(output);
        const Run run = RunZvfee({"report", "--db", path, "--report", "1", "--output", target});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 QStringLiteral("Cannot write \"%1\": it is the fee database.\n").arg(target));
        QVERIFY(Golden(path) == before);
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
            (QStringList{"fees.db3", "folder", "link.csv"}));
    }

    /// A disk that fills up while the rows stream in (a file size limit stands in for it) fails
    /// the report and leaves the old file whole, with nothing beside it.
    void failingDiskKeepsTheOldFile() {
        const QString path = m_dir.filePath(QStringLiteral("full/old.csv"));
        WriteFileBytes(path, "old content\r\n");
        QProcess process;
        process.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &small);
        });
        process.start(kZvfee, {"report", "--db", m_db, "--output", path, "--sql",
                               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n"
                               " WHERE i < 100000) SELECT i, 'player ' || i FROM n"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(process.readAllStandardError().startsWith("Cannot create file \"" + path.toUtf8() +
                                                           "\". "),
                 "no error about the file");
        QCOMPARE(Golden(path), QByteArray("old content\r\n"));
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"old.csv"});
    }

    /// A FIFO (or a device) is written as it is, never replaced by a file.
    void outputOntoAFifo() {
        const QString path = m_dir.filePath(QStringLiteral("pipe.csv"));
        FifoReader reader(path);
        const Run run = RunZvfee({"report", "--db", m_db, "--report", "1", "--output", path});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(reader.bytes(), Golden(QStringLiteral("fees-by-player.csv")));
        QVERIFY(IsFifo(path));
    }
};

QTEST_GUILESS_MAIN(TestZvfeeReport)
#include "test_zvfee_report.moc"
