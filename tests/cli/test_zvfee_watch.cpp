#include "feedatabase.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeZone>
#include <csignal>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

/// Generous: the machine may be busy with other builds and tests.
constexpr int kTimeoutMs = 60000;

QStringList Rows(const QString& dbPath, const QString& sql) {
    FeeDatabase db;
    db.setDatabaseName(dbPath);
    db.Open();
    Statement stmt = db.Prepare16(sql);
    QStringList rows;
    while (db.Step(stmt)) {
        QStringList values;
        for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c)
            values << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), c)));
        rows << values.join(u'|');
    }
    return rows;
}

/// A running "zvfee watch" and the lines it logged, without their time stamps.
class Watcher {
public:
    Watcher(const QString& folder, const QString& db, const QString& settle,
            const QStringList& more = {}) {
        m_process.start(QStringLiteral(ZV_BUILD_DIR "/zvfee"),
                        QStringList{u"watch"_s, folder, u"--db"_s, db, u"--settle"_s, settle} +
                            more);
    }
    ~Watcher() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    qint64 pid() const { return m_process.processId(); }
    QProcess& process() { return m_process; }

    /// Waits for the next line that holds text; the lines before it are passed over. Empty
    /// text when none comes in time.
    QString next(const QString& text) {
        const QDeadlineTimer deadline(kTimeoutMs);
        for (;;) {
            while (m_process.canReadLine()) {
                // "yyyy-MM-dd hh:mm:ss " in front
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed().mid(20);
                m_seen << line;
                if (line.contains(text))
                    return line;
            }
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
                qWarning("no line with \"%s\"; the watcher logged: %s", qPrintable(text),
                         qPrintable(m_seen.join(u" / "_s) +
                                    QString::fromUtf8(m_process.readAllStandardError())));
                return {};
            }
            m_process.waitForReadyRead(100);
        }
    }
    /// Reads the lines left once the watcher has ended.
    void drain() {
        while (m_process.canReadLine())
            m_seen << QString::fromUtf8(m_process.readLine()).trimmed().mid(20);
    }
    const QStringList& seen() const { return m_seen; }

private:
    QProcess m_process;
    QStringList m_seen;
};

QString BatchFile(const QString& folder, int n) {
    return folder + u"/TR2024-05-%1 T.txt"_s.arg(n, 4, 10, QChar(u'0'));
}

} // namespace

class TestZvfeeWatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // One watcher through its whole life: a file written in two halves, a rewritten file, a
    // database locked by another process, and SIGTERM during a run.
    void watch() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"results"_s);
        const QString db = dir.filePath(u"fees.db3"_s);
        QVERIFY(QDir().mkpath(folder));
        // Settle time: well above the second between the halves, so a busy machine that wakes
        // this test late still writes the second half in time.
        Watcher watcher(folder, db, u"2"_s, {u"--wait"_s, u"0.5"_s});
        QVERIFY(!watcher.next(u"watching "_s).isEmpty());

        // Written in two halves a second apart: imported once, whole.
        const QString a = folder + u"/TR2024-05-03 A.txt"_s;
        const QByteArray full = ResultsBlock(1) + ResultsBlock(2);
        const qsizetype cut = full.indexOf("Place1", full.indexOf("Number=2"));
        WriteFileBytes(a, full.left(cut));
        QTest::qWait(1000);
        {
            QFile file(a);
            QVERIFY(file.open(QIODevice::Append));
            file.write(full.mid(cut));
        }
        QCOMPARE(watcher.next(u"imported"_s),
                 u"imported 1 file, 2 tournaments: TR2024-05-03 A.txt"_s);
        QCOMPARE(
            Rows(db, u"SELECT TNumber, Player, Fees FROM Detail ORDER BY 1, 2"_s),
            (QStringList{u"1|alpha|1.0"_s, u"1|bravo|1.0"_s, u"2|alpha|1.0"_s, u"2|bravo|1.0"_s}));

        // Rewritten: imported again, its tournament replaced whole (bravo is gone), and the
        // tournament it no longer holds deleted.
        WriteFileBytes(a, ResultsBlock(1, "5").replace("Place2=bravo\r\n", ""));
        QCOMPARE(watcher.next(u"imported"_s),
                 u"imported 1 file, 1 tournament: TR2024-05-03 A.txt"_s);
        QCOMPARE(Rows(db, u"SELECT TNumber, Player, Fees FROM Detail ORDER BY 1, 2"_s),
                 QStringList{u"1|alpha|5.0"_s});

        // Another process holds the database longer than the watcher waits: the run is rolled
        // back and tried again after the lock goes.
        {
            FeeDatabase other;
            other.setDatabaseName(db);
            other.Open();
            other.Execute(u"BEGIN EXCLUSIVE"_s);
            WriteFileBytes(folder + u"/TR2024-05-04 B.txt"_s, ResultsBlock(3));
            QCOMPARE(watcher.next(u"Waiting for"_s),
                     u"Waiting for \"%1\": another program is using it"_s.arg(db));
            QCOMPARE(watcher.next(u"imported"_s),
                     u"not imported 1 file: database is locked: another program is using \"%1\"; "
                     "trying again in 2 s"_s.arg(db));
            other.Execute(u"COMMIT"_s);
        }
        QCOMPARE(watcher.next(u"imported"_s),
                 u"imported 1 file, 1 tournament: TR2024-05-04 B.txt"_s);
        QCOMPARE(Rows(db, u"SELECT TNumber FROM Master ORDER BY 1"_s),
                 (QStringList{u"1"_s, u"3"_s}));

        // SIGTERM while a run writes (its journal exists): the database stays intact and holds
        // every run that was logged as imported, whole, and nothing of the others.
        const int files = 100;
        const int perFile = 100;
        for (int n = 0; n < files; ++n) {
            QByteArray text;
            for (int t = 0; t < perFile; ++t)
                text += ResultsBlock(1000 + n * perFile + t);
            WriteFileBytes(BatchFile(folder, n), text);
        }
        const QString journal = db + u"-journal"_s;
        const QDeadlineTimer deadline(kTimeoutMs);
        while (!QFile::exists(journal) && !deadline.hasExpired())
            QThread::usleep(500);
        QVERIFY2(QFile::exists(journal), "no run began");
        QVERIFY(::kill(pid_t(watcher.pid()), SIGTERM) == 0);
        QVERIFY(watcher.process().waitForFinished(kTimeoutMs));
        QCOMPARE(watcher.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(watcher.process().exitCode(), 0);
        watcher.drain();
        QVERIFY2(watcher.seen().last().startsWith(u"stopped"_s), qPrintable(watcher.seen().last()));

        QCOMPARE(Rows(db, u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
        int logged = 0;
        for (const QString& line : watcher.seen())
            if (line.startsWith(u"imported"_s) && line.contains(u"T.txt"_s))
                logged += line.section(u' ', 3, 3).toInt();
        QCOMPARE(Rows(db, u"SELECT count(*) FROM Master WHERE TNumber >= 1000"_s),
                 QStringList{QString::number(logged)});
        QCOMPARE(Rows(db, u"SELECT count(*) FROM Detail WHERE TNumber >= 1000"_s),
                 QStringList{QString::number(2 * logged)});
    }

    /// A file dated past the years that nanoseconds since 1970 reach in 64 bits: its stamp is
    /// held at the largest number instead of wrapping to a negative one.
    void aFileDated2300_data() {
        QTest::addColumn<bool>("watched");
        QTest::newRow("imported") << false;
        QTest::newRow("watched") << true;
    }
    void aFileDated2300() {
        QFETCH(bool, watched);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"results"_s);
        const QString db = dir.filePath(u"fees.db3"_s);
        const QString a = folder + u"/TR2024-05-03 A.txt"_s;
        WriteFileBytes(a, ResultsBlock(1));
        const qint64 seconds =
            QDateTime(QDate(2300, 1, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
        const struct timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
        QVERIFY(::utimensat(AT_FDCWD, a.toLocal8Bit().constData(), times, 0) == 0);
        if (watched) {
            Watcher watcher(folder, db, u"0.1"_s);
            QCOMPARE(watcher.next(u"imported"_s),
                     u"imported 1 file, 1 tournament: TR2024-05-03 A.txt"_s);
        } else {
            QProcess import;
            import.start(QStringLiteral(ZV_BUILD_DIR "/zvfee"), {u"import"_s, u"--db"_s, db, a});
            QVERIFY(import.waitForFinished(kTimeoutMs));
            QCOMPARE(import.exitCode(), 0);
        }
        QCOMPARE(
            Rows(db, u"SELECT ModifiedNs = 9223372036854775807, Modified FROM ImportedFiles"_s),
            QStringList{u"1|2300-01-01T00:00:00.000+00:00"_s});
    }

    // The folder deleted and made again is followed; deleted for good, the watcher exits 1.
    void folderDeletedAndRecreated() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"results"_s);
        const QString db = dir.filePath(u"fees.db3"_s);
        QVERIFY(QDir().mkpath(folder));
        Watcher watcher(folder, db, u"0.1"_s);
        QVERIFY(!watcher.next(u"watching "_s).isEmpty());
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!watcher.next(u"following the folder again"_s).isEmpty());
        WriteFileBytes(folder + u"/TR2024-05-03 A.txt"_s, ResultsBlock(1));
        QCOMPARE(watcher.next(u"imported"_s),
                 u"imported 1 file, 1 tournament: TR2024-05-03 A.txt"_s);

        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(watcher.process().waitForFinished(kTimeoutMs));
        QCOMPARE(watcher.process().exitCode(), 1);
        watcher.drain();
        QVERIFY2(watcher.seen().last().startsWith(u"the folder is gone: "_s),
                 qPrintable(watcher.seen().join(u" / "_s)));
    }

    // The settle time runs from the file's last write, also when the first write made the
    // watcher look at the folder before the second came.
    void settleRunsFromTheLastWrite() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"results"_s);
        const QString db = dir.filePath(u"fees.db3"_s);
        QVERIFY(QDir().mkpath(folder));
        Watcher watcher(folder, db, u"1"_s);
        QVERIFY(!watcher.next(u"watching "_s).isEmpty());
        const QString a = folder + u"/TR2024-05-03 A.txt"_s;
        WriteFileBytes(a, ResultsBlock(1));
        QTest::qWait(300);
        QFile file(a);
        QVERIFY(file.open(QIODevice::Append));
        file.write(ResultsBlock(2));
        file.close();
        QElapsedTimer sinceLastWrite;
        sinceLastWrite.start();
        QCOMPARE(watcher.next(u"imported"_s),
                 u"imported 1 file, 2 tournaments: TR2024-05-03 A.txt"_s);
        QVERIFY2(sinceLastWrite.elapsed() >= 950,
                 qPrintable(QString::number(sinceLastWrite.elapsed())));
    }

    // SIGTERM while the run's only, and so last, file is imported: the run is rolled back.
    void stopDuringTheLastFile() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"results"_s);
        const QString db = dir.filePath(u"fees.db3"_s);
        QVERIFY(QDir().mkpath(folder));
        Watcher watcher(folder, db, u"0.1"_s);
        QVERIFY(!watcher.next(u"watching "_s).isEmpty());
        QByteArray text;
        for (int t = 1; t <= 20000; ++t)
            text += ResultsBlock(t);
        WriteFileBytes(BatchFile(folder, 1), text);
        const QString journal = db + u"-journal"_s;
        const QDeadlineTimer deadline(kTimeoutMs);
        while (!QFile::exists(journal) && !deadline.hasExpired())
            QThread::usleep(200);
        QVERIFY2(QFile::exists(journal), "no run began");
        QVERIFY(::kill(pid_t(watcher.pid()), SIGTERM) == 0);
        QVERIFY(watcher.process().waitForFinished(kTimeoutMs));
        QCOMPARE(watcher.process().exitCode(), 0);
        watcher.drain();
        QCOMPARE(watcher.seen().last(), u"stopped; the run of 1 file was rolled back"_s);
        QCOMPARE(Rows(db, u"SELECT count(*) FROM Master"_s), QStringList{u"0"_s});
    }
};

QTEST_GUILESS_MAIN(TestZvfeeWatch)
#include "test_zvfee_watch.moc"
