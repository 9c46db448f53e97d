#include "feedbfixture.h"
#include "remoteimport.h"
#include "testservers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <httplib.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ServerFields)

namespace {

/// A results file with one fee-paying tournament per number (two players, fee 1 each).
QByteArray ResultsFile(const QList<int>& numbers, const QByteArray& start = "2024-03-01 10:00:00") {
    QByteArray text;
    for (const int number : numbers) {
        text += "Tournament=Game " + QByteArray::number(number) +
                "\r\nNumber=" + QByteArray::number(number) +
                "\r\nBuyIn=10+1\r\nPrizeBonus=0\r\nMultiplyBonus=No\r\nEntrants=2\r\n"
                "RebuyFee=No\r\nStart=" +
                start + "\r\nPlace1=alpha\r\nPlace2=bravo\r\nStop=2024-03-01 11:00:00\r\n";
    }
    return text;
}

struct Recorder {
    RecordingMessages messages;
    QStringList status;
    int closes = 0;
    int busyAtNotice = -1;
    StatusLine statusLine() {
        return [this](const QString& s) { status << s; };
    }
    std::function<void()> closeFeeTables() {
        return [this] { ++closes; };
    }
};

QList<RemoteItem> Items(const QList<QPair<QString, QString>>& dateNames) {
    QList<RemoteItem> items;
    for (const auto& [date, name] : dateNames)
        items << RemoteItem::FromServer(date, name);
    return items;
}

} // namespace

class TestRemoteImport : public QObject {
    Q_OBJECT
    QTemporaryDir m_tls;
    QString m_cert, m_key;

    /// A demo server folder with three results files: 2, 1 and 1 tournaments; the middle one has
    /// an 8-character date.
    static QList<RemoteItem> WriteThreeFiles(const QString& folder) {
        WriteFileBytes(folder + u"/TR2024-03-01 Daily Turbo.txt"_s, ResultsFile({1, 2}));
        WriteFileBytes(folder + u"/TR24-03-02 Short.txt"_s, ResultsFile({3}));
        WriteFileBytes(folder + u"/TR2024-03-03 Sunday Special.txt"_s, ResultsFile({4}));
        return Items({{u"2024-03-01"_s, u"Daily Turbo"_s},
                      {u"24-03-02"_s, u"Short"_s},
                      {u"2024-03-03"_s, u"Sunday Special"_s}});
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(MakeTlsCertificate(m_tls.path(), &m_cert, &m_key)); }

    void selectionComesFirstThenTheFields_data() {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<ServerFields>("fields");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        const ServerFields noHost{QString(), u"8087"_s, u"api"_s, u"pw"_s};
        QTest::newRow("nothing selected, host empty")
            << false << noHost << int(MessageKind::Error) << "No tournament result files selected";
        QTest::newRow("host empty is information")
            << true << noHost << int(MessageKind::Information) << "No IP specified";
        QTest::newRow("port empty is an error")
            << true << ServerFields{u"h"_s, u" "_s, u"api"_s, u"pw"_s} << int(MessageKind::Error)
            << "No File Port specified";
        QTest::newRow("path empty is an error")
            << true << ServerFields{u"h"_s, u"1"_s, QString(), u"pw"_s} << int(MessageKind::Error)
            << "No API Path specified (default is \"api\")";
        QTest::newRow("password empty is an error")
            << true << ServerFields{u"h"_s, u"1"_s, u"api"_s, u"\t"_s} << int(MessageKind::Error)
            << "No API Password specified";
    }
    void selectionComesFirstThenTheFields() {
        QFETCH(bool, selected);
        QFETCH(ServerFields, fields);
        QFETCH(int, kind);
        QFETCH(QString, message);
        FeeDbFixture fixture;
        Recorder r;
        const auto items = selected ? Items({{u"2024-03-01"_s, u"A"_s}}) : QList<RemoteItem>{};
        QCOMPARE(ImportRemoteFiles(items, fields, fixture.db, r.messages, r.statusLine(),
                                   r.closeFeeTables())
                     .ran,
                 false);
        QCOMPARE(r.messages.shown.size(), 1);
        QCOMPARE(int(r.messages.shown.first().first), kind);
        QCOMPARE(r.messages.shown.first().second, message);
        QVERIFY(r.status.isEmpty());
        QCOMPARE(fixture.db.transactionLevel(), 0);
    }

