#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

/// The four texts of the Remote tab that address the poker server. They are tested after
/// trimming but used exactly as typed, blanks included.
struct ServerFields {
    QString host;
    QString port;
    QString path;
    QString password;
};

/// Which server field a check found missing (so a caller can choose the kind of its message).
enum class ServerField { Host, Port, Path, Password };

struct MissingServerField {
    ServerField field;
    QString message;
};

/// The text with leading and trailing blanks and control characters (codes up to 32) removed.
QString TrimBlanksAndControls(const QString& text);

/// Nothing when all four fields hold text after trimming, else the first missing one in the order
/// host, port, path, password with its message ("No IP specified", ...).
std::optional<MissingServerField> CheckServerFields(const ServerFields& fields);

/// The URL of the server API: the host (with "http://" in front unless it holds "http" in lower
/// case anywhere), ":" and the port unless the port is exactly "80", then "/" and the path.
QString BuildApiUrl(const ServerFields& fields);

/// One form field of a request.
struct ApiField {
    QString name;
    QString value;
};
using ApiRequest = QList<ApiField>;

/// A name or value in form encoding: a blank as "+", A-Z a-z 0-9 and "*-._" as they are, every
/// other character as its UTF-8 bytes, each written "%XX" with upper-case hex digits.
QByteArray FormEncode(const QString& text);
/// The request body: the encoded fields joined by "&", each as encoded name "=" encoded value.
QByteArray FormBody(const ApiRequest& fields);

/// A server answer as text lines.
using ApiResponse = QStringList;

/// The value of the first line whose text before its first "=" equals the name, letter case
/// ignored; empty text when there is no such line.
QString ApiValue(const ApiResponse& response, const QString& name);

/// True when the answer's Result is exactly "Ok" (letter case of the value included).
bool IsApiSuccess(const ApiResponse& response);

/// True when a line of the answer names the field (as ApiValue finds it), whatever its value.
bool HasApiField(const ApiResponse& response, const QString& name);

/// How long an exchange may wait and how much it may bring. A connection that is not made within
/// connectMs fails; an answer slower than lowSpeedBytes a second for stallSeconds fails (a
/// trickle is a stall); an answer larger than maxAnswerBytes fails; a whole exchange longer than
/// totalSeconds fails (0: no limit).
struct ApiTimeouts {
    long connectMs = 15000;
    long stallSeconds = 60;
    long lowSpeedBytes = 1024;
    long totalSeconds = 0;
    qint64 maxAnswerBytes = qint64(256) << 20;
};

/// The limits of a request that names none. The command line sets the whole-request limit here;
/// tests shorten the others so that they run fast.
ApiTimeouts DefaultApiTimeouts();
void SetDefaultApiTimeouts(const ApiTimeouts& timeouts);

/// How the server marked the end of an answer: by a Content-Length that the body met, by the
/// last chunk of a chunked body, or only by closing the connection. Only in the last case can an
/// answer that a failure cut short look whole.
enum class AnswerEnd { Length, Chunked, Close };

/// The lines of an answer and how its end was marked (Close for a failed exchange).
struct ApiExchange {
    ApiResponse response;
    AnswerEnd end = AnswerEnd::Close;
};

/// Posts the fields form-encoded to the URL (HTTP/1.0, TLS up to 1.2 without certificate check for
/// https addresses) and returns the answer's lines. A failed exchange, a status outside 2xx and
/// a redirect included, gives the two lines "Result=Error" and "Error=Could not connect to " +
/// URL; an answer over the size limit gives "Error=Answer from " + URL + " is larger than 256
/// MiB" (the limit's own size when another is set). An answer with neither a Result line nor an
/// Error text gives "Error=No "Result" line in the answer from URL (HTTP STATUS, N bytes)".
///
/// Within a run (RunControl) the exchange goes on in a worker thread while the calling thread
/// breathes; a cancel ends it within a few tens of milliseconds and raises RunCancelled.
ApiExchange ExchangeApiCommand(const QString& url, const ApiRequest& fields,
                               const ApiTimeouts& timeouts = DefaultApiTimeouts());
/// The same, for a caller that needs only the lines.
ApiResponse PostApiCommand(const QString& url, const ApiRequest& fields,
                           const ApiTimeouts& timeouts = DefaultApiTimeouts());

/// The answer body turned into lines: decoded by the named character set (ISO-8859-1 when none is
/// named or the name is unknown), split at CR LF, CR and LF, no empty last line for a final break.
/// A failure answer in an unknown set without an Error text gets one that names the set.
ApiResponse DecodeApiAnswer(const QByteArray& body, const QByteArray& charset);

/// The character set named by a Content-Type header value ("text/plain; charset=utf-8" -> "utf-8"),
/// empty when none.
QByteArray CharsetOfContentType(const QByteArray& contentType);
