#include "backup.h"
#include "feedatabase.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <csignal>
#include <sqlite3.h>
#include <thread>

namespace {

const QString kZvfee = QStringLiteral(ZV_BUILD_DIR "/zvfee");

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunZvfee(const QStringList& args) {
    QProcess process;
    process.start(kZvfee, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

int CountOf(const QString& path, const char* sql) {
    FeeDatabase db;
    db.setDatabaseName(path);
    db.OpenReadOnly();
    Statement st = db.Prepare16(QString::fromLatin1(sql));
    db.Step(st);
    return sqlite3_column_int(st.get(), 0);
}

QString TextOf(const QString& path, const char* sql) {
    FeeDatabase db;
    db.setDatabaseName(path);
    db.OpenReadOnly();
    Statement st = db.Prepare16(QString::fromLatin1(sql));
    db.Step(st);
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
}

/// The part files in folder.
QStringList PartsIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.part*")}, QDir::Files | QDir::Hidden);
}

/// Waits until a part file is in folder or the process has ended.
void WaitForPart(const QString& folder, QProcess& process) {
    const QDeadlineTimer deadline(60000);
    while (PartsIn(folder).isEmpty() && process.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        QThread::usleep(300);
}

} // namespace

class TestZvfeeBackup : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString file(const QString& name) const { return m_dir->filePath(name); }

    /// A fee database with the tournaments numbered 1 to count.
    QString makeDatabase(const QString& name, int count) {
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, file(name));
        for (int n = 1; n <= count; ++n)
            db.Execute(QStringLiteral("INSERT INTO Master (TNumber) VALUES (%1);").arg(n));
        return file(name);
    }