    void importsEverySelectedFileFromTheDemoServer_data() {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain") << false;
        QTest::newRow("TLS") << true;
    }
    void importsEverySelectedFileFromTheDemoServer() {
        QFETCH(bool, tls);
        QTemporaryDir folder;
        const auto items = WriteThreeFiles(folder.path());
        DemoServer server(
            {folder.path(), u"p&w ü"_s, tls ? m_cert : QString(), tls ? m_key : QString()});
        QVERIFY2(server.started(), qPrintable(server.log()));
        const ServerFields fields{tls ? u"https://127.0.0.1"_s : u"127.0.0.1"_s,
                                  QString::number(server.port()), u"api"_s, u"p&w ü"_s};

        FeeDbFixture fixture;
        Recorder r;
        QCOMPARE(ImportRemoteFiles(items, fields, fixture.db, r.messages, r.statusLine(),
                                   r.closeFeeTables())
                     .imported,
                 4);
        QCOMPARE(r.status, (QStringList{u"Retrieving (1 of 3):  TR2024-03-01 Daily Turbo.txt"_s,
                                        u"Retrieving (2 of 3):  TR24-03-02 Short.txt"_s,
                                        u"Retrieving (3 of 3):  TR2024-03-03 Sunday Special.txt"_s,
                                        u"Updating database ..."_s, QString()}));
        QCOMPARE(r.messages.shown.size(), 1);
        QCOMPARE(r.messages.shown.first().first, MessageKind::Notice);
        QCOMPARE(r.messages.shown.first().second, u"Tournaments with fees imported:  4"_s);
        QCOMPARE(r.closes, 1);
        QCOMPARE(BusyCursor::depth(), 0);
        QCOMPARE(fixture.db.transactionLevel(), 0);
        QCOMPARE(fixture.rows(u"SELECT TNumber, TName, Paid FROM Master ORDER BY TNumber"_s),
                 (QStringList{u"1|Game 1|2"_s, u"2|Game 2|2"_s, u"3|Game 3|2"_s, u"4|Game 4|2"_s}));
    }

