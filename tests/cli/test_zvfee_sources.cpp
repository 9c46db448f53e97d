// Two sources that share a tournament number, through every command that imports: the second
// file is taken when its tournament is the one held (a copy, a rewrite of the same file, a
// number repeated inside one file) and refused, leaving the database as it was, when it is
// another tournament under the same number.

#include "sourcepairs.h"
#include "testservers.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct Outcome {
    bool ran = false;
    bool refused = false;
    QString text; // what the command said (standard error, or the watcher's log line)
};

/// Runs zvfee to its end: refused when it exits 1.
Outcome RunZvfee(const QStringList& args) {
    QProcess process;
    process.start(BuildProgram(u"zvfee"_s), args);
    if (!process.waitForFinished(60000) || process.exitCode() > 1)
        return {false, false, QString::fromUtf8(process.readAllStandardError())};
    return {true, process.exitCode() == 1, QString::fromUtf8(process.readAllStandardError())};
}

/// Runs "zvfee watch" on the folder until it logs its first run: refused when that run left a
/// file out.
Outcome Watch(const QString& folder, const QString& db) {
    QProcess process;
    process.start(BuildProgram(u"zvfee"_s),
                  {u"watch"_s, folder, u"--db"_s, db, u"--settle"_s, u"0.1"_s});
    Outcome outcome;
    const QDeadlineTimer deadline(60000);
    while (!outcome.ran && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed().mid(20);
            if (line.startsWith(u"imported"_s) || line.startsWith(u"not imported"_s)) {
                outcome = {true, line.startsWith(u"not"_s), line};
                break;
            }
        }
    }
    process.terminate();
    process.waitForFinished(30000);
    return outcome;
}

} // namespace

class TestZvfeeSources : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<DemoServer> m_servers[2]; // serving the folders A and B

    QString folder(char source) const { return m_dir.filePath(QString(QChar(source))); }

    Outcome import(const QString& road, char source, const QString& db) {
        if (road == u"watch")
            return Watch(folder(source), db);
        if (road == u"remote import")
            return RunZvfee({u"remote"_s, u"import"_s, u"--all"_s, u"--host"_s, u"127.0.0.1"_s,
                             u"--port"_s, QString::number(m_servers[source - 'A']->port()),
                             u"--path"_s, u"api"_s, u"--password-file"_s,
                             m_dir.filePath(u"pw.txt"_s), u"--db"_s, db});
        QStringList args{u"import"_s, u"--db"_s, db, folder(source)};
        if (road == u"import --new")
            args.insert(1, u"--new"_s);
        return RunZvfee(args);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(QFile::exists(BuildProgram(u"zvfee"_s)), "zvfee is not built");
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toUtf8()); // no saved settings
        WriteFileBytes(m_dir.filePath(u"pw.txt"_s), "pw\n");
        for (const char source : {'A', 'B'}) {
            QVERIFY(QDir().mkpath(folder(source)));
            auto& server = m_servers[source - 'A'];
            server =
                std::make_unique<DemoServer>(DemoServer::Options{folder(source), u"pw"_s, {}, {}});
            QVERIFY2(server->started(), qPrintable(server->log()));
        }
    }
    void cleanupTestCase() {
        for (auto& server : m_servers)
            server.reset();
    }

    void pairs_data() {
        QTest::addColumn<QString>("road");
        QTest::addColumn<int>("pair");
        const QList<SourcePair> pairs = SourcePairs();
        for (const char* road : {"import", "import --new", "watch", "remote import"})
            for (int i = 0; i < pairs.size(); ++i)
                QTest::addRow("%s: %s", road, pairs[i].row) << QString::fromLatin1(road) << i;
    }
    void pairs() {
        QFETCH(QString, road);
        QFETCH(int, pair);
        const SourcePair p = SourcePairs()[pair];
        for (const char source : {'A', 'B'})
            for (const QString& name : QDir(folder(source)).entryList(QDir::Files))
                QVERIFY(QFile::remove(folder(source) + u'/' + name));
        const QString db = m_dir.filePath(u"fees.db3"_s);
        QFile::remove(db);

        WriteFileBytes(folder(p.first.source) + u'/' + p.first.name, p.first.text);
        const Outcome first = import(road, p.first.source, db);
        QVERIFY2(first.ran && !first.refused, qPrintable(first.text));
        const QStringList before = DatabaseRows(db);

        WriteFileBytes(folder(p.second.source) + u'/' + p.second.name, p.second.text);
        const Outcome second = import(road, p.second.source, db);
        QVERIFY2(second.ran, qPrintable(second.text));
        QVERIFY2(second.refused == p.refused, qPrintable(second.text));
        QCOMPARE(second.text.contains(QLatin1StringView(kCollisionText)), p.refused);
        if (p.refused)
            QCOMPARE(DatabaseRows(db), before);
        QCOMPARE(MasterIdentities(db), p.master);
    }
};

QTEST_GUILESS_MAIN(TestZvfeeSources)
#include "test_zvfee_sources.moc"
