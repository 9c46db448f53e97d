#include "remotelist.h"
#include "testservers.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <httplib.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ServerFields)

namespace {
const ServerFields kFields{u"127.0.0.1"_s, u"8087"_s, u"api"_s, u"secret"_s};

ServerFields FieldsFor(int port, const QString& password = u"secret"_s,
                       const QString& host = u"127.0.0.1"_s) {
    return {host, QString::number(port), u"api"_s, password};
}

QStringList TextsOf(const QList<RemoteItem>& items) {
    QStringList texts;
    for (const RemoteItem& item : items)
        texts << item.text;
    return texts;
}

/// A folder of results files named as the server names them, each in UTF-8 with its mark.
void WriteResults(const QString& folder, const QStringList& names) {
    for (const QString& name : names)
        WriteFileBytes(folder + u'/' + name,
                       "\xEF\xBB\xBFTournament=" + name.toUtf8() + "\r\nNumber=1\r\n");
}
} // namespace

class TestRemoteList : public QObject {
    Q_OBJECT
    QTemporaryDir m_tls;
    QString m_cert, m_key;

private Q_SLOTS:
    void initTestCase() { QVERIFY(MakeTlsCertificate(m_tls.path(), &m_cert, &m_key)); }

    void itemTextsTakePartsBackByPosition_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("name");
        QTest::newRow("10-character date") << "TR2024-05-03 Friday Freezeout.txt"
                                           << "2024-05-03"
                                           << "Friday Freezeout";
        QTest::newRow("empty name") << "TR2024-05-03 .txt"
                                    << "2024-05-03"
                                    << "";
        QTest::newRow("8-character date cuts wrong") << "TR24-05-03 Friday.txt"
                                                     << "24-05-03 F"
                                                     << "iday";
        QTest::newRow("shorter than the frame") << "TR.txt"
                                                << ".txt"
                                                << "";
    }
    void itemTextsTakePartsBackByPosition() {
        QFETCH(QString, text);
        QFETCH(QString, date);
        QFETCH(QString, name);
        const RemoteItem item = RemoteItem::FromText(text);
        QCOMPARE(item.date, date);
        QCOMPARE(item.name, name);
        QCOMPARE(item.text, text);
    }

    void listsWhatTheAnswerHolds_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("messages");
        const QStringList none{u"No files found"_s};
        QTest::newRow("two results in index order")
            << QByteArray("Result=Ok\r\nFiles=2\r\nDate2=2024-03-02\r\nName2=Late\r\n"
                          "Date1=2024-03-01\r\nName1=Daily Turbo\r\n")
            << QStringList{u"TR2024-03-01 Daily Turbo.txt"_s, u"TR2024-03-02 Late.txt"_s}
            << QStringList{};
        QTest::newRow("second name missing")
            << QByteArray("Result=Ok\r\nFiles=2\r\nDate1=2024-03-01\r\nName1=A\r\n"
                          "Date2=2024-03-02\r\n")
            << QStringList{u"TR2024-03-01 A.txt"_s, u"TR2024-03-02 .txt"_s} << QStringList{};
        QTest::newRow("field names in other letter case")
            << QByteArray("result=Ok\nfiles=1\ndate1=2024-03-01\nNAME1=A\n")
            << QStringList{u"TR2024-03-01 A.txt"_s} << QStringList{};
        QTest::newRow("duplicates kept")
            << QByteArray("Result=Ok\rFiles=2\rDate1=d\rName1=n\rDate2=d\rName2=n\r")
            << QStringList{u"TRd n.txt"_s, u"TRd n.txt"_s} << QStringList{};
        QTest::newRow("Files missing")
            << QByteArray("Result=Ok\r\nDate1=d\r\nName1=n\r\n") << QStringList{} << none;
        QTest::newRow("Files zero")
            << QByteArray("Result=Ok\r\nFiles=0\r\nDate1=d\r\n") << QStringList{} << none;
        QTest::newRow("Files negative")
            << QByteArray("Result=Ok\r\nFiles=-2\r\nDate1=d\r\n") << QStringList{} << none;
        QTest::newRow("Files not a number")
            << QByteArray("Result=Ok\r\nFiles=2x\r\nDate1=d\r\n") << QStringList{} << none;
        QTest::newRow("Files hexadecimal is not decimal")
            << QByteArray("Result=Ok\r\nFiles=0x1\r\nDate1=d\r\n") << QStringList{} << none;
        QTest::newRow("a huge count stops at the answer's size")
            << QByteArray("Result=Ok\r\nFiles=2000000000\r\nDate1=d\r\nName1=n\r\n")
            << QStringList{u"TRd n.txt"_s, u"TR .txt"_s, u"TR .txt"_s, u"TR .txt"_s}
            << QStringList{};
        QTest::newRow("Result OK in capitals fails")
            << QByteArray("Result=OK\r\nFiles=1\r\nDate1=d\r\nName1=n\r\nError=Sorry\r\n")
            << QStringList{} << QStringList{u"Sorry"_s};
        QTest::newRow("error without Error line shows an empty box")
            << QByteArray("Result=Error\r\n") << QStringList{} << QStringList{QString()};
    }
    void listsWhatTheAnswerHolds() {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, items);
        QFETCH(QStringList, messages);
        InTestServer server([&answer](const httplib::Request&, httplib::Response& res) {
            res.set_content(answer.toStdString(), "text/html");
        });
        RecordingMessages recorded;
        QStringList status;
        const auto listed = FetchRemoteList(FieldsFor(server.port()), recorded,
                                            [&status](const QString& s) { status << s; });
        QCOMPARE(TextsOf(listed), items);
        QCOMPARE(recorded.texts(), messages);
        for (const auto& [kind, text] : recorded.shown)
            QCOMPARE(kind, items.isEmpty() && messages == QStringList{u"No files found"_s}
                               ? MessageKind::Information
                               : MessageKind::Error);
        QCOMPARE(status, (QStringList{u"Retrieving tournament result list ..."_s, QString()}));
        QCOMPARE(server.seen().first().body, "Command=TournamentsResults&Password=secret");
    }

    void missingFieldsAreErrorsAndSendNothing_data() {
        QTest::addColumn<ServerFields>("fields");
        QTest::addColumn<QString>("message");
        QTest::newRow("host") << ServerFields{u" "_s, u"1"_s, u"api"_s, u"pw"_s}
                              << "No IP specified";
        QTest::newRow("password") << ServerFields{u"h"_s, u"1"_s, u"api"_s, QString()}
                                  << "No API Password specified";
    }
    void missingFieldsAreErrorsAndSendNothing() {
        QFETCH(ServerFields, fields);
        QFETCH(QString, message);
        RecordingMessages recorded;
        QStringList status;
        QVERIFY(FetchRemoteList(fields, recorded, [&status](const QString& s) {
                    status << s;
                }).isEmpty());
        QCOMPARE(recorded.shown.size(), 1);
        QCOMPARE(recorded.shown.first().first, MessageKind::Error);
        QCOMPARE(recorded.shown.first().second, message);
        QVERIFY(status.isEmpty()); // the status line stays as it was
    }

    void noServerGivesCouldNotConnectWithTheCursorRestored() {
        int shownWhileBusy = -1;
        BusyCursor::setHooks({}, {});
        RecordingMessages recorded;
        const ServerFields fields = FieldsFor(RefusedPort());
        const auto items = FetchRemoteList(
            fields, recorded, [&](const QString&) { shownWhileBusy = BusyCursor::depth(); });
        QVERIFY(items.isEmpty());
        QCOMPARE(recorded.texts(), QStringList{u"Could not connect to "_s + BuildApiUrl(fields)});
        QCOMPARE(BusyCursor::depth(), 0);
        QCOMPARE(shownWhileBusy, 0); // the status is cleared after the cursor is restored
    }

    void listsAndFetchesFromTheDemoServer_data() {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain") << false;
        QTest::newRow("TLS") << true;
    }
    void listsAndFetchesFromTheDemoServer() {
        QFETCH(bool, tls);
        QTemporaryDir folder;
        WriteResults(folder.path(),
                     {u"TR2024-03-01 Daily Turbo.txt"_s, u"TR24-03-02 Short Date.txt"_s,
                      u"TR2024-03-03 Über €.txt"_s, u"notes.txt"_s});
        DemoServer server(
            {folder.path(), u"p&=+ ü"_s, tls ? m_cert : QString(), tls ? m_key : QString()});
        QVERIFY2(server.started(), qPrintable(server.log()));
        const ServerFields fields =
            FieldsFor(server.port(), u"p&=+ ü"_s, tls ? u"https://127.0.0.1"_s : u"127.0.0.1"_s);

        RecordingMessages recorded;
        const auto items = FetchRemoteList(fields, recorded, [](const QString&) {});
        QCOMPARE(recorded.texts(), QStringList{});
        QCOMPARE(TextsOf(items),
                 (QStringList{u"TR2024-03-01 Daily Turbo.txt"_s, u"TR2024-03-03 Über €.txt"_s,
                              u"TR24-03-02 Short Date.txt"_s}));

        // Every item fetches its own file, the one with the 8-character date included, because
        // the request carries the server's own date and name.
        for (const RemoteItem& item : items) {
            const ApiResponse file =
                PostApiCommand(BuildApiUrl(fields), FileCallFields(fields.password, item));
            QCOMPARE(file.value(0), u"Result=Ok"_s);
            QCOMPARE(file.value(1), u"Tournament="_s + item.text);
        }
        // The parts cut out of the item text by position name no file the server has.
        const ApiResponse cut =
            PostApiCommand(BuildApiUrl(fields),
                           FileCallFields(fields.password, RemoteItem::FromText(items[2].text)));
        QCOMPARE(cut.value(0), u"Result=Error"_s);
        QVERIFY(!ApiValue(cut, u"Error"_s).isEmpty());
        QVERIFY(server.stop());
        QVERIFY(server.log().contains(u"Date=24-03-02 Name=Short Date"_s));
        // The server offers TLS 1.3; the client goes no higher than 1.2.
        if (tls)
            QVERIFY(server.log().contains(u"POST /api HTTP/1.0 TLSv1.2 "_s));
    }

    void theDemoServerAnswersErrorsWithItsOwnText_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("folderFiles");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("wrong password") << "wrong" << QStringList{u"TR2024-01-01 A.txt"_s}
                                        << QStringList{u"Invalid API password"_s};
        QTest::newRow("empty folder")
            << "secret" << QStringList{} << QStringList{u"No files found"_s};
    }
    void theDemoServerAnswersErrorsWithItsOwnText() {
        QFETCH(QString, password);
        QFETCH(QStringList, folderFiles);
        QFETCH(QStringList, messages);
        QTemporaryDir folder;
        WriteResults(folder.path(), folderFiles);
        DemoServer server({folder.path(), u"secret"_s, {}, {}});
        QVERIFY2(server.started(), qPrintable(server.log()));
        RecordingMessages recorded;
        QVERIFY(FetchRemoteList(FieldsFor(server.port(), password), recorded, [](const QString&) {
                }).isEmpty());
        QCOMPARE(recorded.texts(), messages);
    }
};

QTEST_GUILESS_MAIN(TestRemoteList)
#include "test_remotelist.moc"
