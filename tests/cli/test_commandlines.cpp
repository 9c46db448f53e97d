// --help, --version and wrong command lines of both programs, run as a user runs them.

#include "version.h"

#include <QProcess>
#include <QTest>

class TestCommandLines : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void run_data();
    void run();
};

void TestCommandLines::run_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // what standard output starts with
    QTest::addColumn<QString>("err"); // all of standard error

    const QString version = ProgramVersion();
    QTest::newRow("zvfee --version")
        << "zvfee" << QStringList{"--version"} << 0 << "zvfee " + version + "\n"
        << "";
    QTest::newRow("zvfee --help") << "zvfee" << QStringList{"--help"} << 0
                                  << "Usage: zvfee [--profile NAME] COMMAND"
                                  << "";
    QTest::newRow("zvfee, unknown option")
        << "zvfee" << QStringList{"--fast"} << 2 << ""
        << "zvfee: unknown option '--fast'\nRun 'zvfee --help'.\n";
    QTest::newRow("zvfee, unknown command")
        << "zvfee" << QStringList{"frobnicate"} << 2 << ""
        << "zvfee: unknown command \"frobnicate\"\nRun 'zvfee --help'.\n";
    QTest::newRow("zvfee import, usage error")
        << "zvfee" << QStringList{"import", "--fast", "x.txt"} << 2 << ""
        << "zvfee import: unknown option \"--fast\"\nRun 'zvfee import --help'.\n";
    QTest::newRow("zvfeestats --version")
        << "zvfeestats" << QStringList{"--version"} << 0 << "zvfeestats " + version + "\n"
        << "";
    QTest::newRow("zvfeestats --help")
        << "zvfeestats" << QStringList{"-h"} << 0 << "Usage: zvfeestats [OPTION] [FOLDER]\n"
        << "";
    QTest::newRow("zvfeestats, unknown option")
        << "zvfeestats" << QStringList{"--db=x.db3"} << 2 << ""
        << "zvfeestats: unknown option '--db' (it takes --help, --version, --profile NAME or a "
           "FOLDER)\n";
    QTest::newRow("zvfeestats, two folders") << "zvfeestats" << QStringList{"/", "/tmp"} << 2 << ""
                                             << "zvfeestats: unexpected argument '/tmp' (it takes "
                                                "--help, --version, --profile NAME or a FOLDER)\n";
}

void TestCommandLines::run() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess process;
    process.start(QStringLiteral(ZV_BUILD_DIR "/") + program, args);
    QVERIFY(process.waitForFinished(30000));
    const QString stdOut = QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), err);
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
    QCOMPARE(process.exitCode(), exitCode);
}

QTEST_GUILESS_MAIN(TestCommandLines)
#include "test_commandlines.moc"