    QTemporaryDir m_templates;
    QString m_large; // a fee database of 36 MB

private Q_SLOTS:
    void initTestCase() {
        m_large = m_templates.filePath(QStringLiteral("large.db3"));
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, m_large);
        db.Execute(QStringLiteral(
            "INSERT INTO Master (TNumber, TName) VALUES (1, 'Big');"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 330000)"
            " INSERT INTO Detail SELECT 1, printf('%040d', i), i FROM n;"));
        db.Close();
        QVERIFY2(QFileInfo(m_large).size() >= 36'000'000,
                 qPrintable(QString::number(QFileInfo(m_large).size())));
    }

    void init() {
        QVERIFY2(QFile::exists(kZvfee), "zvfee is not built");
        m_dir = std::make_unique<QTemporaryDir>();
    }

    /// Another connection writes tournaments with their two players, each in one transaction,
    /// while the copies are made: every copy is whole and holds whole tournaments only.
    void backupWhileAnotherConnectionWrites() {
        const QString db = makeDatabase(QStringLiteral("ZVFee2.db3"), 0);
        std::atomic<bool> stop{false};
        std::atomic<int> written{0};
        std::thread writer([&] {
            sqlite3* c = nullptr;
            sqlite3_open(db.toUtf8().constData(), &c);
            sqlite3_busy_timeout(c, 10000);
            for (int n = 1; !stop; ++n) {
                const QByteArray sql =
                    QStringLiteral("BEGIN IMMEDIATE; INSERT INTO Master (TNumber) VALUES (%1);"
                                   " INSERT INTO Detail VALUES (%1, 'alpha', 1), (%1, 'bravo', 2);"
                                   " COMMIT;")
                        .arg(n)
                        .toUtf8();
                if (sqlite3_exec(c, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                    written = n;
                else
                    sqlite3_exec(c, "ROLLBACK", nullptr, nullptr, nullptr);
            }
            sqlite3_close(c);
        });
        while (written < 50)
            QThread::msleep(5);
        QList<int> copied;
        for (int i = 0; i < 3; ++i) {
            const QString dest = file(QStringLiteral("copy%1.db3").arg(i));
            const Run run = RunZvfee({"backup", "--db", db, dest});
            QCOMPARE(run.exitCode, 0);
            RequireFeeDatabaseFile(dest); // passes SQLite's quick check
            const int master = CountOf(dest, "SELECT count(*) FROM Master");
            QCOMPARE(CountOf(dest, "SELECT count(*) FROM Detail"), 2 * master);
            QCOMPARE(CountOf(dest, "SELECT max(TNumber) FROM Master"), master);
            copied << master;
        }
        const int before = written;
        QThread::msleep(50);
        stop = true;
        writer.join();
        QVERIFY2(written > before, "the writer stopped during the copies");
        QVERIFY2(copied.first() >= 50 && copied.last() > copied.first(),
                 qPrintable(QString::number(copied.last())));
    }

    /// An import while a backup copies a large database: the backup lets the import in between
    /// its steps, and both succeed with a whole copy.
    void importDuringTheBackupOfALargeDatabase() {
        const QString db = file(QStringLiteral("ZVFee2.db3"));
        QVERIFY(QFile::copy(m_large, db));
        const QString results = file(QStringLiteral("TR2024-05-03 T.txt"));
        WriteFileBytes(results, ResultsBlock(7));
        const QString dest = file(QStringLiteral("copy.db3"));
        QProcess backup;
        backup.start(kZvfee, {"backup", "--db", db, dest});
        WaitForPart(m_dir->path(), backup);
        const Run import = RunZvfee({"import", "--db", db, results});
        QVERIFY(backup.waitForFinished(60000));
        QCOMPARE(import.exitCode, 0);
        QCOMPARE(backup.exitCode(), 0);
        QCOMPARE(TextOf(dest, "PRAGMA integrity_check"), QStringLiteral("ok"));
        QCOMPARE(CountOf(dest, "SELECT count(*) FROM Detail WHERE TNumber = 1"), 330000);
        QCOMPARE(CountOf(dest, "SELECT count(*) FROM Detail WHERE TNumber = 7"),
                 2 * CountOf(dest, "SELECT count(*) FROM Master WHERE TNumber = 7"));
        QCOMPARE(CountOf(db, "SELECT count(*) FROM Master WHERE TNumber = 7"), 1);
    }

    /// Another program holds the database locked: a command that writes says once that it
    /// waits and goes on when the lock goes; without a wait it fails, naming the database.
    void waitsForALockThatAnotherProgramHolds_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("wait");
        QTest::newRow("import") << "import"
                                << "30";
        QTest::newRow("import without waiting") << "import"
                                                << "0";
        QTest::newRow("backup") << "backup"
                                << "30";
        QTest::newRow("backup without waiting") << "backup"
                                                << "0";
        QTest::newRow("restore") << "restore"
                                 << "30";
    }
    void waitsForALockThatAnotherProgramHolds() {
        QFETCH(QString, command);
        QFETCH(QString, wait);
        const QString db = makeDatabase(QStringLiteral("ZVFee2.db3"), 2);
        QStringList args = {command, "--db", db, "--wait", wait};
        if (command == u"import") {
            args << file(QStringLiteral("TR2024-05-03 T.txt"));
            WriteFileBytes(args.last(), ResultsBlock(7));
        } else if (command == u"backup") {
            args << file(QStringLiteral("copy.db3"));
        } else {
            args << makeDatabase(QStringLiteral("saved.db3"), 5);
        }
        FeeDatabase other;
        other.setDatabaseName(db);
        other.Open();
        other.Execute(QStringLiteral("BEGIN EXCLUSIVE"));

        QProcess process;
        process.start(kZvfee, args);
        const QString waiting =
            QStringLiteral("Waiting for \"%1\": another program is using it\n").arg(db);
        QString err;
        const QDeadlineTimer deadline(60000);
        while (wait != u"0" && !err.contains(waiting) && !deadline.hasExpired() &&
               process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(100);
            err += QString::fromUtf8(process.readAllStandardError());
        }
        if (wait == u"0")
            QVERIFY(process.waitForFinished(60000));
        other.Execute(QStringLiteral("COMMIT"));
        QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(60000));
        err += QString::fromUtf8(process.readAllStandardError());
        if (wait == u"0") {
            QCOMPARE(process.exitCode(), 1);
            QVERIFY2(err.contains(u'"' + db + u'"') && !err.contains(waiting), qPrintable(err));
        } else {
            QCOMPARE(process.exitCode(), 0);
            QCOMPARE(err.count(waiting), 1);
        }
    }

    /// A backup or restore killed at some point of its copy leaves no part file once the next
    /// one has run; SIGTERM leaves none at all. The database stays whole.
    void killedCopiesLeaveNoPartFile_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("seed");
        for (const char* command : {"backup", "restore"})
            for (const int signal : {SIGTERM, SIGKILL})
                for (const int seed : {1, 2})
                    QTest::addRow("%s, signal %d, seed %d", command, signal, seed)
                        << command << signal << seed;
    }
    void killedCopiesLeaveNoPartFile() {
        QFETCH(QString, command);
        QFETCH(int, signal);
        QFETCH(int, seed);
        const QString db = file(QStringLiteral("ZVFee2.db3"));
        const QString saved = file(QStringLiteral("saved.db3"));
        QVERIFY(QFile::copy(m_large, saved));
        makeDatabase(QStringLiteral("ZVFee2.db3"), 3);
        const QStringList args = command == u"backup"
                                     ? QStringList{"backup", "--db", saved, file("copy.db3")}
                                     : QStringList{"restore", saved, "--db", db};
        QProcess process;
        process.start(kZvfee, args);
        WaitForPart(m_dir->path(), process);
        QThread::msleep(QRandomGenerator(quint32(seed)).bounded(300));
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(60000));
        if (signal == SIGTERM)
            QVERIFY2(PartsIn(m_dir->path()).isEmpty(),
                     qPrintable(PartsIn(m_dir->path()).join(u' ')));

        const Run next = RunZvfee(args);
        QCOMPARE(next.exitCode, 0);
        QVERIFY2(PartsIn(m_dir->path()).isEmpty(), qPrintable(PartsIn(m_dir->path()).join(u' ')));
        const QString copy = command == u"backup" ? file("copy.db3") : db;
        QCOMPARE(TextOf(copy, "PRAGMA integrity_check"), QStringLiteral("ok"));
        QCOMPARE(CountOf(copy, "SELECT count(*) FROM Detail"), 330000);
    }

    void restoreRefusesWhatIsNotAFeeDatabase_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // written unless the name is "missing"
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing" << QByteArray() << "no such file";
        QTest::newRow("a text file")
            << "notes.txt" << QByteArray("Tournament=1\n") << "file is not a database";
        QTest::newRow("an empty file") << "empty.bak" << QByteArray() << "no table Master";
        QTest::newRow("a folder") << "folder" << QByteArray() << "not a regular file";
        QTest::newRow("another program's database")
            << "other.db3" << QByteArray("sql") << "no table Master; no table Detail";
    }
    void restoreRefusesWhatIsNotAFeeDatabase() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString db = makeDatabase(QStringLiteral("ZVFee2.db3"), 2);
        const QString backup = file(name);
        if (name == u"folder") {
            QDir(m_dir->path()).mkdir(name);
        } else if (bytes == "sql") {
            FeeDatabase other;
            other.setDatabaseName(backup);
            other.CreateDatabase();
            other.Execute(QStringLiteral("CREATE TABLE Notes (Text TEXT)"));
        } else if (name != u"missing") {
            WriteFileBytes(backup, bytes);
        }
        const Run run = RunZvfee({"restore", backup, "--db", db});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("Not a fee database \"%1\": ").arg(backup)),
                 qPrintable(run.err));
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QCOMPARE(CountOf(db, "SELECT count(*) FROM Master"), 2);
        QCOMPARE(BackupsBeside(db), QStringList());
    }

    void restorePutsTheBackupBackAndKeepsTheDatabase() {
        const QString db = makeDatabase(QStringLiteral("ZVFee2.db3"), 3);
        const QString backup = makeDatabase(QStringLiteral("saved.db3"), 1);
        const Run run = RunZvfee({"restore", backup, "--db", db});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(CountOf(db, "SELECT count(*) FROM Master"), 1);
        const QStringList kept = BackupsBeside(db);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(CountOf(kept.first(), "SELECT count(*) FROM Master"), 3);
        QVERIFY2(run.out.contains(kept.first()), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(TestZvfeeBackup)
#include "test_zvfee_backup.moc"
