#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

/// What an in-test server saw of one request.
struct SeenRequest {
    QByteArray method;
    QByteArray version;
    QByteArray path;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

/// An HTTP server inside the test on a free loopback port. The handler writes the answer; every
/// request is recorded.
class InTestServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    explicit InTestServer(Handler handler);
    ~InTestServer();

    int port() const { return m_port; }
    QString url(const QString& path = QStringLiteral("api")) const;
    QList<SeenRequest> seen() const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    QList<SeenRequest> m_seen;
};

/// A listening socket on a free loopback port that never accepts: the kernel completes the
/// connection, and then nothing ever answers.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

/// A raw server on a free loopback port for answers no HTTP library writes: it takes one
/// connection, reads the request, then writes each piece after its delay and closes.
class ScriptedServer {
public:
    struct Piece {
        int delayMs;
        QByteArray bytes;
    };
    explicit ScriptedServer(QList<Piece> pieces);
    ~ScriptedServer();
    QString url() const;

private:
    int m_fd = -1;
    int m_port = 0;
    std::thread m_thread;
};

/// A raw server on a free loopback port that sends a long answer: the head, then the given number
/// of pieces of "x" bytes, each after its delay, until the client hangs up.
class StreamingServer {
public:
    struct Stream {
        QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nResult=Ok\r\n";
        qint64 pieces = 0;
        int pieceBytes = 1;
        int delayMs = 0;
    };
    explicit StreamingServer(const Stream& stream);
    ~StreamingServer();
    QString url() const;

private:
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

/// A loopback port on which nothing listens (a connection to it is refused).
int RefusedPort();

/// The real zvfee-demo-server of the build, started on a folder with a free port.
class DemoServer {
public:
    struct Options {
        QString folder;
        QString password;
        QString tlsCert;
        QString tlsKey;
        QString answerEnd = {}; ///< "length", "chunked" or "close"; empty: the server's default
    };
    explicit DemoServer(const Options& options);
    ~DemoServer();

    bool started() const { return m_port > 0; }
    int port() const { return m_port; }
    /// Everything the server wrote so far.
    QString log();
    /// Stops with SIGTERM; true when the server ended by itself with code 0.
    bool stop();

private:
    QProcess m_process;
    QByteArray m_output;
    int m_port = 0;
};

/// Path of a program in the build folder root.
QString BuildProgram(const QString& name);

/// Makes a self-signed certificate and key (PEM) in the folder with the openssl command; false when
/// that fails.
bool MakeTlsCertificate(const QString& folder, QString* cert, QString* key);
