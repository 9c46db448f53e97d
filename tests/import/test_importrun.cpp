#include "error.h"
#include "feedbfixture.h"
#include "feeviews.h"
#include "importedfiles.h"
#include "importrun.h"
#include "remoteimport.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <sqlite3.h>

namespace {

/// Records what a run shows: status texts (with the wait cursor state) and CloseFeeTables calls.
struct RunRecorder {
    RecordingMessages messages;
    QStringList status;
    int closeCalls = 0;
    int busyAtClose = -1;
    StatusLine statusLine() {
        return [this](const QString& text) {
            status << text + (BusyCursor::depth() > 0 ? QStringLiteral(" [busy]") : QString());
        };
    }
    std::function<void()> closeFeeTables() {
        return [this] {
            ++closeCalls;
            busyAtClose = BusyCursor::depth();
        };
    }
};

} // namespace

class TestImportRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void noFeePayingTournaments();
    void sameFilesTwice();
    void failedCommitRollsBackAndNextRunWorks();
    void unreadableFileEndsTheRun_data();
    void unreadableFileEndsTheRun();
    void foreignFileIsLeftAlone_data();
    void foreignFileIsLeftAlone();
    void samples_data();
    void samples();
    void record_data();
    void record();

private:
    std::unique_ptr<FeeDbFixture> m_db;
    QString m_folder;
};

void TestImportRun::init() {
    m_db = std::make_unique<FeeDbFixture>();
    m_folder = m_db->folder() + QStringLiteral("/TourneyResults");
    WriteFileBytes(m_folder + "/TR2024-05-03 A.txt", ResultsBlock(1) + ResultsBlock(2));
    WriteFileBytes(m_folder + "/TR2024-05-03 C.txt", ResultsBlock(3));
    WriteFileBytes(m_folder + "/TR2024-05-03 Free.txt", ResultsBlock(4, "0"));
    WriteFileBytes(m_folder + "/TR2024-05-03 Bad.txt", ResultsBlock(5, "1", "2024-05-03 8:00:00"));
}

void TestImportRun::noFeePayingTournaments() {
    RunRecorder r;
    const ImportRunOutcome outcome =
        ImportLocalFiles(m_folder, {"TR2024-05-03 Free.txt"}, m_db->db, r.messages, r.statusLine(),
                         r.closeFeeTables());
    QCOMPARE(outcome.imported, 0);
    QCOMPARE(r.messages.texts(), QStringList{"Tournaments with fees imported:  0"});
    QCOMPARE(r.closeCalls, 0);
    QCOMPARE(m_db->masterRows(), QStringList{});
}

void TestImportRun::sameFilesTwice() {
    const QStringList files = {"TR2024-05-03 A.txt", "TR2024-05-03 C.txt"};
    RunRecorder first;
    ImportLocalFiles(m_folder, files, m_db->db, first.messages, first.statusLine(),
                     first.closeFeeTables());
    const QStringList master = m_db->masterRows();
    const QStringList detail = m_db->rows("SELECT * FROM Detail ORDER BY TNumber, Player");
    RunRecorder second;
    ImportLocalFiles(m_folder, files, m_db->db, second.messages, second.statusLine(), {});
    QCOMPARE(second.messages.texts(), QStringList{"Tournaments with fees imported:  3"});
    QCOMPARE(first.messages.texts(), second.messages.texts());
    QCOMPARE(first.closeCalls, 1);
    QCOMPARE(first.busyAtClose, 0); // the wait cursor goes before the fee views close
    QCOMPARE(m_db->masterRows(), master);
    QCOMPARE(m_db->rows("SELECT * FROM Detail ORDER BY TNumber, Player"), detail);
    QCOMPARE(master.size(), 3);
}

