#include "feedatabase.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

const QString kZvfee = QStringLiteral(ZV_BUILD_DIR "/zvfee");

QByteArray Tournament(int number, const QByteArray& start = "2024-05-03 19:00:00",
                      const QByteArray& players = "Place1=alpha\nPlace2=bravo Removed\n") {
    return "Tournament=T" + QByteArray::number(number) + "\nNumber=" + QByteArray::number(number) +
           "\nBuyIn=10+1\nPrizeBonus=0\nMultiplyBonus=No\nEntrants=2\nRebuyFee=No\nStart=" + start +
           "\n" + players + "Stop=2024-05-03 20:00:00\n";
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunZvfee(const QStringList& args, const QString& program = kZvfee,
             const QString& workingDir = QString()) {
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QStringList TNumbers(const QString& dbPath) {
    FeeDatabase db;
    db.setDatabaseName(dbPath);
    db.Open();
    Statement stmt = db.Prepare16(QStringLiteral("SELECT TNumber FROM Master ORDER BY TNumber"));
    QStringList out;
    while (db.Step(stmt))
        out << QString::number(sqlite3_column_int(stmt.get(), 0));
    return out;
}

} // namespace

class TestZvfeeImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void usage_data();
    void usage();
    void runs_data();
    void runs();
    void onlyNewFiles();
    void newGoesPastAFailingFile();
    void defaultDatabaseBesideTheProgram();
    void databaseThatCannotBeCreated();
    void importAgainReplacesPlayers_data();
    void foreignDatabaseIsRefusedAtStart_data();
    void foreignDatabaseIsRefusedAtStart();
    void importAgainReplacesPlayers();

private:
    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }
};

void TestZvfeeImport::initTestCase() {
    QVERIFY2(QFile::exists(kZvfee), "zvfee is not built");
    WriteFileBytes(file("TR2024-05-03 A.txt"), Tournament(1) + Tournament(2));
    WriteFileBytes(file("TR2024-05-03 B.txt"), Tournament(3));
    WriteFileBytes(file("TR2024-05-03 Bad.txt"), Tournament(4, "2024-05-03 8:00:00"));
    QCOMPARE(mkfifo(QFile::encodeName(file("TRpipe.txt")).constData(), 0600), 0);
    const QByteArray start = "2024-05-03 19:00:00";
    WriteFileBytes(file("TR7 first.txt"), Tournament(7, start, "Place1=alpha\nPlace2=bravo\n"));
    WriteFileBytes(file("TR7 corrected.txt"), Tournament(7, start, "Place1=alpha\n"));
    WriteFileBytes(file("TR8 twice.txt"), Tournament(8, start, "Place1=alpha\nPlace2=bravo\n") +
                                              Tournament(8, start, "Place1=charlie\n"));
}

void TestZvfeeImport::usage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a text that standard output holds ("" for none at all)
    QTest::addColumn<QString>("err"); // a text that standard error holds ("" for none at all)
    QTest::newRow("--help lists the commands") << QStringList{"--help"} << 0 << "  import"
                                               << "";
    QTest::newRow("no command") << QStringList{} << 2 << ""
                                << "no command given";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << ""
                                     << "unknown command \"frobnicate\"";
    QTest::newRow("import --help") << QStringList{"import", "--help"} << 0 << "--db FILE"
                                   << "";
    QTest::newRow("import without files") << QStringList{"import"} << 2 << ""
                                          << "no results files given";
    QTest::newRow("--db without a file") << QStringList{"import", "x.txt", "--db"} << 2 << ""
                                         << "--db needs a file";
    QTest::newRow("unknown option") << QStringList{"import", "--fast", "x.txt"} << 2 << ""
                                    << "unknown option \"--fast\"";
    QTest::newRow("watch without a folder") << QStringList{"watch"} << 2 << ""
                                            << "no folder given";
    QTest::newRow("watch with a bad settle time")
        << QStringList{"watch", ".", "--settle", "-1"} << 2 << ""
        << "--settle takes seconds from 0.1 to 3600";
    for (const char* settle : {"nan", "inf", "0", "3600.5"})
        QTest::newRow(qPrintable(QStringLiteral("watch --settle %1").arg(settle)))
            << QStringList{"watch", ".", "--settle", settle} << 2 << ""
            << "--settle takes seconds from 0.1 to 3600";
    QTest::newRow("watch a folder that is not there")
        << QStringList{"watch", "/nonexistent/results"} << 1 << ""
        << "not a folder: /nonexistent/results";
}

void TestZvfeeImport::usage() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run run = RunZvfee(args);
    QCOMPARE(run.exitCode, exitCode);
    if (out.isEmpty())
        QCOMPARE(run.out, QString());
    else
        QVERIFY2(run.out.contains(out), qPrintable(run.out));
    if (err.isEmpty())
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

