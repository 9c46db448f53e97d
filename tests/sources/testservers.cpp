#include "testservers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <httplib.h>

#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

InTestServer::InTestServer(Handler handler) : m_server(std::make_unique<httplib::Server>()) {
    auto record = [this, handler](const httplib::Request& req, httplib::Response& res) {
        SeenRequest seen;
        seen.method = QByteArray::fromStdString(req.method);
        seen.version = QByteArray::fromStdString(req.version);
        seen.path = QByteArray::fromStdString(req.path);
        for (const auto& [name, value] : req.headers)
            seen.headers.insert(QByteArray::fromStdString(name).toLower(),
                                QByteArray::fromStdString(value));
        seen.body = QByteArray::fromStdString(req.body);
        {
            const std::lock_guard lock(m_mutex);
            m_seen.append(seen);
        }
        handler(req, res);
    };
    m_server->Post(".*", record);
    m_server->Get(".*", record);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

InTestServer::~InTestServer() {
    m_server->stop();
    m_thread.join();
}

QString InTestServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(path);
}

QList<SeenRequest> InTestServer::seen() const {
    const std::lock_guard lock(m_mutex);
    return m_seen;
}

namespace {
int BindLoopback(int fd) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return 0;
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

/// Reads a request: its head, then as many body bytes as Content-Length names.
void ReadRequest(int conn) {
    QByteArray request;
    char buffer[4096];
    qsizetype needed = -1;
    while (needed < 0 || request.size() < needed) {
        const ssize_t got = recv(conn, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, got);
        const qsizetype headEnd = request.indexOf("\r\n\r\n");
        if (needed < 0 && headEnd >= 0) {
            const QByteArray head = request.left(headEnd).toLower();
            const qsizetype at = head.indexOf("content-length:");
            const qsizetype length =
                at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLong();
            needed = headEnd + 4 + length;
        }
    }
}
} // namespace

SilentListener::SilentListener() : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
    m_port = BindLoopback(m_fd);
    listen(m_fd, 8);
}

SilentListener::~SilentListener() {
    close(m_fd);
}

ScriptedServer::ScriptedServer(QList<Piece> pieces) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
    m_port = BindLoopback(m_fd);
    listen(m_fd, 1);
    m_thread = std::thread([fd = m_fd, pieces = std::move(pieces)] {
        const int conn = accept(fd, nullptr, nullptr);
        if (conn < 0)
            return;
        ReadRequest(conn);
        for (const Piece& piece : pieces) {
            std::this_thread::sleep_for(std::chrono::milliseconds(piece.delayMs));
            send(conn, piece.bytes.constData(), size_t(piece.bytes.size()), MSG_NOSIGNAL);
        }
        close(conn);
    });
}

ScriptedServer::~ScriptedServer() {
    shutdown(m_fd, SHUT_RDWR); // wakes an accept that never got a connection
    m_thread.join();
    close(m_fd);
}

QString ScriptedServer::url() const {
    return QStringLiteral("http://127.0.0.1:%1/api").arg(m_port);
}

StreamingServer::StreamingServer(const Stream& stream) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
    m_port = BindLoopback(m_fd);
    listen(m_fd, 1);
    m_thread = std::thread([this, fd = m_fd, stream] {
        const int conn = accept(fd, nullptr, nullptr);
        if (conn < 0)
            return;
        ReadRequest(conn);
        send(conn, stream.head.constData(), size_t(stream.head.size()), MSG_NOSIGNAL);
        const QByteArray piece(stream.pieceBytes, 'x');
        for (qint64 i = 0; i < stream.pieces && !m_stop.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(stream.delayMs));
            if (send(conn, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL) < 0)
                break; // the client hung up
        }
        close(conn);
    });
}

StreamingServer::~StreamingServer() {
    m_stop.store(true);
    shutdown(m_fd, SHUT_RDWR);
    m_thread.join();
    close(m_fd);
}

QString StreamingServer::url() const {
    return QStringLiteral("http://127.0.0.1:%1/api").arg(m_port);
}

int RefusedPort() {
    // A port bound but not listening refuses connections for as long as it stays bound; the port
    // is released right after, and a quick reuse by someone else is unlikely enough for a test.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int port = BindLoopback(fd);
    close(fd);
    return port;
}

QString BuildProgram(const QString& name) {
    return QStringLiteral(ZV_BUILD_DIR "/") + name;
}

DemoServer::DemoServer(const Options& options) {
    QStringList args{QStringLiteral("--folder"), options.folder, QStringLiteral("--port"),
                     QStringLiteral("0")};
    if (!options.password.isEmpty())
        args << QStringLiteral("--password") << options.password;
    if (!options.tlsCert.isEmpty())
        args << QStringLiteral("--tls-cert") << options.tlsCert << QStringLiteral("--tls-key")
             << options.tlsKey;
    if (!options.answerEnd.isEmpty())
        args << QStringLiteral("--answer-end") << options.answerEnd;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(BuildProgram(QStringLiteral("zvfee-demo-server")), args);
    if (!m_process.waitForStarted(10000))
        return;
    static const QRegularExpression listening(QStringLiteral("Listening on port (\\d+)"));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000 && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        m_output += m_process.readAll();
        const auto match = listening.match(QString::fromUtf8(m_output));
        if (match.hasMatch()) {
            m_port = match.captured(1).toInt();
            return;
        }
    }
}

DemoServer::~DemoServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString DemoServer::log() {
    m_output += m_process.readAll();
    return QString::fromUtf8(m_output);
}

bool DemoServer::stop() {
    m_process.terminate();
    const bool ended = m_process.waitForFinished(5000);
    m_output += m_process.readAll();
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool MakeTlsCertificate(const QString& folder, QString* cert, QString* key) {
    *cert = QDir(folder).filePath(QStringLiteral("cert.pem"));
    *key = QDir(folder).filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), *key, QStringLiteral("-out"), *cert,
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1")});
    return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0;
}
