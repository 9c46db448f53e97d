#include "backup.h"
#include "feedatabase.h"
#include "feeviews.h"
#include "partfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {
int countOf(FeeDatabase& db, const QString& table) {
    Statement st = db.Prepare16(QStringLiteral("SELECT count(*) FROM ") + table);
    db.Step(st);
    return sqlite3_column_int(st.get(), 0);
}

int countIn(const QString& path, const QString& table) {
    FeeDatabase db;
    db.setDatabaseName(path);
    db.OpenReadOnly();
    return countOf(db, table);
}

/// A fee database at path with three tournaments and players players of 40-character names.
void MakeFilled(FeeDatabase& db, const QString& path, int players = 3) {
    OpenOrCreateFeeDatabase(db, path);
    db.Execute(QStringLiteral("INSERT INTO Master (TNumber, TName) VALUES (1, 'A'), (2, 'B'),"
                              " (3, 'C');"
                              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n"
                              " WHERE i < %1) INSERT INTO Detail SELECT 1 + i % 3,"
                              " printf('%040d', i), i FROM n;")
                   .arg(players));
}
/// One value of a PRAGMA of the database at path, on a connection of its own.
QString PragmaOf(const QString& path, const QString& pragma) {
    FeeDatabase db;
    db.setDatabaseName(path);
    db.Open();
    Statement st = db.Prepare16(QStringLiteral("PRAGMA ") + pragma);
    db.Step(st);
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
}

/// A fee database at path made with the given journal mode and page size, holding tournaments
/// numbered 1 to tournaments, each with players players.
void MakeWithMakeup(const QString& path, const QString& journal, int pageSize, int tournaments) {
    FeeDatabase db;
    db.setDatabaseName(path);
    db.CreateDatabase();
    db.Execute(QStringLiteral("PRAGMA page_size=%1").arg(pageSize));
    db.Execute(QStringLiteral("PRAGMA journal_mode=%1").arg(journal));
    db.Execute(QString::fromLatin1(kCreateMasterSql));
    db.Execute(QString::fromLatin1(kCreateDetailSql));
    db.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n"
                              " WHERE i < %1) INSERT INTO Master (TNumber, TName) SELECT i,"
                              " 'T' || i FROM n;"
                              "INSERT INTO Detail SELECT TNumber, printf('p%03d', j), j FROM"
                              " Master, (WITH RECURSIVE m(j) AS (SELECT 1 UNION ALL SELECT j + 1"
                              " FROM m WHERE j < 20) SELECT j FROM m);")
                   .arg(tournaments));
}
} // namespace