void TestZvfeeImport::runs_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("err");    // lines of standard error
    QTest::addColumn<QStringList>("stored"); // TNumbers in the database afterwards

    const QString a = QStringLiteral("TR2024-05-03 A.txt");
    const QString b = QStringLiteral("TR2024-05-03 B.txt");
    const QString bad = QStringLiteral("TR2024-05-03 Bad.txt");
    const QString gone = QStringLiteral("TR2024-05-03 Gone.txt");
    QTest::newRow("every file imported")
        << QStringList{a, b} << 0 << "Tournaments with fees imported:  3\n"
        << QStringList{"Loading (1 of 2):  " + a, "Loading (2 of 2):  " + b,
                       "Updating database ..."}
        << QStringList{"1", "2", "3"};
    QTest::newRow("unreadable file ends the run, earlier files kept")
        << QStringList{a, gone, b} << 1 << "Tournaments with fees imported:  2\n"
        << QStringList{"Loading (1 of 3):  " + a, "Loading (2 of 3):  " + gone,
                       "Error loading " + gone, "No such file or directory",
                       "Updating database ..."}
        << QStringList{"1", "2"};
    QTest::newRow("a FIFO is refused without waiting for a writer")
        << QStringList{a, "TRpipe.txt", b} << 1 << "Tournaments with fees imported:  2\n"
        << QStringList{"Loading (1 of 3):  " + a, "Loading (2 of 3):  TRpipe.txt",
                       "Error loading TRpipe.txt", "Not a regular file", "Updating database ..."}
        << QStringList{"1", "2"};
    QTest::newRow("an empty file name ends the run as a missing file does")
        << QStringList{a, "", b} << 1 << "Tournaments with fees imported:  2\n"
        << QStringList{"Loading (1 of 3):  " + a,
                       "Loading (2 of 3):  ", "Error loading \"\": no file name",
                       "Updating database ..."}
        << QStringList{"1", "2"};
    QTest::newRow("error ends the run, nothing kept")
        << QStringList{a, bad, b} << 1 << ""
        << QStringList{"Loading (1 of 3):  " + a, "Loading (2 of 3):  " + bad,
                       bad + " line 11 (tournament 4): '8:' is not a valid integer value"}
        << QStringList{};
}

void TestZvfeeImport::runs() {
    QFETCH(QStringList, files);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QStringList, err);
    QFETCH(QStringList, stored);
    QTemporaryDir dbDir;
    const QString dbPath = dbDir.filePath(QStringLiteral("fees.db3")); // created by the run
    // Relative file names, read from the working folder, as a shell user gives them.
    const Run run = RunZvfee(QStringList{"import", "--db", dbPath} + files, kZvfee, m_dir.path());
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err, err.join(u'\n') + u'\n');
    QCOMPARE(TNumbers(dbPath), stored);
}

// A folder of 5 files imported with --new; then 2 are added and 1 is rewritten: the next run
// takes exactly those 3, and the one after takes none.
void TestZvfeeImport::onlyNewFiles() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("results"));
    const QString db = dir.filePath(QStringLiteral("fees.db3"));
    const auto write = [&](int n, const QByteArray& fee = "1") {
        WriteFileBytes(folder + QStringLiteral("/TR2024-05-%1 T.txt").arg(n, 2, 10, QChar(u'0')),
                       ResultsBlock(n, fee));
    };
    for (int n = 1; n <= 5; ++n)
        write(n);
    const QStringList args{"import", "--new", "--db", db, folder};
    Run run = RunZvfee(args);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("Tournaments with fees imported:  5\n"));
    QVERIFY2(run.err.startsWith("Skipped (already imported): 0\nLoading (1 of 5):  "),
             qPrintable(run.err));

    write(6);
    write(7);
    write(3, "25"); // another fee: another size
    run = RunZvfee(args);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("Tournaments with fees imported:  3\n"));
    const QString f = folder + QStringLiteral("/TR2024-05-0");
    QCOMPARE(run.err, "Skipped (already imported): 4\nLoading (1 of 3):  " + f +
                          "3 T.txt\nLoading (2 of 3):  " + f + "6 T.txt\nLoading (3 of 3):  " + f +
                          "7 T.txt\nUpdating database ...\n");
    QCOMPARE(TNumbers(db), (QStringList{"1", "2", "3", "4", "5", "6", "7"}));

    run = RunZvfee(args);
    QCOMPARE(run.out, QStringLiteral("Tournaments with fees imported:  0\n"));
    QCOMPARE(run.err, QStringLiteral("Skipped (already imported): 7\nUpdating database ...\n"));
}