void TestImportRun::failedCommitRollsBackAndNextRunWorks() {
    // A reader in another connection keeps the commit from getting its lock.
    FeeDatabase reader;
    reader.setDatabaseName(m_db->path());
    reader.Open();
    reader.Execute("BEGIN");
    Statement read = reader.Prepare16("SELECT count(*) FROM Master");
    reader.Step(read);

    RunRecorder r;
    QVERIFY_THROWS_EXCEPTION(ZvError, ImportLocalFiles(m_folder, {"TR2024-05-03 A.txt"}, m_db->db,
                                                       r.messages, r.statusLine(), {}));
    QCOMPARE(r.status.last(), QStringLiteral("Updating database ..."));
    QCOMPARE(r.messages.texts(), QStringList{});
    QCOMPARE(m_db->db.transactionLevel(), 0);
    QVERIFY(sqlite3_get_autocommit(m_db->db.handle()));

    read = Statement();
    reader.Execute("COMMIT");
    RunRecorder next;
    ImportLocalFiles(m_folder, {"TR2024-05-03 A.txt"}, m_db->db, next.messages, next.statusLine(),
                     {});
    QCOMPARE(next.messages.texts(), QStringList{"Tournaments with fees imported:  2"});
    QCOMPARE(m_db->db.transactionLevel(), 0);
    QCOMPARE(m_db->rows("SELECT TNumber FROM Master ORDER BY TNumber"), (QStringList{"1", "2"}));
}

void TestImportRun::unreadableFileEndsTheRun_data() {
    QTest::addColumn<QString>("target"); // what the second file links to; "" for no file at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << ""
                             << "No such file or directory";
    QTest::newRow("a device") << "/dev/null"
                              << "Not a regular file";
}

// The window shows "Error loading PATH" alone; the reason goes to the front ends that give it.
void TestImportRun::unreadableFileEndsTheRun() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const QString second = m_folder + "/TR2024-05-03 B.txt";
    if (!target.isEmpty())
        QVERIFY(QFile::link(target, second));
    RunRecorder r;
    ImportLocalFiles(m_folder, {"TR2024-05-03 A.txt", "TR2024-05-03 B.txt", "TR2024-05-03 C.txt"},
                     m_db->db, r.messages, r.statusLine(), {});
    QCOMPARE(r.messages.texts(),
             (QStringList{"Error loading " + second, "Tournaments with fees imported:  2"}));
    QCOMPARE(r.messages.causes, QStringList{reason});
    QCOMPARE(m_db->masterRows().size(), 2);
}

void TestImportRun::foreignFileIsLeftAlone_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("import") << "import";
    QTest::newRow("remote import") << "remote import";
    QTest::newRow("Empty") << "Empty";
}

// A file whose Master lacks a column of the fee tables: neither an import nor "Empty" touches
// it, and the operator is asked nothing.
void TestImportRun::foreignFileIsLeftAlone() {
    QFETCH(QString, action);
    FeeDatabase& db = m_db->db;
    db.Execute("ALTER TABLE Master DROP COLUMN RebuyFee; INSERT INTO Master (TNumber) VALUES (9);"
               "INSERT INTO Detail VALUES (9, 'kilo', 2)");
    RunRecorder r;
    QString error;
    try {
        if (action == u"import")
            ImportLocalFiles(m_folder, {"TR2024-05-03 A.txt"}, db, r.messages, r.statusLine(), {});
        else if (action == u"remote import")
            ImportRemoteFiles({RemoteItem::FromText("TR2024-05-03 A.txt")},
                              {"127.0.0.1", "1", "/api", "pw"}, db, r.messages, r.statusLine(), {});
        else
            EmptyFeeDatabase(db, r.messages, [] {});
    } catch (const ZvError& e) {
        error = e.message();
    }
    QCOMPARE(error, "Cannot use the fee database \"" + m_db->path() +
                        "\": table Master has no column RebuyFee");
    QCOMPARE(r.messages.texts(), QStringList{});
    QCOMPARE(r.status, QStringList{});
    QCOMPARE(db.transactionLevel(), 0);
    QCOMPARE(m_db->rows("SELECT * FROM Detail"), QStringList{"9|kilo|2"});
    QCOMPARE(m_db->rows("SELECT TNumber FROM Master"), QStringList{"9"});
}

void TestImportRun::samples_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("fees"); // TNumber|total fees of the tournament
    QTest::addColumn<QString>("player");   // a name that only reads right in the file's encoding
    QTest::newRow("Windows-1252") << "TR2024-05-03 Friday Freezeout.txt"
                                  << "2" << QStringList{"1207|10", "1209|6"} << "Jürgen";
    QTest::newRow("UTF-8 with mark") << "TR2024-05-04 Saturday Rebuy.txt"
                                     << "2" << QStringList{"1210|18", "1211|4.5"} << "Łukasz";
    QTest::newRow("UTF-16 LE with mark") << "TR2024-05-05 Sunday Major.txt"
                                         << "2" << QStringList{"1212|99", "1213|9"} << "november";
    QTest::newRow("freerolls") << "TR2024-05-06 Monday Freeroll.txt"
                               << "2" << QStringList{"1215|0.6", "1216|1.5"} << "whiskey";
}

