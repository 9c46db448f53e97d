#include "apiclient.h"
#include "runcontrol.h"
#include "testservers.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <httplib.h>

#include <chrono>
#include <thread>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ServerFields)

namespace {
const QStringList kFailed = {u"Result=Error"_s, u"Error=Could not connect to "_s};

QStringList FailureFor(const QString& url) {
    return {u"Result=Error"_s, u"Error=Could not connect to "_s + url};
}
} // namespace

class TestApiClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void checksFieldsInOrderAfterTrimming_data() {
        QTest::addColumn<ServerFields>("fields");
        QTest::addColumn<QString>("message"); // empty: all present
        QTest::addColumn<int>("field");
        const ServerFields ok{u"127.0.0.1"_s, u"8087"_s, u"api"_s, u"pw"_s};
        const auto with = [&ok](auto member, const QString& text) {
            ServerFields f = ok;
            f.*member = text;
            return f;
        };
        QTest::newRow("all present") << ok << QString() << -1;
        QTest::newRow("port with leading blank passes")
            << with(&ServerFields::port, u" 8087"_s) << QString() << -1;
        QTest::newRow("host empty")
            << with(&ServerFields::host, QString()) << "No IP specified" << int(ServerField::Host);
        QTest::newRow("host of blanks and control characters")
            << with(&ServerFields::host, u" \t\x01\r\n "_s) << "No IP specified"
            << int(ServerField::Host);
        QTest::newRow("port blank") << with(&ServerFields::port, u"  "_s)
                                    << "No File Port specified" << int(ServerField::Port);
        QTest::newRow("path empty")
            << with(&ServerFields::path, QString()) << "No API Path specified (default is \"api\")"
            << int(ServerField::Path);
        QTest::newRow("password blank")
            << with(&ServerFields::password, u"\t"_s) << "No API Password specified"
            << int(ServerField::Password);
        QTest::newRow("everything empty: host first")
            << ServerFields{} << "No IP specified" << int(ServerField::Host);
        QTest::newRow("path and password empty: path first")
            << ServerFields{u"h"_s, u"1"_s, QString(), QString()}
            << "No API Path specified (default is \"api\")" << int(ServerField::Path);
    }
    void checksFieldsInOrderAfterTrimming() {
        QFETCH(ServerFields, fields);
        QFETCH(QString, message);
        QFETCH(int, field);
        const auto missing = CheckServerFields(fields);
        QCOMPARE(missing.has_value(), !message.isEmpty());
        if (missing) {
            QCOMPARE(missing->message, message);
            QCOMPARE(int(missing->field), field);
        }
    }

    void buildsTheUrlFromTheTextsAsTyped_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("url");
        QTest::newRow("initial settings") << "127.0.0.1"
                                          << "8087"
                                          << "api"
                                          << "http://127.0.0.1:8087/api";
        QTest::newRow("port 80 is left out") << "127.0.0.1"
                                             << "80"
                                             << "api"
                                             << "http://127.0.0.1/api";
        QTest::newRow("port 080 is written") << "127.0.0.1"
                                             << "080"
                                             << "api"
                                             << "http://127.0.0.1:080/api";
        QTest::newRow("port with leading blank as typed") << "127.0.0.1"
                                                          << " 8087"
                                                          << "api"
                                                          << "http://127.0.0.1: 8087/api";
        QTest::newRow("upper-case HTTP gets a prefix") << "HTTP://127.0.0.1"
                                                       << "8087"
                                                       << "api"
                                                       << "http://HTTP://127.0.0.1:8087/api";
        QTest::newRow("https keeps its prefix") << "https://127.0.0.1"
                                                << "8087"
                                                << "api"
                                                << "https://127.0.0.1:8087/api";
        QTest::newRow("http inside a longer name") << "myhttpserver.example"
                                                   << "8087"
                                                   << "api"
                                                   << "myhttpserver.example:8087/api";
        QTest::newRow("path as typed") << "h"
                                       << "1"
                                       << "a b/c"
                                       << "http://h:1/a b/c";
    }
    void buildsTheUrlFromTheTextsAsTyped() {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, path);
        QFETCH(QString, url);
        QCOMPARE(BuildApiUrl({host, port, path, u"pw"_s}), url);
    }

    void formEncodesNamesAndValues_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("blank as plus") << "Sunday Special" << QByteArray("Sunday+Special");
        QTest::newRow("unreserved set unchanged") << "AZaz09*-._" << QByteArray("AZaz09*-._");
        QTest::newRow("form delimiters escaped") << "a&b=c+d" << QByteArray("a%26b%3Dc%2Bd");
        QTest::newRow("other ASCII escaped upper-case")
            << "~!%/:?#\t" << QByteArray("%7E%21%25%2F%3A%3F%23%09");
        QTest::newRow("non-ASCII as UTF-8 bytes")
            << u"üß€"_s << QByteArray("%C3%BC%C3%9F%E2%82%AC");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void formEncodesNamesAndValues() {
        QFETCH(QString, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(FormEncode(text), encoded);
    }

    void readsFieldValues_data() {
        QTest::addColumn<QStringList>("response");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        const QStringList answer{u"Result=Ok"_s, u"junk line"_s, u"Files=2"_s,
                                 u"Error=a=b"_s, u"files=9"_s,   u"=x"_s};
        QTest::newRow("plain") << answer << "Result"
                               << "Ok";
        QTest::newRow("name in other letter case") << answer << "FILES"
                                                   << "2";
        QTest::newRow("first line wins") << answer << "files"
                                         << "2";
        QTest::newRow("value holding =") << answer << "Error"
                                         << "a=b";
        QTest::newRow("absent") << answer << "Date1"
                                << "";
        QTest::newRow("line without = never matches") << answer << "junk line"
                                                      << "";
        QTest::newRow("a prefix of a name is no match") << answer << "File"
                                                        << "";
    }
    void readsFieldValues() {
        QFETCH(QStringList, response);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QCOMPARE(ApiValue(response, name), value);
    }

    void successIsResultOkExactly_data() {
        QTest::addColumn<QStringList>("response");
        QTest::addColumn<bool>("success");
        QTest::newRow("Result=Ok") << QStringList{u"Result=Ok"_s} << true;
        QTest::newRow("field name in lower case") << QStringList{u"result=Ok"_s} << true;
        QTest::newRow("value in upper case") << QStringList{u"Result=OK"_s} << false;
        QTest::newRow("value with blank") << QStringList{u"Result=Ok "_s} << false;
        QTest::newRow("no Result") << QStringList{u"Files=1"_s} << false;
        QTest::newRow("empty answer") << QStringList{} << false;
    }
    void successIsResultOkExactly() {
        QFETCH(QStringList, response);
        QFETCH(bool, success);
        QCOMPARE(IsApiSuccess(response), success);
    }

    void decodesAndSplitsAnswers_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF, final break adds no line")
            << QByteArray("a\r\nb\r\n") << QByteArray() << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("CR only") << QByteArray("a\rb\rc") << QByteArray()
                                 << QStringList{u"a"_s, u"b"_s, u"c"_s};
        QTest::newRow("LF and mixed") << QByteArray("a\nb\r\rc\n\r\nd") << QByteArray()
                                      << QStringList{u"a"_s, u"b"_s, u""_s, u"c"_s, u""_s, u"d"_s};
        QTest::newRow("blank lines kept") << QByteArray("a\r\n\r\n\r\nb") << QByteArray()
                                          << QStringList{u"a"_s, u""_s, u""_s, u"b"_s};
        QTest::newRow("empty body") << QByteArray() << QByteArray() << QStringList{};
        QTest::newRow("only a break") << QByteArray("\r\n") << QByteArray() << QStringList{u""_s};
        QTest::newRow("no charset: byte for byte")
            << QByteArray("\xC3\xBC\x80") << QByteArray() << QStringList{u"\u00C3\u00BC\u0080"_s};
        QTest::newRow("unknown charset: byte for byte")
            << QByteArray("\xFC") << QByteArray("no-such-set")
            << QStringList{u"Error=The server answered in the character set \"no-such-set\", "
                           "which this program does not know"_s,
                           u"\u00FC"_s};
        QTest::newRow("unknown charset, success as it is")
            << QByteArray("Result=Ok") << QByteArray("no-such-set") << QStringList{u"Result=Ok"_s};
        QTest::newRow("unknown charset, the server's own error kept")
            << QByteArray("Result=Error\nError=busy") << QByteArray("no-such-set")
            << QStringList{u"Result=Error"_s, u"Error=busy"_s};
        QTest::newRow("utf-8") << QByteArray("Name=M\xC3\xBCller") << QByteArray("UTF-8")
                               << QStringList{u"Name=Müller"_s};
        QTest::newRow("windows-1252")
            << QByteArray("\x80 \xFC") << QByteArray("windows-1252") << QStringList{u"€ ü"_s};
        // A large answer is decoded a mebibyte at a time: a break or a character on the seam.
        const QByteArray mib((1 << 20) - 1, 'a');
        QTest::newRow("CR LF across the seam")
            << mib + "\r\nb" << QByteArray() << QStringList{QString::fromLatin1(mib), u"b"_s};
        QTest::newRow("CR CR across the seam")
            << mib + "\r\rb" << QByteArray()
            << QStringList{QString::fromLatin1(mib), u""_s, u"b"_s};
        QTest::newRow("utf-8 character across the seam")
            << mib + "\xC3\xBC" << QByteArray("UTF-8")
            << QStringList{QString::fromLatin1(mib) + u"ü"_s};
    }
    void decodesAndSplitsAnswers() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, charset);
        QFETCH(QStringList, lines);
        QCOMPARE(DecodeApiAnswer(body, charset), lines);
    }

    void sendsTheRequestTheServerExpects() {
        InTestServer server([](const httplib::Request&, httplib::Response& res) {
            res.set_content("Result=Ok\r\n", "text/html");
        });
        const ApiRequest fields{{u"Command"_s, u"TournamentsResults"_s},
                                {u"Password"_s, u"a&b=c+d e ü€"_s},
                                {u"Date"_s, u"2024-03-01"_s},
                                {u"Name"_s, u"Sunday Special"_s}};
        QCOMPARE(PostApiCommand(server.url(), fields), QStringList{u"Result=Ok"_s});

        QCOMPARE(server.seen().size(), 1);
        const SeenRequest seen = server.seen().first();
        QCOMPARE(seen.method, "POST");
        QCOMPARE(seen.version, "HTTP/1.0");
        QCOMPARE(seen.path, "/api");
        QCOMPARE(seen.headers.value("user-agent"), "Mozilla/5.0 (compatible; ZV Server)");
        QCOMPARE(seen.headers.value("accept"), "text/html, */*");
        QCOMPARE(seen.headers.value("content-type"), "application/x-www-form-urlencoded");
        QCOMPARE(seen.body, "Command=TournamentsResults&Password=a%26b%3Dc%2Bd+e+%C3%BC%E2%82%AC"
                            "&Date=2024-03-01&Name=Sunday+Special");
    }

    void readsWhatTheServerAnswers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("lines"); // kFailed: the failure answer for the URL
        QTest::newRow("charset named in the answer")
            << 200 << QByteArray("text/plain; charset=windows-1252")
            << QByteArray("Result=Ok\r\nName1=\x80\xFC")
            << QStringList{u"Result=Ok"_s, u"Name1=€ü"_s};
        QTest::newRow("error answer without Error")
            << 200 << QByteArray("text/html") << QByteArray("Result=Error\r\n")
            << QStringList{u"Result=Error"_s};
        QTest::newRow("other 2xx status is success")
            << 203 << QByteArray("text/html") << QByteArray("Result=Ok")
            << QStringList{u"Result=Ok"_s};
        QTest::newRow("HTTP 500 with a body")
            << 500 << QByteArray("text/html") << QByteArray("Result=Ok") << kFailed;
        QTest::newRow("HTTP 404") << 404 << QByteArray("text/html") << QByteArray("Result=Ok")
                                  << kFailed;
        QTest::newRow("redirect is not followed")
            << 302 << QByteArray("text/html") << QByteArray("Result=Ok") << kFailed;
        // %1: the URL.
        QTest::newRow("204 without a body: no Result line")
            << 204 << QByteArray("text/html") << QByteArray()
            << QStringList{u"Result=Error"_s, u"Error=No \"Result\" line in the answer from %1 "
                                              "(HTTP 204, 0 bytes)"_s};
        QTest::newRow("UTF-16 without a charset: no Result line")
            << 200 << QByteArray("text/html")
            << QByteArray::fromRawData(reinterpret_cast<const char*>(u"Result=Ok\r\n"), 22)
            << QStringList{u"Result=Error"_s, u"Error=No \"Result\" line in the answer from %1 "
                                              "(HTTP 200, 22 bytes)"_s};
        QTest::newRow("no Result line, but an Error text")
            << 200 << QByteArray("text/html") << QByteArray("Error=busy")
            << QStringList{u"Error=busy"_s};
    }
    void readsWhatTheServerAnswers() {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, lines);
        InTestServer server([&](const httplib::Request& req, httplib::Response& res) {
            if (req.path == "/elsewhere") {
                res.set_content("Result=Ok\r\n", "text/html");
                return;
            }
            res.status = status;
            if (status == 302)
                res.set_header("Location", "/elsewhere");
            res.set_content(body.toStdString(), contentType.toStdString());
        });
        QStringList expected = lines == kFailed ? FailureFor(server.url()) : lines;
        expected.replaceInStrings(u"%1"_s, server.url());
        QCOMPARE(PostApiCommand(server.url(), {{u"Command"_s, u"x"_s}}), expected);
        QCOMPARE(server.seen().size(), 1); // a redirect is never followed
    }

    void failedExchangesGiveTheErrorAnswer_data() {
        QTest::addColumn<QString>("url");
        const QString refused = u"http://127.0.0.1:%1/api"_s.arg(RefusedPort());
        QTest::newRow("refused port") << refused;
        QTest::newRow("port typed with a leading blank") << u"http://127.0.0.1: 8087/api"_s;
        QTest::newRow("upper-case scheme doubled") << u"http://HTTP://127.0.0.1:8087/api"_s;
    }
    void failedExchangesGiveTheErrorAnswer() {
        QFETCH(QString, url);
        QCOMPARE(PostApiCommand(url, {{u"Command"_s, u"x"_s}}), FailureFor(url));
    }

    void tlsToAPlainServerFails() {
        InTestServer server([](const httplib::Request&, httplib::Response& res) {
            res.set_content("Result=Ok", "text/html");
        });
        const QString url = u"https://127.0.0.1:%1/api"_s.arg(server.port());
        QCOMPARE(PostApiCommand(url, {}, {2000, 2}), FailureFor(url));
    }

    void onlyHttpAndHttpsAreSpoken() {
        // A host text holding "http" gets no scheme, so "file://.../http" would name a file; the
        // client must not read it.
        QTemporaryDir dir;
        WriteFileBytes(dir.filePath(u"http:8087/api"_s), "Result=Ok\n");
        const QString url =
            BuildApiUrl({u"file://"_s + dir.path() + u"/http"_s, u"8087"_s, u"api"_s, u"pw"_s});
        QCOMPARE(url, u"file://"_s + dir.path() + u"/http:8087/api"_s);
        QCOMPARE(PostApiCommand(url, {}), FailureFor(url));
    }

    void aServerThatNeverAnswersEndsByTheStallTimeOut() {
        SilentListener silent;
        const QString url = u"http://127.0.0.1:%1/api"_s.arg(silent.port());
        QElapsedTimer timer;
        timer.start();
        // No body: bytes sent count as traffic, and they would hold the stall off for a while.
        QCOMPARE(PostApiCommand(url, {}, {15000, 1}), FailureFor(url));
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
    }

    void aSlowButFlowingAnswerIsNeverCut() {
        // Ten lines, one every 300 ms: three seconds in all, well past a stall time of one second.
        QList<ScriptedServer::Piece> pieces{
            {0, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nResult=Ok\r\n"}};
        QStringList expected{u"Result=Ok"_s};
        for (int i = 1; i <= 10; ++i) {
            pieces.append({300, "L=" + QByteArray::number(i) + "\r\n"});
            expected.append(u"L="_s + QString::number(i));
        }
        ScriptedServer server(pieces);
        QCOMPARE(PostApiCommand(server.url(), {}, {15000, 1, 1}), expected);
    }

    void answersOverTheLimitsEndWithTheirMessage_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("pieceBytes");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("totalSeconds");
        QTest::addColumn<QString>("error"); // %1: the URL
        const QByteArray plain = StreamingServer::Stream().head;
        const QString slow = u"Error=Could not connect to %1"_s;
        const QString large = u"Error=Answer from %1 is larger than 256 MiB"_s;
        QTest::newRow("trickle: a byte every 100 ms") << plain << 600 << 1 << 100 << 0 << slow;
        QTest::newRow("flowing, but longer than the whole-exchange limit")
            << plain << 600 << 4096 << 100 << 1 << slow;
        QTest::newRow("300 MB without a length") << plain << 4800 << 65536 << 0 << 0 << large;
        QTest::newRow("300 MB announced")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 314572800\r\n\r\n") << 4800 << 65536
            << 0 << 0 << large;
    }
    void answersOverTheLimitsEndWithTheirMessage() {
        QFETCH(QByteArray, head);
        QFETCH(int, pieces);
        QFETCH(int, pieceBytes);
        QFETCH(int, delayMs);
        QFETCH(int, totalSeconds);
        QFETCH(QString, error);
        StreamingServer server({head, pieces, pieceBytes, delayMs});
        ApiTimeouts limits;
        limits.stallSeconds = 1; // a trickle is told apart from a flow within a second or two
        limits.totalSeconds = totalSeconds;
        ResetPeakMemory();
        QCOMPARE(PostApiCommand(server.url(), {}, limits),
                 (QStringList{u"Result=Error"_s, error.arg(server.url())}));
        const qint64 peak = PeakMemoryBytes();
        qInfo("peak memory %lld MiB", peak >> 20);
        QVERIFY2(peak < MemoryBound(qint64(256 + 64) << 20),
                 qPrintable(QString::number(peak >> 20)));
    }

    void aCancelEndsTheRequestAtOnceWhileTheCallerBreathes() {
        SilentListener silent;
        const QString url = u"http://127.0.0.1:%1/api"_s.arg(silent.port());
        RunControl run;
        QElapsedTimer timer;
        timer.start();
        int breaths = 0;
        RunControl::setBreathingHook([&] {
            ++breaths;
            if (timer.elapsed() > 300)
                run.cancel();
        });
        QVERIFY_THROWS_EXCEPTION(RunCancelled, PostApiCommand(url, {}, {15000, 60}));
        RunControl::setBreathingHook({});
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(breaths >= 5); // the wait went on in the worker
    }
};

QTEST_GUILESS_MAIN(TestApiClient)
#include "test_apiclient.moc"
