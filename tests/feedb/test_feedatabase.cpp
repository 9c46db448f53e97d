#include "feedatabase.h"
#include "feeschema.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {
int count(FeeDatabase& db, const QString& sql) {
    Statement st = db.Prepare16(sql);
    if (!db.Step(st))
        return -1;
    return sqlite3_column_int(st.get(), 0);
}

QStringList columns(FeeDatabase& db, const QString& table) {
    Statement st = db.Prepare16(QStringLiteral("SELECT * FROM ") + table);
    QStringList names;
    for (int i = 0; i < sqlite3_column_count(st.get()); ++i)
        names << QString::fromUtf8(sqlite3_column_name(st.get(), i));
    return names;
}

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ZvError& e) {
        return e.message();
    }
    return QString();
}
} // namespace

class TestFeeDatabase : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void createsBothTablesWithTheirColumns() {
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, path(QStringLiteral("new.db3")));
        QVERIFY(QFile::exists(path(QStringLiteral("new.db3"))));
        QCOMPARE(columns(db, QStringLiteral("Master")),
                 QStringList({"TNumber", "TName", "Date", "Time", "Seconds", "Entrants", "Paid",
                              "Bonus", "Multiply", "BuyIn", "Fee", "RebuyFee"}));
        QCOMPARE(columns(db, QStringLiteral("Detail")), QStringList({"TNumber", "Player", "Fees"}));
    }

    // What start-up finds in an existing file: an empty file becomes a new fee database; a file
    // whose fee tables lack a column is named, with the column, and left as it was.
    void existingFileAtStart_data() {
        QTest::addColumn<QByteArray>("content"); // the file's bytes, or "SQL:" and its statements
        QTest::addColumn<QString>("fault");
        const QByteArray master = "CREATE TABLE Master (TNumber INTEGER PRIMARY KEY, TName TEXT, "
                                  "Date TEXT, Time TEXT, Seconds INTEGER, Entrants INTEGER, Paid "
                                  "INTEGER, Bonus REAL, Multiply TEXT, BuyIn REAL, Fee REAL";
        const QByteArray detail = "CREATE TABLE Detail (TNumber INTEGER, Player TEXT, Fees REAL);";
        QTest::newRow("zero bytes: a new database") << QByteArray() << "";
        QTest::newRow("the fee tables") << "SQL:" + master + ", RebuyFee TEXT);" + detail << "";
        QTest::newRow("names in other letter case, further columns")
            << "SQL:" + master.toLower() + ", REBUYFEE, Note TEXT);" + detail.toUpper() << "";
        QTest::newRow("Master without RebuyFee")
            << "SQL:" + master + ");" + detail << "table Master has no column RebuyFee";
        QTest::newRow("another program's Detail")
            << "SQL:" + master + ", RebuyFee);CREATE TABLE Detail (TNumber, Name, Amount);"
            << "table Detail has no columns Player, Fees";
        QTest::newRow("another program's database")
            << QByteArray("SQL:CREATE TABLE Notes (x);") << "no table Master; no table Detail";
        QTest::newRow("not a database")
            << QByteArray("this is a results file, not a database\n").repeated(200)
            << "file is not a database";
    }
    void existingFileAtStart() {
        QFETCH(QByteArray, content);
        QFETCH(QString, fault);
        const QString file = path(QString::fromLatin1(QTest::currentDataTag()) + ".db3");
        if (content.startsWith("SQL:")) {
            sqlite3* other = nullptr;
            QCOMPARE(sqlite3_open(file.toUtf8().constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, content.mid(4).constData(), nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(other);
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const qint64 size = QFileInfo(file).size();
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, file);
        QVERIFY(db.isOpen());
        QCOMPARE(FeeSchemaFault(db), fault);
        QCOMPARE(errorOf([&] { RequireFeeSchema(db); }),
                 fault.isEmpty() ? QString()
                                 : "Cannot use the fee database \"" + file + "\": " + fault);
        if (size > 0)
            QCOMPARE(QFileInfo(file).size(), size); // left as it was
        else
            QCOMPARE(columns(db, QStringLiteral("Detail")),
                     QStringList({"TNumber", "Player", "Fees"}));
    }

    // The error names the full path and why the system refused it.
    void openFailures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("create");
        QTest::addColumn<QString>("reason");
        QTest::newRow("open never creates") << "none.db3" << false << "no such file or directory";
        QTest::newRow("create in a missing folder")
            << "missing/none.db3" << true << "no such file or directory";
        QTest::newRow("create in a read-only folder")
            << "read-only/none.db3" << true << "permission denied";
        QTest::newRow("open a file closed to its reader")
            << "closed.db3" << false << "permission denied";
    }
    void openFailures() {
        QFETCH(QString, name);
        QFETCH(bool, create);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("read-only")));
        const QString file = dir.filePath(name);
        const bool closedFile = name == u"closed.db3";
        if (closedFile) {
            WriteFileBytes(file, QByteArray());
            QVERIFY(QFile::setPermissions(file, QFile::Permissions()));
        }
        const auto readable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), readable));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("read-only")), readable));
        FeeDatabase db;
        db.setDatabaseName(file);
        QString error;
        {
            AsOrdinaryUser ordinary;
            error = errorOf([&] { create ? db.CreateDatabase() : db.Open(); });
        }
        QCOMPARE(error, QStringLiteral("Cannot open file \"%1\": %2").arg(file, reason));
        QVERIFY(!db.isOpen());
        QCOMPARE(QFile::exists(file), closedFile);
        QVERIFY(QFile::setPermissions(dir.path(), readable | QFile::WriteOwner));
    }

    // What keeps a command from using the database is told with the file and the cause.
    void messagesNameTheFileAndTheCause_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message"); // %1: the database's path
        const QString notAFile =
            QStringLiteral("Cannot open file \"%1\": it is not a regular file");
        const QString cannotWrite = QStringLiteral("Cannot write the fee database \"%1\": ");
        QTest::newRow("a device") << "device" << notAFile;
        QTest::newRow("a FIFO, which would never answer") << "fifo" << notAFile;
        QTest::newRow("a folder") << "folder"
                                  << QStringLiteral("Cannot open file \"%1\": it is a folder");
        QTest::newRow("a read-only file")
            << "read-only file" << cannotWrite + "the file cannot be written (permission denied)";
        QTest::newRow("a read-only folder")
            << "read-only folder"
            << cannotWrite + "its folder cannot be written (permission denied), so no journal "
                             "can be made there";
        QTest::newRow("a record of imported files of another shape")
            << "imported files"
            << QStringLiteral("Cannot use the fee database \"%1\": table ImportedFiles has no "
                              "column Name");
        QTest::newRow("a record of imported tournaments of another shape")
            << "imported tournaments"
            << QStringLiteral("Cannot use the fee database \"%1\": table ImportedTournaments has "
                              "no column TNumber");
        QTest::newRow("another program holds it")
            << "held"
            << QStringLiteral("The fee database \"%1\" is busy: another program is writing to it");
        QTest::newRow("a report before the first import")
            << "none" << QStringLiteral("No fee database at %1 yet: import results first");
    }
    void messagesNameTheFileAndTheCause() {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), open));
        QString file = dir.filePath(QStringLiteral("fees.db3"));
        if (setup == u"device")
            file = QStringLiteral("/dev/zero");
        else if (setup == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0666), 0);
        else if (setup == u"folder")
            QVERIFY(QDir().mkdir(file));
        else if (setup != u"none") {
            FeeDatabase fresh;
            OpenOrCreateFeeDatabase(fresh, file);
            if (setup == u"imported files")
                fresh.Execute(QStringLiteral("CREATE TABLE ImportedFiles (Source, Path, Size, "
                                             "Modified, Tournaments, Imported)"));
            if (setup == u"imported tournaments")
                fresh.Execute(QStringLiteral("CREATE TABLE ImportedTournaments (Source, Name, "
                                             "Tournament)"));
        }
        if (setup == u"read-only file")
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther));
        if (setup == u"read-only folder") {
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ReadOther | QFile::WriteOther));
            QVERIFY(QFile::setPermissions(dir.path(), open & ~QFile::WriteOwner));
        }
        FeeDatabase holder;
        if (setup == u"held") {
            holder.setDatabaseName(file);
            holder.Open();
            holder.Execute(QStringLiteral("BEGIN EXCLUSIVE"));
        }

        FeeDatabase db;
        QString error;
        if (setup == u"none") {
            error = errorOf([&] { OpenFeeDatabaseForReport(db, file); });
            QVERIFY(!QFile::exists(file));
        } else {
            AsOrdinaryUser ordinary; // root may write anywhere
            error = errorOf([&] {
                OpenFeeDatabaseForImport(db, file);
                db.Execute(QStringLiteral("INSERT INTO Master (TNumber) VALUES (1)"));
            });
        }
        QCOMPARE(error, message.arg(file));
        QVERIFY(QFile::setPermissions(dir.path(), open));
    }

    void closedConnectionRaisesForEveryOperation() {
        FeeDatabase db;
        Statement none;
        const QList<std::function<void()>> ops = {
            [&] { db.Execute(QStringLiteral("SELECT 1")); },
            [&] { db.Prepare16(QStringLiteral("SELECT 1")); },
            [&] { db.Bind_Int(none, 1, 1); },
            [&] { db.Bind_Double(none, 1, 1.0); },
            [&] { db.Bind_Str16(none, 1, QString()); },
            [&] { db.Step(none); },
            [&] { db.StepAndReset(none); },
            [&] { db.StartTransaction(); },
            [&] { db.Commit(); },
        };
        for (const auto& op : ops)
            QCOMPARE(errorOf(op),
                     QStringLiteral("Cannot perform this operation on a closed database"));
    }

    void replaceSemanticsAndCaseDistinctPlayers() {
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, path(QStringLiteral("replace.db3")));
        Statement m =
            db.Prepare16(QStringLiteral("REPLACE INTO Master (TNumber, TName) VALUES(?, ?);"));
        for (const char* name : {"First", "Second"}) {
            db.Bind_Int(m, 1, 7);
            db.Bind_Str16(m, 2, QString::fromLatin1(name));
            db.StepAndReset(m);
        }
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM Master")), 1);
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM Master WHERE TName='Second'")), 1);

        Statement d = db.Prepare16(
            QStringLiteral("REPLACE INTO Detail (TNumber, Player, Fees) VALUES(?, ?, ?);"));
        const QList<QPair<QString, double>> rows = {{"kilo", 1}, {"Kilo", 2}, {"kilo", 3}, {"", 4}};
        for (const auto& [player, fee] : rows) {
            db.Bind_Int(d, 1, 7);
            db.Bind_Str16(d, 2, player);
            db.Bind_Double(d, 3, fee);
            db.StepAndReset(d);
        }
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM Detail")), 3);
        QCOMPARE(count(db, QStringLiteral("SELECT Fees FROM Detail WHERE Player='kilo'")), 3);
        // An empty name is stored as empty text, not NULL.
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM Detail WHERE Player=''")), 1);
    }

    void nestedTransactionsCommitAtTheOutermostLevel() {
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, path(QStringLiteral("tx.db3")));
        db.StartTransaction();
        db.StartTransaction();
        db.Execute(QStringLiteral("INSERT INTO Master (TNumber) VALUES (1)"));
        db.Commit();
        QCOMPARE(db.transactionLevel(), 1);
        QVERIFY(!sqlite3_get_autocommit(db.handle())); // still open
        db.Commit();
        QVERIFY(sqlite3_get_autocommit(db.handle()));
        db.Commit(); // nothing open: does nothing

        db.StartTransaction();
        db.Execute(QStringLiteral("INSERT INTO Master (TNumber) VALUES (2)"));
        db.Rollback();
        QCOMPARE(db.transactionLevel(), 0);
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM Master")), 1);
        db.StartTransaction(); // a fresh transaction of its own
        db.Execute(QStringLiteral("INSERT INTO Master (TNumber) VALUES (3)"));
        db.Commit();
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM Master")), 2);
    }

    void busyStepIsTriedEightTimesThenFails() {
        const QString file = path(QStringLiteral("busy.db3"));
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, file);
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(file.toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

        int busyCalls = 0;
        sqlite3_busy_handler(
            db.handle(),
            [](void* n, int) {
                ++*static_cast<int*>(n);
                return 0;
            },
            &busyCalls);
        Statement ins = db.Prepare16(QStringLiteral("INSERT INTO Master (TNumber) VALUES (1)"));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(errorOf([&] { db.StepAndReset(ins); }),
                 QStringLiteral("database is locked: another program is using \"%1\"").arg(file));
        QCOMPARE(busyCalls, 8);
        QVERIFY(timer.elapsed() >= 60); // seven pauses of 10 ms between the tries

        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        db.StepAndReset(ins); // the same statement works once the lock is gone
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM Master")), 1);
    }

    /// The engine's texts of a lock, a full disk and a damaged file name no file: the
    /// messages do.
    void engineErrorsNameTheFile_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message"); // %1: the file
        QTest::newRow("locked") << "locked"
                                << "database is locked: another program is using \"%1\"";
        QTest::newRow("full") << "full"
                              << "Cannot write the fee database \"%1\": database or disk is full";
        QTest::newRow("damaged")
            << "damaged"
            << "Cannot read the fee database \"%1\": database disk image is malformed";
    }
    void engineErrorsNameTheFile() {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        const QString file = path(fault + QStringLiteral(".db3"));
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, file);
        db.Execute(QStringLiteral("INSERT INTO Master (TNumber, TName) VALUES (1, 'A')"));
        FeeDatabase other;
        other.setDatabaseName(file);
        other.Open();
        QString sql = QStringLiteral("INSERT INTO Master (TNumber, TName) VALUES (2, 'B')");
        if (fault == u"locked") {
            other.Execute(QStringLiteral("BEGIN EXCLUSIVE"));
        } else if (fault == u"full") {
            db.Execute(QStringLiteral("PRAGMA max_page_count = 3"));
            sql = QStringLiteral("INSERT INTO Detail SELECT 1, printf('%0500d', value), 1 FROM "
                                 "(WITH RECURSIVE n(value) AS (SELECT 1 UNION ALL SELECT value "
                                 "+ 1 FROM n WHERE value < 100) SELECT value FROM n)");
        } else {
            db.Close();
            QFile damaged(file);
            QVERIFY(damaged.open(QIODevice::ReadWrite));
            damaged.seek(4096); // the first table's root page
            damaged.write(QByteArray(4096, '\xff'));
            damaged.close();
            db.Open();
            sql = QStringLiteral("SELECT * FROM Master");
        }
        QCOMPARE(errorOf([&] { db.Execute(sql); }), message.arg(file));
    }
};

QTEST_GUILESS_MAIN(TestFeeDatabase)
#include "test_feedatabase.moc"