// The sample folder a new user imports first: every encoding reads and every fee adds up.
void TestImportRun::samples() {
    QFETCH(QString, file);
    QFETCH(QString, count);
    QFETCH(QStringList, fees);
    QFETCH(QString, player);
    RunRecorder r;
    ImportLocalFiles(QStringLiteral(ZV_SAMPLES_DIR "/TourneyResults"), {file}, m_db->db, r.messages,
                     r.statusLine(), {});
    QCOMPARE(r.messages.texts(), QStringList{"Tournaments with fees imported:  " + count});
    QCOMPARE(m_db->rows("SELECT TNumber, round(sum(Fees), 2) FROM Detail GROUP BY TNumber"), fees);
    QVERIFY2(m_db->rows("SELECT TNumber FROM Detail WHERE Player = '" + player + "'").size() > 0,
             qPrintable(m_db->rows("SELECT Player FROM Detail").join(u',')));
}

void TestImportRun::record_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("empty");         // "Empty" after the run
    QTest::addColumn<QStringList>("record"); // Name|Size|Tournaments, "" when the table is absent
    const QString a = "TR2024-05-03 A.txt";
    const QString c = "TR2024-05-03 C.txt";
    QTest::newRow("written with the rows")
        << QStringList{a, c} << false << QStringList{a + "|%A|2", c + "|%C|1"};
    QTest::newRow("a file without fee-paying tournaments")
        << QStringList{"TR2024-05-03 Free.txt"} << false
        << QStringList{"TR2024-05-03 Free.txt|%Free|0"};
    QTest::newRow("an unreadable file: the files read before it")
        << QStringList{a, "TR2024-05-03 Gone.txt", c} << false << QStringList{a + "|%A|2"};
    QTest::newRow("a rolled-back run records nothing")
        << QStringList{a, "TR2024-05-03 Bad.txt"} << false << QStringList{""};
    QTest::newRow("cleared by Empty") << QStringList{a, c} << true << QStringList{};
}

// The fixture's database is one of the old kind, without the record's table.
void TestImportRun::record() {
    QFETCH(QStringList, files);
    QFETCH(bool, empty);
    QFETCH(QStringList, record);
    QVERIFY(!HasImportedFiles(m_db->db));
    RunRecorder r;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    try {
        ImportLocalFiles(m_folder, files, m_db->db, r.messages, r.statusLine(), {});
    } catch (const ZvError&) {
    }
    if (empty)
        QVERIFY(EmptyFeeDatabase(m_db->db, r.messages, [] {}));

    if (record == QStringList{""}) {
        QVERIFY(!HasImportedFiles(m_db->db));
        QCOMPARE(m_db->rows("SELECT count(*) FROM Master"), QStringList{"0"});
        return;
    }
    QCOMPARE(
        m_db->rows("SELECT sql FROM sqlite_master WHERE name = 'ImportedFiles'"),
        QStringList{"CREATE TABLE ImportedFiles(Source TEXT, Name TEXT, Size INTEGER, Modified "
                    "TEXT, Tournaments INTEGER, Imported TEXT, ModifiedNs INTEGER, ChangedNs "
                    "INTEGER, Inode INTEGER, Device INTEGER, PRIMARY KEY (Source, Name))"});
    for (QString& row : record) {
        const QString name = row.section(u'|', 0, 0);
        row.replace(QRegularExpression("%\\w+"),
                    QString::number(QFileInfo(m_folder + u'/' + name).size()));
    }
    QCOMPARE(m_db->rows("SELECT Name, Size, Tournaments FROM ImportedFiles ORDER BY Name"), record);
    // Source, Modified and Imported of every row.
    const QString source = QDir(m_folder).canonicalPath();
    for (const QString& row :
         m_db->rows("SELECT Source, Name, Modified, Imported FROM ImportedFiles")) {
        const QStringList v = row.split(u'|');
        QCOMPARE(v[0], source);
        QCOMPARE(v[2], StampOf(m_folder + u'/' + v[1]).modified);
        const QDateTime imported = QDateTime::fromString(v[3], Qt::ISODate);
        QVERIFY2(v[3].endsWith(u'Z') && imported >= before &&
                     imported <= QDateTime::currentDateTimeUtc(),
                 qPrintable(v[3]));
    }
}

QTEST_GUILESS_MAIN(TestImportRun)
#include "test_importrun.moc"
