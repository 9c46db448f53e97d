// Profiles: a fee database and a settings file per poker server, side by side with the default
// ones, run as a user runs zvfee and zvfeestats.

#include "testservers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

/// A portable copy of zvfee in a folder of its own, so that the default database and every
/// profile's land beside it, and a home of its own for the settings.
class TestZvfeeProfiles : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<DemoServer> m_server;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString program() const { return path(u"bin/zvfee"_s); }

    Run run(const QString& executable, const QStringList& args) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
        env.insert(u"XDG_DATA_HOME"_s, path(u"data"_s));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(executable, args);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Run zvfee(const QStringList& args) const { return run(program(), args); }

    /// The settings of a profile (empty: the default ones).
    void writeSettings(const QString& profile, const QString& lines) const {
        const QString name =
            profile.isEmpty() ? u"ZVFeeStats.ini"_s : u"ZVFeeStats-%1.ini"_s.arg(profile);
        WriteFileBytes(path(u"config/Kestrelle/"_s + name), (u"[ZVFee]\n"_s + lines).toUtf8());
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(QDir(m_dir.path()).mkpath(u"bin"_s));
        QVERIFY(QFile::copy(BuildProgram(u"zvfee"_s), program()));
        // One tournament number in three places, each another tournament: what a reinstalled
        // server and a second club's server give.
        WriteFileBytes(path(u"club1/TR2024-05-03 T.txt"_s), ResultsBlock(1207, "1"));
        WriteFileBytes(path(u"served/TR2025-02-01 T.txt"_s),
                       ResultsBlock(1207, "2", "2025-02-01 18:00:00") + ResultsBlock(1208, "2"));
        WriteFileBytes(path(u"club3/TR2025-06-01 T.txt"_s),
                       ResultsBlock(1207, "5", "2025-06-01 18:00:00"));
        m_server =
            std::make_unique<DemoServer>(DemoServer::Options{path(u"served"_s), u"pw"_s, {}, {}});
        QVERIFY2(m_server->started(), qPrintable(m_server->log()));
    }
    void cleanupTestCase() { m_server.reset(); }

    // Bad names are refused by both programs before anything is opened; good ones are used.
    void names_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("leading dot") << ".x" << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("65 characters") << QString(65, u'a') << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("blank") << "a b" << false;
        QTest::newRow("non-ASCII letter") << "ü" << false;
        QTest::newRow("line break") << "a\nb" << false;
        QTest::newRow("placeholder") << "%2%1" << false;
        QTest::newRow("64 characters") << QString(64, u'z') << true;
        QTest::newRow("every kind of character") << "Club-2_x.y" << true;
        QTest::newRow("dot inside and at the end") << "a.b." << true;
    }
    void names() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        const QString fault = u"\"%1\" cannot name a profile: "_s.arg(name);

        const Run listed = zvfee({u"--profile"_s, name, u"profiles"_s});
        QCOMPARE(listed.exitCode, valid ? 0 : 2);
        QVERIFY2(valid ? listed.err.isEmpty()
                       : listed.err.startsWith(u"zvfee: "_s + fault) &&
                             listed.err.endsWith(u"\nRun 'zvfee --help'.\n"_s),
                 qPrintable(listed.err));
        const Run imported = zvfee({u"--profile="_s + name, u"import"_s, path(u"club1"_s)});
        QCOMPARE(imported.exitCode, valid ? 0 : 2);
        const Run window =
            run(BuildProgram(u"zvfeestats"_s), {u"--profile"_s, name, u"--version"_s});
        QCOMPARE(window.exitCode, valid ? 0 : 2);
        QVERIFY2(valid || window.err.startsWith(u"zvfeestats: "_s + fault), qPrintable(window.err));

        // A refused name makes no file; a good one its database alone.
        const QStringList made = QDir(path(u"bin"_s)).entryList({u"ZVFee2-*"_s}, QDir::Files);
        QCOMPARE(made.contains(u"ZVFee2-%1.db3"_s.arg(name)), valid);
        for (const QString& file : made)
            QVERIFY(QFile::remove(path(u"bin/"_s) + file));
    }

    // The default database and two profiles, imported and reported side by side: each holds its
    // own tournament 1207 and uses its own server settings.
    void sideBySide() {
        const QString refused = QString::number(RefusedPort());
        writeSettings(
            {}, u"ServerIP=127.0.0.1\nFilePort=%1\nRememberPW=1\nPassword=pw\n"_s.arg(refused));
        writeSettings(u"club2"_s,
                      u"ServerIP=127.0.0.1\nFilePort=%1\nRememberPW=1\nPassword=pw\n"_s.arg(
                          m_server->port()));
        QCOMPARE(zvfee({u"import"_s, path(u"club1"_s)}).exitCode, 0);
        const Run remote =
            zvfee({u"--profile"_s, u"club2"_s, u"remote"_s, u"import"_s, u"--new"_s});
        QVERIFY2(remote.exitCode == 0, qPrintable(remote.err));
        QCOMPARE(zvfee({u"--profile=club3"_s, u"import"_s, u"--new"_s, path(u"club3"_s)}).exitCode,
                 0);
        // The default settings name no server that answers, and club3 has none of its own.
        QCOMPARE(zvfee({u"remote"_s, u"list"_s}).exitCode, 1);
        QCOMPARE(zvfee({u"--profile"_s, u"club3"_s, u"remote"_s, u"list"_s}).exitCode, 2);

        const QStringList sql{u"report"_s, u"--format=tsv"_s, u"--sql"_s,
                              u"SELECT TNumber, Date, Fee, SUM(Fees) FROM Master JOIN Detail "
                              "USING (TNumber) GROUP BY TNumber"_s};
        const QString head = u"TNumber\tDate\tFee\tSUM(Fees)\n"_s;
        QCOMPARE(zvfee(sql).out, head + u"1207\t2024-05-03\t1\t2\n"_s);
        QCOMPARE(zvfee(QStringList{u"--profile"_s, u"club2"_s} + sql).out,
                 head + u"1207\t2025-02-01\t2\t4\n1208\t2024-05-03\t2\t4\n"_s);
        QCOMPARE(zvfee(QStringList{u"--profile"_s, u"club3"_s} + sql).out,
                 head + u"1207\t2025-06-01\t5\t10\n"_s);
        // --db names the database also with a profile.
        QCOMPARE(zvfee(QStringList{u"--profile"_s, u"club3"_s} + sql +
                       QStringList{u"--db"_s, path(u"bin/ZVFee2-club2.db3"_s)})
                     .out.count(u'\n'),
                 3);
        // The chart command draws under a profile too.
        const Run chart = zvfee({u"--profile"_s, u"club3"_s, u"chart"_s, u"--report"_s, u"1"_s,
                                 u"--output"_s, path(u"club3.png"_s)});
        QVERIFY2(chart.exitCode == 0 && QFile::exists(path(u"club3.png"_s)), qPrintable(chart.err));

        // A profile known by its settings file alone has no database yet.
        writeSettings(u"new.one"_s, u"ServerIP=10.0.0.1\n"_s);
        const Run listed = zvfee({u"profiles"_s});
        QCOMPARE(listed.exitCode, 0);
        const QString bin = path(u"bin/"_s);
        QCOMPARE(listed.out, u"Profile    Tournaments  Fee database\n"
                             "(default)            1  %1ZVFee2.db3\n"
                             "club2                2  %1ZVFee2-club2.db3\n"
                             "club3                1  %1ZVFee2-club3.db3\n"
                             "new.one              -  %1ZVFee2-new.one.db3\n"_s.arg(bin));
        QCOMPARE(listed.err, QString());
        QCOMPARE(QDir(path(u"config/Kestrelle"_s)).entryList(QDir::Files),
                 (QStringList{u"ZVFeeStats-club2.ini"_s, u"ZVFeeStats-new.one.ini"_s,
                              u"ZVFeeStats.ini"_s}));
    }
};

QTEST_GUILESS_MAIN(TestZvfeeProfiles)
#include "test_zvfee_profiles.moc"
