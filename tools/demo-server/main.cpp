// zvfee-demo-server: answers the poker server's TournamentsResults command from a folder of
// results files, over HTTP or HTTPS, so the Remote tab and the tests have a server to talk to.

#include "resultsfolder.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <httplib.h>
#include <openssl/ssl.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

std::mutex g_logMutex;

void LogLine(const QString& text) {
    const std::lock_guard lock(g_logMutex);
    const QByteArray line =
        (QDateTime::currentDateTime().toString(u"yyyy-MM-dd hh:mm:ss"_s) + u' ' + text + u'\n')
            .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

int Fail(const QString& message) {
    std::fprintf(stderr, "zvfee-demo-server: %s\n", message.toUtf8().constData());
    return 2;
}

/// One log line: who asked what, and how it was answered.
QString DescribeRequest(const httplib::Request& req, const QMap<QString, QString>& fields,
                        const QList<QString>& answer) {
    QString text = QString::fromStdString(req.remote_addr) + u' ' +
                   QString::fromStdString(req.method) + u' ' + QString::fromStdString(req.path) +
                   u' ' + QString::fromStdString(req.version);
    if (req.ssl)
        text += u' ' + QString::fromLatin1(SSL_get_version(req.ssl));
    if (fields.contains(u"Command"_s))
        text += u" Command="_s + fields.value(u"Command"_s);
    if (fields.contains(u"Date"_s) || fields.contains(u"Name"_s))
        text += u" Date="_s + fields.value(u"Date"_s) + u" Name="_s + fields.value(u"Name"_s);
    if (!answer.isEmpty())
        text += u" -> "_s + answer.first();
    if (answer.size() > 1 && answer.first() != u"Result=Ok")
        text += u' ' + answer.at(1);
    else if (answer.size() > 1)
        text += u" ("_s + QString::number(answer.size() - 1) + u" lines)"_s;
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"zvfee-demo-server"_s);
    QCoreApplication::setApplicationVersion(ProgramVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Serves a folder of tournament results files (TR<date> <name>.txt) through the poker "
        "server's TournamentsResults API."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOpt(u"folder"_s, u"Folder of results files."_s, u"DIR"_s);
    const QCommandLineOption passwordOpt(
        u"password"_s, u"API password to require (any password when none is given)."_s, u"PW"_s);
    const QCommandLineOption portOpt(u"port"_s, u"Port to listen on (0: any free port)."_s,
                                     u"PORT"_s, u"8087"_s);
    const QCommandLineOption bindOpt(u"bind"_s, u"Address to listen on."_s, u"ADDRESS"_s,
                                     u"127.0.0.1"_s);
    const QCommandLineOption pathOpt(u"path"_s, u"API path."_s, u"PATH"_s, u"api"_s);
    const QCommandLineOption certOpt(u"tls-cert"_s, u"Certificate (PEM) for HTTPS."_s, u"FILE"_s);
    const QCommandLineOption keyOpt(u"tls-key"_s, u"Private key (PEM) for HTTPS."_s, u"FILE"_s);
    const QCommandLineOption endOpt(
        u"answer-end"_s,
        u"How an answer's end is marked: length (a Content-Length), chunked, or close (only the "
        "closing of the connection, as some servers do)."_s,
        u"KIND"_s, u"length"_s);
    parser.addOptions({folderOpt, passwordOpt, portOpt, bindOpt, pathOpt, certOpt, keyOpt, endOpt});
    parser.process(app);

    if (!parser.isSet(folderOpt))
        return Fail(u"--folder DIR is required"_s);
    const QString folder = parser.value(folderOpt);
    if (!QFileInfo(folder).isDir())
        return Fail(u"not a folder: "_s + folder);
    bool portOk = false;
    const int port = parser.value(portOpt).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535)
        return Fail(u"not a port number: "_s + parser.value(portOpt));
    if (parser.isSet(certOpt) != parser.isSet(keyOpt))
        return Fail(u"--tls-cert and --tls-key go together"_s);
    const bool tls = parser.isSet(certOpt);
    const QString answerEnd = parser.value(endOpt);
    if (answerEnd != u"length" && answerEnd != u"chunked" && answerEnd != u"close")
        return Fail(u"--answer-end is length, chunked or close"_s);

    std::unique_ptr<httplib::Server> server;
    if (tls) {
        auto sslServer =
            std::make_unique<httplib::SSLServer>(parser.value(certOpt).toLocal8Bit().constData(),
                                                 parser.value(keyOpt).toLocal8Bit().constData());
        if (!sslServer->is_valid())
            return Fail(u"cannot use the TLS certificate or key"_s);
        server = std::move(sslServer);
    } else {
        server = std::make_unique<httplib::Server>();
    }

    const ResultsFolder results(QDir(folder).absolutePath(), parser.value(passwordOpt));
    const std::string apiPath = "/" + parser.value(pathOpt).toStdString();
    server->Post(apiPath, [&results, answerEnd](const httplib::Request& req,
                                                httplib::Response& res) {
        const QMap<QString, QString> fields = DecodeFormBody(QByteArray::fromStdString(req.body));
        const QList<QString> answer = results.answer(fields);
        const auto body = std::make_shared<const QByteArray>(ResultsFolder::answerBody(answer));
        const char* type = "text/html; charset=utf-8";
        if (answerEnd == u"length") {
            res.set_content(body->constData(), size_t(body->size()), type);
        } else {
            // Written in one piece, then the end: the last chunk, or the close of the connection.
            const auto provide = [body](size_t offset, httplib::DataSink& sink) {
                if (offset < size_t(body->size()))
                    sink.write(body->constData() + offset, size_t(body->size()) - offset);
                else
                    sink.done();
                return true;
            };
            if (answerEnd == u"chunked")
                res.set_chunked_content_provider(type, provide);
            else
                res.set_content_provider(type, provide);
        }
        LogLine(DescribeRequest(req, fields, answer));
    });
    server->set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        LogLine(QString::fromStdString(req.remote_addr) + u' ' +
                QString::fromStdString(req.method) + u' ' + QString::fromStdString(req.path) +
                u" -> HTTP "_s + QString::number(res.status));
    });

    // SIGINT and SIGTERM are taken by the main thread with sigwait; the server threads never see
    // them, so the stop happens outside any signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const std::string bindAddress = parser.value(bindOpt).toStdString();
    int boundPort = port;
    if (port == 0)
        boundPort = server->bind_to_any_port(bindAddress);
    else if (!server->bind_to_port(bindAddress, port))
        boundPort = -1;
    if (boundPort <= 0)
        return Fail(u"cannot listen on "_s + parser.value(bindOpt) + u':' + parser.value(portOpt));

    LogLine(u"Serving "_s + QDir(folder).absolutePath() + u" at "_s +
            (tls ? u"https"_s : u"http"_s) + u"://"_s + parser.value(bindOpt) + u':' +
            QString::number(boundPort) + QString::fromStdString(apiPath) +
            (parser.isSet(passwordOpt) ? u" (password required)"_s : u" (any password)"_s));
    LogLine(u"Listening on port "_s + QString::number(boundPort));

    std::thread listener([&server] {
        server->listen_after_bind();
        // When listening ends on its own (an error), the main thread must wake up too; after a
        // stop the signal stays blocked and pending, and is lost at exit.
        kill(getpid(), SIGTERM);
    });
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server->stop();
    listener.join();
    LogLine(u"Stopped"_s);
    return 0;
}