// With --new each file stands alone: the files that fail are named and left out, unrecorded, the
// others imported; the next --new tries only the failed ones again.
void TestZvfeeImport::newGoesPastAFailingFile() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("results"));
    const QString db = dir.filePath(QStringLiteral("fees.db3"));
    const QString bad = folder + QStringLiteral("/TR2024-05-02 Bad.txt");
    const QString other = folder + QStringLiteral("/TR2024-05-04 Other.txt");
    WriteFileBytes(folder + QStringLiteral("/TR2024-05-01 A.txt"), Tournament(1) + Tournament(2));
    WriteFileBytes(bad, Tournament(5) + Tournament(4, "2024-05-03 8:00:00"));
    WriteFileBytes(folder + QStringLiteral("/TR2024-05-03 C.txt"), Tournament(3));
    WriteFileBytes(other, Tournament(1, "2025-02-01 18:00:00"));
    const QStringList args{"import", "--new", "--db", db, folder};
    Run run = RunZvfee(args);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("Tournaments with fees imported:  3\n"));
    QVERIFY2(run.err.contains("\n" + bad +
                              " line 22 (tournament 4): '8:' is not a valid integer "
                              "value\nLoading (3 of 4):  "),
             qPrintable(run.err));
    QVERIFY2(run.err.contains("\nTournament 1 of \"" + other +
                              "\" (T1, 2025-02-01 18:00:00) is "
                              "not tournament 1 in the fee database"),
             qPrintable(run.err));
    QVERIFY2(run.err.endsWith("Not imported (tried again by the next --new): 2\n"),
             qPrintable(run.err));
    QCOMPARE(TNumbers(db), (QStringList{"1", "2", "3"}));

    WriteFileBytes(bad, Tournament(5) + Tournament(4));
    run = RunZvfee(args);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("Tournaments with fees imported:  2\n"));
    QVERIFY2(run.err.startsWith("Skipped (already imported): 2\nLoading (1 of 2):  " + bad),
             qPrintable(run.err));
    QCOMPARE(TNumbers(db), (QStringList{"1", "2", "3", "4", "5"}));
}

void TestZvfeeImport::defaultDatabaseBesideTheProgram() {
    QTemporaryDir programDir;
    const QString program = programDir.filePath(QStringLiteral("zvfee"));
    QVERIFY(QFile::copy(kZvfee, program));
    const Run run = RunZvfee({"import", file("TR2024-05-03 B.txt")}, program);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("Tournaments with fees imported:  1\n"));
    QCOMPARE(TNumbers(programDir.filePath(QStringLiteral("ZVFee2.db3"))), QStringList{"3"});
}

void TestZvfeeImport::databaseThatCannotBeCreated() {
    const QString dbPath = file(QStringLiteral("no such folder/fees.db3"));
    const Run run = RunZvfee({"import", "--db", dbPath, file("TR2024-05-03 B.txt")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, "Cannot open file \"" + dbPath + "\": no such file or directory\n");
}

// The fee report after an import that replaces a tournament: the players it no longer names are
// gone, in a later run as in the same file.
void TestZvfeeImport::importAgainReplacesPlayers_data() {
    QTest::addColumn<QStringList>("runs"); // one file per run
    QTest::addColumn<QByteArray>("csv");   // "Fees by TName & Player"
    QTest::newRow("corrected file in a later run")
        << QStringList{"TR7 first.txt", "TR7 corrected.txt"}
        << QByteArray("\"TName\",\"Player\",\"Fees\"\r\n\"T7\",\"alpha\",1\r\n");
    QTest::newRow("same tournament twice in one file")
        << QStringList{"TR8 twice.txt"}
        << QByteArray("\"TName\",\"Player\",\"Fees\"\r\n\"T8\",\"charlie\",1\r\n");
}

void TestZvfeeImport::importAgainReplacesPlayers() {
    QFETCH(QStringList, runs);
    QFETCH(QByteArray, csv);
    QTemporaryDir dbDir;
    const QString dbPath = dbDir.filePath(QStringLiteral("fees.db3"));
    for (const QString& name : runs)
        QCOMPARE(RunZvfee({"import", "--db", dbPath, file(name)}).exitCode, 0);
    const Run report = RunZvfee({"report", "--db", dbPath, "--report", "Fees by TName & Player"});
    QCOMPARE(report.err, QString());
    QCOMPARE(report.out.toUtf8(), csv);
}

void TestZvfeeImport::foreignDatabaseIsRefusedAtStart_data() {
    QTest::addColumn<QStringList>("args"); // after the command and --db FILE
    QTest::newRow("import") << QStringList{"import", file("TR2024-05-03 B.txt")};
    QTest::newRow("report") << QStringList{"report", "--report", "Total Fees"};
}

void TestZvfeeImport::foreignDatabaseIsRefusedAtStart() {
    QFETCH(QStringList, args);
    QTemporaryDir dbDir;
    const QString dbPath = dbDir.filePath(QStringLiteral("fees.db3"));
    {
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, dbPath);
        db.Execute(QStringLiteral("ALTER TABLE Master DROP COLUMN RebuyFee;"
                                  "INSERT INTO Master (TNumber) VALUES (9)"));
    }
    args.insert(1, QStringLiteral("--db"));
    args.insert(2, dbPath);
    const Run run = RunZvfee(args);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, "Cannot use the fee database \"" + dbPath +
                          "\": table Master has no column RebuyFee\n");
    QCOMPARE(TNumbers(dbPath), QStringList{"9"});
}

QTEST_GUILESS_MAIN(TestZvfeeImport)
#include "test_zvfee_import.moc"
