#include "backup.h"
#include "feedatabase.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
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

private Q_SLOTS:
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
