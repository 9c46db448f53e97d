#include "backup.h"
#include "feedatabase.h"
#include "feeviews.h"
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
