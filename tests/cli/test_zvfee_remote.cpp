#include "feedatabase.h"
#include "testservers.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

QStringList TNumbers(const QString& dbPath) {
    if (!QFile::exists(dbPath))
        return {};
    FeeDatabase db;
    db.setDatabaseName(dbPath);
    db.Open();
    Statement stmt = db.Prepare16(u"SELECT TNumber FROM Master ORDER BY TNumber"_s);
    QStringList out;
    while (db.Step(stmt))
        out << QString::number(sqlite3_column_int(stmt.get(), 0));
    return out;
}

} // namespace

class TestZvfeeRemote : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<DemoServer> m_server;
    int m_refused = 0;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    /// Fills in %PORT, %REFUSED and %DIR.
    QString fill(QString text) const {
        return text.replace(u"%PORT"_s, QString::number(m_server->port()))
            .replace(u"%REFUSED"_s, QString::number(m_refused))
            .replace(u"%DIR"_s, m_dir.path());
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(QFile::exists(BuildProgram(u"zvfee"_s)), "zvfee is not built");
        const QString folder = path(u"served"_s);
        WriteFileBytes(folder + u"/TR2024-03-01 Daily Turbo.txt"_s,
                       ResultsBlock(1) + ResultsBlock(2));
        WriteFileBytes(folder + u"/TR24-03-02 Short.txt"_s, ResultsBlock(3));
        WriteFileBytes(path(u"pw.txt"_s), "pw\r\n");
        WriteFileBytes(path(u"bad.txt"_s), "nope");
        m_server = std::make_unique<DemoServer>(DemoServer::Options{folder, u"pw"_s, {}, {}});
        QVERIFY2(m_server->started(), qPrintable(m_server->log()));
        m_refused = RefusedPort();
    }
    void cleanupTestCase() { m_server.reset(); }

    void runs_data() {
        QTest::addColumn<QString>("settings"); // the [ZVFee] lines of the settings file
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");          // a text that standard error holds
        QTest::addColumn<QStringList>("tnumbers"); // tournaments in the database afterwards

        const QString saved = u"ServerIP=127.0.0.1\nFilePort=%PORT\nAPIPath=api\n"
                              "RememberPW=1\nPassword=pw\n"_s;
        const QString listed = u"TR2024-03-01 Daily Turbo.txt\nTR24-03-02 Short.txt\n"_s;
        const QStringList db{u"--db"_s, u"%DIR/fees.db3"_s};
        const QStringList pw{u"--password-file"_s, u"%DIR/pw.txt"_s};

        QTest::newRow("list with the saved settings")
            << saved << QStringList{u"list"_s} << 0 << listed
            << "Retrieving tournament result list ..." << QStringList{};
        QTest::newRow("saved password unused unless remembered")
            << u"FilePort=%PORT\nRememberPW=0\nPassword=pw\n"_s << QStringList{u"list"_s} << 2 << ""
            << "No API Password specified" << QStringList{};
        QTest::newRow("options before settings")
            << u"ServerIP=nowhere.invalid\nFilePort=1\nAPIPath=x\n"_s
            << QStringList{u"list"_s,  u"--host=127.0.0.1"_s, u"--port"_s,
                           u"%PORT"_s, u"--path"_s,           u"api"_s} +
                   pw
            << 0 << listed << "" << QStringList{};
        QTest::newRow("an empty saved host")
            << QString(saved).replace(u"ServerIP=127.0.0.1"_s, u"ServerIP="_s)
            << QStringList{u"list"_s} << 2 << ""
            << "No IP specified" << QStringList{};
        QTest::newRow("wrong password")
            << saved << QStringList{u"list"_s, u"--password-file"_s, u"%DIR/bad.txt"_s} << 1 << ""
            << "Invalid API password" << QStringList{};
        QTest::newRow("nothing listening")
            << saved << QStringList{u"list"_s, u"--port"_s, u"%REFUSED"_s} << 1 << ""
            << "Could not connect to http://127.0.0.1:%REFUSED/api" << QStringList{};
        QTest::newRow("import all")
            << saved << QStringList{u"import"_s, u"--all"_s} + db << 0
            << "Tournaments with fees imported:  3\n"
            << "Retrieving (2 of 2):  TR24-03-02 Short.txt" << QStringList{u"1"_s, u"2"_s, u"3"_s};
        QTest::newRow("import an item with an 8-character date")
            << saved << QStringList{u"import"_s, u"TR24-03-02 Short.txt"_s} + db << 0
            << "Tournaments with fees imported:  1\n"
            << "Retrieving (1 of 1):  TR24-03-02 Short.txt" << QStringList{u"3"_s};
        QTest::newRow("an item the server lacks ends the run")
            << saved
            << QStringList{u"import"_s, u"TR2024-03-01 Daily Turbo.txt"_s,
                           u"TR2024-09-09 Gone.txt"_s, u"TR24-03-02 Short.txt"_s} +
                   db
            << 1 << "Tournaments with fees imported:  2\n"
            << "Tournament results not found: TR2024-09-09 Gone.txt" << QStringList{u"1"_s, u"2"_s};
        QTest::newRow("--new goes past an item that fails")
            << saved
            << QStringList{u"import"_s, u"--new"_s, u"TR2024-03-01 Daily Turbo.txt"_s,
                           u"TR2024-09-09 Gone.txt"_s, u"TR24-03-02 Short.txt"_s} +
                   db
            << 1 << "Tournaments with fees imported:  3\n"
            << "Tournament results not found: TR2024-09-09 Gone.txt\nRetrieving (3 of 3):  "
               "TR24-03-02 Short.txt\nUpdating database ...\nNot imported (tried again by the "
               "next --new): 1\n"
            << QStringList{u"1"_s, u"2"_s, u"3"_s};
        QTest::newRow("an empty item ends the run as a missing one does")
            << saved
            << QStringList{u"import"_s, u"TR2024-03-01 Daily Turbo.txt"_s, QString(),
                           u"TR24-03-02 Short.txt"_s} +
                   db
            << 1 << "Tournaments with fees imported:  2\n"
            << "Error loading \"\": no file name" << QStringList{u"1"_s, u"2"_s};
        QTest::newRow("a timeout that is not a number")
            << saved << QStringList{u"list"_s, u"--timeout"_s, u"soon"_s} << 2 << ""
            << "--timeout needs a number of seconds above 0" << QStringList{};
        QTest::newRow("a timeout the answer keeps")
            << saved << QStringList{u"list"_s, u"--timeout=30"_s} << 0 << listed << ""
            << QStringList{};
        QTest::newRow("import without items") << saved << QStringList{u"import"_s} + db << 2 << ""
                                              << "no items given" << QStringList{};
        QTest::newRow("import with an empty saved host: nothing is sent")
            << QString(saved).replace(u"ServerIP=127.0.0.1"_s, u"ServerIP="_s)
            << QStringList{u"import"_s, u"--all"_s} + db << 2 << ""
            << "No IP specified" << QStringList{};
    }
    void runs() {
        QFETCH(QString, settings);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, tnumbers);

        QTemporaryDir config;
        WriteFileBytes(config.filePath(u"Kestrelle/ZVFeeStats.ini"_s),
                       (u"[ZVFee]\n"_s + fill(settings)).toUtf8());
        QFile::remove(path(u"fees.db3"_s));
        for (QString& arg : args)
            arg = fill(arg);

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        process.setProcessEnvironment(env);
        process.start(BuildProgram(u"zvfee"_s), QStringList{u"remote"_s} + args);
        QVERIFY(process.waitForFinished(60000));
        const QString stdOut = QString::fromUtf8(process.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == exitCode, qPrintable(stdErr));
        QCOMPARE(stdOut, out);
        QVERIFY2(stdErr.contains(fill(err)), qPrintable(stdErr));
        QCOMPARE(TNumbers(path(u"fees.db3"_s)), tnumbers);
    }

    void aRequestLongerThanTheTimeoutEnds() {
        // 4 KiB every 100 ms: a flow well above the speed limit, cut only by --timeout.
        StreamingServer server({StreamingServer::Stream().head, 600, 4096, 100});
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(BuildProgram(u"zvfee"_s),
                      {u"remote"_s, u"list"_s, u"--host=127.0.0.1"_s,
                       u"--port="_s + server.url().section(u':', 2).section(u'/', 0, 0),
                       u"--path=api"_s, u"--password-file"_s, path(u"pw.txt"_s), u"--timeout"_s,
                       u"1"_s});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString::fromUtf8(process.readAllStandardError())
                    .contains(u"Could not connect to "_s + server.url()));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    // --new: a second call fetches nothing; a file added to the served folder is the only one
    // fetched by the next.
    void importNew() {
        QTemporaryDir config;
        WriteFileBytes(
            config.filePath(u"Kestrelle/ZVFeeStats.ini"_s),
            fill(u"[ZVFee]\nServerIP=127.0.0.1\nFilePort=%PORT\nAPIPath=api\n"_s).toUtf8());
        const QString db = path(u"new.db3"_s);
        const auto run = [&](const QString& out, const QString& err) {
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"XDG_CONFIG_HOME"_s, config.path());
            process.setProcessEnvironment(env);
            process.start(BuildProgram(u"zvfee"_s),
                          {u"remote"_s, u"import"_s, u"--new"_s, u"--db"_s, db,
                           u"--password-file"_s, path(u"pw.txt"_s)});
            QVERIFY(process.waitForFinished(60000));
            const QString stdErr = QString::fromUtf8(process.readAllStandardError());
            QVERIFY2(process.exitCode() == 0, qPrintable(stdErr));
            QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), out);
            QVERIFY2(stdErr.endsWith(err), qPrintable(stdErr));
        };
        run(u"Tournaments with fees imported:  3\n"_s,
            u"Skipped (already imported): 0\nRetrieving (1 of 2):  TR2024-03-01 Daily Turbo.txt\n"
            "Retrieving (2 of 2):  TR24-03-02 Short.txt\nUpdating database ...\n"_s);
        run(u"Tournaments with fees imported:  0\n"_s, u"Skipped (already imported): 2\n"_s);

        const QString added = path(u"served/TR2024-03-03 Added.txt"_s);
        WriteFileBytes(added, ResultsBlock(4));
        run(u"Tournaments with fees imported:  1\n"_s,
            u"Skipped (already imported): 2\nRetrieving (1 of 1):  TR2024-03-03 Added.txt\n"
            "Updating database ...\n"_s);
        QFile::remove(added);
        QCOMPARE(TNumbers(db), (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
    }
};

QTEST_GUILESS_MAIN(TestZvfeeRemote)
#include "test_zvfee_remote.moc"