    void aFailedItemEndsTheRunKeepingWhatCameBefore_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("removeSecond");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("imported");
        QTest::addColumn<int>("fetched");
        QTest::newRow("file gone in the middle")
            << "pw" << true << "Tournament results not found: TR24-03-02 Short.txt" << 2 << 2;
        QTest::newRow("wrong password") << "wrong" << false << "Invalid API password" << 0 << 1;
    }
    void aFailedItemEndsTheRunKeepingWhatCameBefore() {
        QFETCH(QString, password);
        QFETCH(bool, removeSecond);
        QFETCH(QString, error);
        QFETCH(int, imported);
        QFETCH(int, fetched);
        QTemporaryDir folder;
        const auto items = WriteThreeFiles(folder.path());
        if (removeSecond)
            QVERIFY(QFile::remove(folder.path() + u"/TR24-03-02 Short.txt"_s));
        DemoServer server({folder.path(), u"pw"_s, {}, {}});
        QVERIFY2(server.started(), qPrintable(server.log()));

        FeeDbFixture fixture;
        Recorder r;
        QCOMPARE(ImportRemoteFiles(
                     items, {u"127.0.0.1"_s, QString::number(server.port()), u"api"_s, password},
                     fixture.db, r.messages, r.statusLine(), r.closeFeeTables())
                     .imported,
                 imported);
        QCOMPARE(r.messages.texts(), (QStringList{error, u"Tournaments with fees imported:  "_s +
                                                             QString::number(imported)}));
        QCOMPARE(r.messages.shown.first().first, MessageKind::Error);
        QCOMPARE(r.closes, imported > 0 ? 1 : 0);
        QCOMPARE(fixture.rows(u"SELECT count(*) FROM Master"_s).value(0),
                 QString::number(imported));
        QVERIFY(server.stop());
        QCOMPARE(server.log().count(u"Command=TournamentsResults Date="_s), fetched);
    }

    void noServerGivesCouldNotConnectAndACountOfZero() {
        FeeDbFixture fixture;
        Recorder r;
        const ServerFields fields{u"127.0.0.1"_s, QString::number(RefusedPort()), u"api"_s,
                                  u"pw"_s};
        QCOMPARE(ImportRemoteFiles(Items({{u"2024-03-01"_s, u"A"_s}, {u"2024-03-02"_s, u"B"_s}}),
                                   fields, fixture.db, r.messages, r.statusLine(),
                                   r.closeFeeTables())
                     .imported,
                 0);
        QCOMPARE(r.messages.texts(), (QStringList{u"Could not connect to "_s + BuildApiUrl(fields),
                                                  u"Tournaments with fees imported:  0"_s}));
        QCOMPARE(r.status.first(), u"Retrieving (1 of 2):  TR2024-03-01 A.txt"_s);
        QCOMPARE(r.status.size(), 3); // the second item is never tried
    }

    void anImportErrorRollsTheRunBackAndRaises() {
        // The second answer holds a fee-paying tournament with an impossible start date.
        int calls = 0;
        InTestServer server([&calls](const httplib::Request&, httplib::Response& res) {
            ++calls;
            const QByteArray file =
                calls == 1 ? ResultsFile({1}) : ResultsFile({2}, "2024-13-01 10:00:00");
            res.set_content(("Result=Ok\r\n" + file).toStdString(), "text/html");
        });
        const ServerFields fields{u"127.0.0.1"_s, QString::number(server.port()), u"api"_s,
                                  u"pw"_s};
        const auto items = Items({{u"2024-03-01"_s, u"A"_s}, {u"2024-03-02"_s, u"B"_s}});
        FeeDbFixture fixture;
        Recorder r;
        QString raised;
        try {
            ImportRemoteFiles(items, fields, fixture.db, r.messages, r.statusLine(),
                              r.closeFeeTables());
        } catch (const ZvError& e) {
            raised = e.message();
        }
        QVERIFY(!raised.isEmpty());
        QVERIFY(r.messages.shown.isEmpty());
        QCOMPARE(r.status.last(), u"Retrieving (2 of 2):  TR2024-03-02 B.txt"_s);
        QCOMPARE(r.closes, 0);
        QCOMPARE(BusyCursor::depth(), 0);
        QCOMPARE(fixture.db.transactionLevel(), 0);
        QCOMPARE(fixture.rows(u"SELECT count(*) FROM Master"_s), QStringList{u"0"_s});

        // The next run has a transaction of its own, and commits.
        calls = 0;
        QCOMPARE(ImportRemoteFiles(items.mid(0, 1), fields, fixture.db, r.messages, r.statusLine(),
                                   r.closeFeeTables())
                     .imported,
                 1);
        QCOMPARE(fixture.db.transactionLevel(), 0);
        QCOMPARE(fixture.rows(u"SELECT TNumber FROM Master"_s), QStringList{u"1"_s});
    }

    // An answer that the server cut short is not the item: nothing of it is imported or
    // recorded, and the item counts as new again.
    void anAnswerCutShortIsNotRecorded_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("message"); // the first message begins with it
        QTest::addColumn<int>("imported");
        const QByteArray body = "Result=Ok\r\n" + ResultsFile({7, 8});
        const QByteArray cut = body.left(body.indexOf("Place1", body.indexOf("Number=8")));
        const QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n";
        QTest::newRow("closed after the whole answer")
            << head + "\r\n" + body << u"Tournaments with fees imported:  2"_s << 2;
        QTest::newRow("closed inside a tournament block")
            << head + "\r\n" + cut << u"Error loading TR2024-05-03 Friday.txt"_s << 0;
        QTest::newRow("shorter than its length")
            << head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + cut
            << u"Error loading TR2024-05-03 Friday.txt"_s << 0;
        // A chunked answer is whole only with its last chunk, wherever it was cut.
        const QByteArray chunked = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                   "Transfer-Encoding: chunked\r\n\r\n" +
                                   QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n";
        QTest::newRow("chunked, closed before its last chunk")
            << chunked << u"Error loading TR2024-05-03 Friday.txt"_s << 0;
        QTest::newRow("chunked to its last chunk") << chunked + "0\r\n\r\n"
                                                   << u"Tournaments with fees imported:  2"_s << 2;
    }
    void anAnswerCutShortIsNotRecorded() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        QFETCH(int, imported);
        ScriptedServer server({{0, answer}});
        const ServerFields fields{u"127.0.0.1"_s, QString::number(QUrl(server.url()).port()),
                                  u"api"_s, u"pw"_s};
        const QList<RemoteItem> items = Items({{u"2024-05-03"_s, u"Friday"_s}});
        FeeDbFixture fixture;
        Recorder r;
        QCOMPARE(
            ImportRemoteFiles(items, fields, fixture.db, r.messages, r.statusLine(), {}).imported,
            imported);
        QVERIFY2(r.messages.texts().value(0).startsWith(message),
                 qPrintable(r.messages.texts().join(u" / "_s)));
        QCOMPARE(fixture.rows(u"SELECT count(*) FROM Master"_s),
                 QStringList{QString::number(imported)});
        QCOMPARE(NewRemoteItems(fixture.db, fields, items).size(), imported > 0 ? 0 : 1);
    }

    // A file may end in a block without "Stop=" (that block is not written). Told by its length
    // or its last chunk, such an answer is whole and recorded; ended only by the close of the
    // connection, it may be a cut one, and nothing of it is kept.
    void howTheAnswerEndsDecidesOverAnUnfinishedLastBlock_data() {
        QTest::addColumn<QString>("answerEnd");
        QTest::addColumn<bool>("unfinished");
        QTest::addColumn<int>("imported"); // -1: refused
        QTest::newRow("length, unfinished last block") << "length" << true << 1;
        QTest::newRow("chunked, unfinished last block") << "chunked" << true << 1;
        QTest::newRow("close, unfinished last block") << "close" << true << -1;
        QTest::newRow("close, whole file") << "close" << false << 2;
    }
    void howTheAnswerEndsDecidesOverAnUnfinishedLastBlock() {
        QFETCH(QString, answerEnd);
        QFETCH(bool, unfinished);
        QFETCH(int, imported);
        QTemporaryDir folder;
        QByteArray file = ResultsFile({7, 8});
        if (unfinished)
            file.truncate(file.lastIndexOf("Stop="));
        WriteFileBytes(folder.path() + u"/TR2024-05-03 Friday.txt"_s, file);
        DemoServer server({folder.path(), u"pw"_s, {}, {}, answerEnd});
        QVERIFY2(server.started(), qPrintable(server.log()));
        const ServerFields fields{u"127.0.0.1"_s, QString::number(server.port()), u"api"_s,
                                  u"pw"_s};
        const QList<RemoteItem> items = Items({{u"2024-05-03"_s, u"Friday"_s}});
        FeeDbFixture fixture;
        Recorder r;
        const RemoteImportOutcome outcome =
            ImportRemoteFiles(items, fields, fixture.db, r.messages, r.statusLine(), {});
        QCOMPARE(outcome.failed, imported < 0);
        QCOMPARE(outcome.imported, qMax(imported, 0));
        if (imported < 0) {
            QCOMPARE(r.messages.texts().first(), u"Error loading TR2024-05-03 Friday.txt"_s);
            QCOMPARE(r.messages.causes, QStringList{u"The answer ends inside a tournament"_s});
        }
        QCOMPARE(fixture.rows(u"SELECT count(*) FROM Master"_s),
                 QStringList{QString::number(qMax(imported, 0))});
        QCOMPARE(NewRemoteItems(fixture.db, fields, items).size(), imported < 0 ? 1 : 0);
    }

    void spellingsOfOneServerAreOneSource_data() {
        QTest::addColumn<ServerFields>("first");
        QTest::addColumn<ServerFields>("second");
        QTest::addColumn<bool>("same");
        const ServerFields plain{u"zv.example"_s, u"8087"_s, u"api"_s, u"pw"_s};
        const auto with = [&plain](QString host, QString port, QString path) {
            return ServerFields{host, port, path, plain.password};
        };
        QTest::newRow("host in other letter case")
            << plain << with(u"ZV.Example"_s, u"8087"_s, u"api"_s) << true;
        QTest::newRow("http:// in front")
            << plain << with(u"http://zv.example"_s, u"8087"_s, u"api"_s) << true;
        QTest::newRow("trailing / on the path")
            << plain << with(u"zv.example"_s, u"8087"_s, u"api//"_s) << true;
        QTest::newRow("blanks around the fields")
            << plain << with(u" zv.example"_s, u"8087 "_s, u"\tapi"_s) << true;
        QTest::newRow("https: port 80 leaves the default, 443")
            << with(u"https://zv.example"_s, u"80"_s, u"api"_s)
            << with(u"HTTPS://ZV.example"_s, u"443"_s, u"api/"_s) << true;
        QTest::newRow("IPv6 address in other letter case")
            << with(u"[FE80::1]"_s, u"8087"_s, u"api"_s)
            << with(u"[fe80::1]"_s, u"8087"_s, u"api"_s) << true;
        QTest::newRow("another port")
            << plain << with(u"zv.example"_s, u"8088"_s, u"api"_s) << false;
        QTest::newRow("http on 80 is not https")
            << with(u"zv.example"_s, u"80"_s, u"api"_s)
            << with(u"https://zv.example"_s, u"80"_s, u"api"_s) << false;
        QTest::newRow("another path")
            << plain << with(u"zv.example"_s, u"8087"_s, u"api/v2"_s) << false;
        QTest::newRow("path letter case counts")
            << plain << with(u"zv.example"_s, u"8087"_s, u"API"_s) << false;
    }
    void spellingsOfOneServerAreOneSource() {
        QFETCH(ServerFields, first);
        QFETCH(ServerFields, second);
        QFETCH(bool, same);
        QCOMPARE(RemoteSourceOf(first) == RemoteSourceOf(second), same);
        // The source of an older run, written as typed, reads as the same.
        const QString older = TrimBlanksAndControls(second.host) + u':' +
                              TrimBlanksAndControls(second.port) + u'/' +
                              TrimBlanksAndControls(second.path);
        QCOMPARE(NormalRemoteSource(older), RemoteSourceOf(second));
        QCOMPARE(NormalRemoteSource(RemoteSourceOf(second)), RemoteSourceOf(second));
    }

    // Rows that older runs wrote under another spelling of the server still match, and the next
    // run moves them to the one spelling; where both spellings hold an item, the later import
    // stays.
    void recordsOfAnOlderSpellingMatchAndMoveOver() {
        InTestServer server([](const httplib::Request& req, httplib::Response& res) {
            const bool b = QByteArray::fromStdString(req.body).contains("Name=B");
            res.set_content(
                ("Result=Ok\r\n" + ResultsFile(b ? QList<int>{3} : QList<int>{1, 2})).toStdString(),
                "text/html");
        });
        const QString port = QString::number(server.port());
        const ServerFields fields{u"127.0.0.1"_s, port, u"api"_s, u"pw"_s};
        const QString older = u"http://127.0.0.1:"_s + port + u"/api/"_s;
        const QList<RemoteItem> items =
            Items({{u"2024-03-01"_s, u"A"_s}, {u"2024-03-02"_s, u"B"_s}});
        FeeDbFixture fixture;
        Recorder r;
        QCOMPARE(
            ImportRemoteFiles(items, fields, fixture.db, r.messages, r.statusLine(), {}).imported,
            3);
        // As an older run would have left them: A under the older spelling alone, B under both,
        // the older one later and listing one tournament more.
        fixture.db.Execute(u"INSERT INTO ImportedFiles SELECT '%1', Name, Size, Modified, "
                           "Tournaments, '2099-01-01T00:00:00Z', ModifiedNs, ChangedNs, Inode, "
                           "Device FROM ImportedFiles;"
                           "INSERT INTO ImportedTournaments SELECT '%1', Name, TNumber FROM "
                           "ImportedTournaments;"
                           "INSERT INTO ImportedTournaments VALUES('%1', 'TR2024-03-02 B.txt', 1);"
                           "DELETE FROM ImportedFiles WHERE Source <> '%1' AND Name LIKE '%A.txt';"
                           "DELETE FROM ImportedTournaments WHERE Source <> '%1' AND Name LIKE "
                           "'%A.txt';"_s.arg(older));
        QCOMPARE(NewRemoteItems(fixture.db, fields, items).size(), 0);
        QCOMPARE(RecordedRemoteItems(fixture.db, fields, {items.at(0).text}).size(), 1);

        QCOMPARE(
            ImportRemoteFiles(items.mid(0, 1), fields, fixture.db, r.messages, r.statusLine(), {})
                .imported,
            2);
        const QString source = RemoteSourceOf(fields);
        QCOMPARE(fixture.rows(u"SELECT DISTINCT Source FROM ImportedFiles UNION SELECT Source "
                              "FROM ImportedTournaments"_s),
                 QStringList{source});
        QCOMPARE(fixture.rows(u"SELECT Name, TNumber FROM ImportedTournaments ORDER BY 1, 2"_s),
                 (QStringList{u"TR2024-03-01 A.txt|1"_s, u"TR2024-03-01 A.txt|2"_s,
                              u"TR2024-03-02 B.txt|1"_s, u"TR2024-03-02 B.txt|3"_s}));
        QCOMPARE(fixture.rows(u"SELECT Imported FROM ImportedFiles WHERE Name LIKE '%B.txt'"_s),
                 QStringList{u"2099-01-01T00:00:00Z"_s});
    }

    void anEmptyItemIsAnErrorAndNothingIsSent() {
        int calls = 0;
        InTestServer server([&calls](const httplib::Request&, httplib::Response& res) {
            ++calls;
            res.set_content(("Result=Ok\r\n" + ResultsFile({calls})).toStdString(), "text/html");
        });
        FeeDbFixture fixture;
        Recorder r;
        const RemoteImportOutcome outcome = ImportRemoteFiles(
            {RemoteItem::FromServer(u"2024-03-01"_s, u"A"_s), RemoteItem::FromText(QString()),
             RemoteItem::FromServer(u"2024-03-02"_s, u"B"_s)},
            {u"127.0.0.1"_s, QString::number(server.port()), u"api"_s, u"pw"_s}, fixture.db,
            r.messages, r.statusLine(), {});
        QVERIFY(outcome.failed);
        QCOMPARE(r.messages.texts(), (QStringList{u"Error loading \"\": no file name"_s,
                                                  u"Tournaments with fees imported:  1"_s}));
        QCOMPARE(calls, 1);
    }

    void theResultLineIsDroppedAndTheRestImported() {
        InTestServer server([](const httplib::Request&, httplib::Response& res) {
            res.set_content(("Result=Ok\r\n" + ResultsFile({7, 8})).toStdString(), "text/html");
        });
        FeeDbFixture fixture;
        Recorder r;
        QCOMPARE(
            ImportRemoteFiles(Items({{u"2024-05-03"_s, u"Friday Freezeout"_s}}),
                              {u"127.0.0.1"_s, QString::number(server.port()), u"api"_s, u"pw"_s},
                              fixture.db, r.messages, r.statusLine(), r.closeFeeTables())
                .imported,
            2);
        QCOMPARE(server.seen().first().body, "Command=TournamentsResults&Password=pw"
                                             "&Date=2024-05-03&Name=Friday+Freezeout");
    }
};

QTEST_GUILESS_MAIN(TestRemoteImport)
#include "test_remoteimport.moc"