class TestBackup : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mounted;

    QString path(const QString& name) const { return m_dir->filePath(name); }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() {
        if (!m_mounted.isEmpty())
            umount2(m_mounted.toLocal8Bit().constData(), MNT_DETACH);
        m_mounted.clear();
    }

    void emptyingKeepsTheLastFiveBackups_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("kept");
        QTest::newRow("first") << QStringList{} << 1;
        QTest::newRow("four older") << QStringList{"20240101-000001", "20240101-000002",
                                                   "20240101-000003", "20240101-000004"}
                                    << 5;
        QTest::newRow("five older, the oldest goes")
            << QStringList{"20240101-000001", "20230101-000000", "20240101-000003",
                           "20240101-000004", "20240101-000005"}
            << 5;
    }
    void emptyingKeepsTheLastFiveBackups() {
        QFETCH(QStringList, before);
        QFETCH(int, kept);
        FeeDatabase db;
        MakeFilled(db, path(QStringLiteral("ZVFee2.db3")));
        for (const QString& stamp : before)
            WriteFileBytes(path(QStringLiteral("ZVFee2-%1.db3.bak").arg(stamp)), "old");
        WriteFileBytes(path(QStringLiteral("ZVFee2-2024.db3.bak")), "not one of them");
        RecordingMessages messages;
        bool closed = false;
        QVERIFY(EmptyFeeDatabase(db, messages, [&] { closed = true; }));
        QVERIFY(closed);
        QCOMPARE(messages.lines, QStringList{QString::fromUtf16(kEmptyBackupLine)});
        QCOMPARE(countOf(db, QStringLiteral("Master")), 0);

        const QStringList backups = BackupsBeside(db.databaseName());
        QCOMPARE(backups.size(), kept);
        QVERIFY(!backups.contains(path(QStringLiteral("ZVFee2-20230101-000000.db3.bak"))));
        QCOMPARE(countIn(backups.last(), QStringLiteral("Master")), 3); // the newest: the rows
        QCOMPARE(countIn(backups.last(), QStringLiteral("Detail")), 3);
        QVERIFY(QFile::exists(path(QStringLiteral("ZVFee2-2024.db3.bak"))));
    }

    /// The database keeps its own journal mode and page size, whatever the backup's: a copy in
    /// WAL mode must not turn it to WAL, and one with other pages must go into a WAL database.
    void restoreKeepsTheDatabasesOwnMakeup_data() {
        QTest::addColumn<QString>("liveJournal");
        QTest::addColumn<int>("livePages");
        QTest::addColumn<QString>("copyJournal");
        QTest::addColumn<int>("copyPages");
        QTest::newRow("WAL copy") << "delete" << 4096 << "wal" << 4096;
        QTest::newRow("copy with larger pages") << "delete" << 4096 << "delete" << 16384;
        QTest::newRow("copy with smaller pages") << "delete" << 8192 << "delete" << 1024;
        QTest::newRow("WAL database, copy with other pages") << "wal" << 4096 << "delete" << 8192;
        QTest::newRow("WAL database, WAL copy with other pages") << "wal" << 1024 << "wal" << 65536;
    }
    void restoreKeepsTheDatabasesOwnMakeup() {
        QFETCH(QString, liveJournal);
        QFETCH(int, livePages);
        QFETCH(QString, copyJournal);
        QFETCH(int, copyPages);
        const QString live = path(QStringLiteral("ZVFee2.db3"));
        const QString copy = path(QStringLiteral("saved.db3"));
        MakeWithMakeup(live, liveJournal, livePages, 3);
        MakeWithMakeup(copy, copyJournal, copyPages, 500);

        RestoreDatabase(copy, live);
        QCOMPARE(PragmaOf(live, QStringLiteral("journal_mode")), liveJournal);
        QCOMPARE(PragmaOf(live, QStringLiteral("page_size")), QString::number(livePages));
        QCOMPARE(PragmaOf(live, QStringLiteral("integrity_check")), QStringLiteral("ok"));
        QCOMPARE(countIn(live, QStringLiteral("Master")), 500);
        QCOMPARE(countIn(live, QStringLiteral("Detail")), 500 * 20);
        QCOMPARE(QFileInfo::exists(live + QStringLiteral("-wal")), liveJournal == u"wal");
        // Restored once more: the restored database takes a copy as well.
        RestoreDatabase(copy, live);
        QCOMPARE(PragmaOf(live, QStringLiteral("page_size")), QString::number(livePages));
        QCOMPARE(countIn(BackupsBeside(live).last(), QStringLiteral("Master")), 500);
        const QStringList left =
            QDir(m_dir->path()).entryList({QStringLiteral("*.part*")}, QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }

    /// A backup, a restore and emptying each remove the part files that a killed copy left, and
    /// only those: not the part of a copy still running, nor files of other names.
    void staleParts_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("backup") << "backup";
        QTest::newRow("restore") << "restore";
        QTest::newRow("empty") << "empty";
    }
    void staleParts() {
        QFETCH(QString, operation);
        const QStringList stale = {"ZVFee2.db3.aB3dE9.part", "ZVFee2.db3.aB3dE9.part-journal",
                                   "ZVFee2.db3.q1w2e3.part-journal",
                                   "ZVFee2-20240101-120000.db3.bak.Zz09aQ.part",
                                   "copy.db3.x1Y2z3.part"};
        const QStringList others = {"ZVFee2.db3.part",
                                    "ZVFee2.db3.aB3dE.part",
                                    "other.db3.aB3dE9.part",
                                    "ZVFee2-2024.db3.bak.aB3dE9.part",
                                    "notes.part",
                                    "copy.db3.x1Y2z3.part.txt"};
        for (const QString& name : stale + others)
            WriteFileBytes(path(name), "left over");
        const QString dest = path(QStringLiteral("copy.db3"));
        const PartFile running(dest); // a copy in progress: its part and journal stay
        WriteFileBytes(running.path() + QStringLiteral("-journal"), "journal");
        const QString saved = path(QStringLiteral("saved.db3"));
        {
            FeeDatabase from;
            MakeFilled(from, saved);
        }

        FeeDatabase db;
        MakeFilled(db, path(QStringLiteral("ZVFee2.db3")));
        RecordingMessages messages;
        if (operation == u"backup") {
            CopyDatabaseTo(db, dest);
        } else if (operation == u"restore") {
            db.Close();
            RestoreDatabase(saved, path(QStringLiteral("ZVFee2.db3")));
        } else {
            QVERIFY(EmptyFeeDatabase(db, messages, [] {}));
        }
        for (const QString& name : stale)
            QVERIFY2(!QFile::exists(path(name)) ||
                         (operation != u"backup" && name.startsWith(u"copy")),
                     qPrintable(name));
        for (const QString& name : others)
            QVERIFY2(QFile::exists(path(name)), qPrintable(name));
        QVERIFY(QFile::exists(running.path()));
        QVERIFY(QFile::exists(running.path() + QStringLiteral("-journal")));
    }

    void aTakenNameMovesOnBySecond() {
        FeeDatabase db;
        MakeFilled(db, path(QStringLiteral("fees.sqlite")));
        const QDateTime at(QDate(2026, 12, 9), QTime(17, 59, 59));
        QCOMPARE(BackUpBeside(db, at), path(QStringLiteral("fees-20261209-175959.sqlite.bak")));
        QCOMPARE(BackUpBeside(db, at), path(QStringLiteral("fees-20261209-180000.sqlite.bak")));
    }

    /// The database lies on a file system with room for itself but not for a copy: a small
    /// tmpfs where this test may mount one (as root), else a file size limit (RLIMIT_FSIZE) of
    /// half the database while it empties.
    void emptyingStopsWhenTheBackupCannotBeWritten() {
        const QString source = path(QStringLiteral("source.db3"));
        {
            FeeDatabase db;
            MakeFilled(db, source, 2000);
        }
        const qint64 size = QFileInfo(source).size();
        QDir(m_dir->path()).mkdir(QStringLiteral("small"));
        const QString small = path(QStringLiteral("small"));
        const QByteArray options = "size=" + QByteArray::number((size / 4096 + 4) * 4096);
        if (mount("tmpfs", small.toLocal8Bit().constData(), "tmpfs", 0, options.constData()) == 0)
            m_mounted = small;
        QVERIFY(QFile::copy(source, small + QStringLiteral("/ZVFee2.db3")));

        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, small + QStringLiteral("/ZVFee2.db3"));
        RecordingMessages messages;
        bool closed = false;
        QString raised;
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        if (m_mounted.isEmpty()) {
            rlimit limited = old;
            limited.rlim_cur = rlim_t(size / 2);
            setrlimit(RLIMIT_FSIZE, &limited);
        }
        try {
            EmptyFeeDatabase(db, messages, [&] { closed = true; });
        } catch (const ZvError& e) {
            raised = e.message();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);

        QVERIFY2(raised.startsWith(
                     QStringLiteral("The database was not emptied. Cannot make the backup copy")),
                 qPrintable(raised));
        if (!m_mounted.isEmpty())
            QVERIFY2(raised.endsWith(QStringLiteral("database or disk is full")),
                     qPrintable(raised));
        QVERIFY(!closed);
        QCOMPARE(countOf(db, QStringLiteral("Master")), 3);
        QCOMPARE(countOf(db, QStringLiteral("Detail")), 2000);
        QCOMPARE(QDir(small).entryList(QDir::Files), QStringList{"ZVFee2.db3"}); // no part left
        QCOMPARE(BusyCursor::depth(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
