#include "apiclient.h"

#include "runcontrol.h"

#include <QStringDecoder>
#include <atomic>
#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

QString TrimBlanksAndControls(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

std::optional<MissingServerField> CheckServerFields(const ServerFields& fields) {
    const struct {
        ServerField field;
        const QString& text;
        const char16_t* message;
    } checks[] = {
        {ServerField::Host, fields.host, u"No IP specified"},
        {ServerField::Port, fields.port, u"No File Port specified"},
        {ServerField::Path, fields.path, u"No API Path specified (default is \"api\")"},
        {ServerField::Password, fields.password, u"No API Password specified"},
    };
    for (const auto& check : checks) {
        if (TrimBlanksAndControls(check.text).isEmpty())
            return MissingServerField{check.field, QString::fromUtf16(check.message)};
    }
    return std::nullopt;
}

QString BuildApiUrl(const ServerFields& fields) {
    QString url = fields.host;
    if (!url.contains(u"http", Qt::CaseSensitive))
        url.prepend(u"http://");
    if (fields.port != u"80")
        url += u':' + fields.port;
    url += u'/' + fields.path;
    return url;
}

QByteArray FormEncode(const QString& text) {
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            out += '+';
        } else if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                   (byte >= '0' && byte <= '9') || byte == '*' || byte == '-' || byte == '.' ||
                   byte == '_') {
            out += char(byte);
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0x0F];
        }
    }
    return out;
}

QByteArray FormBody(const ApiRequest& fields) {
    QByteArray body;
    for (const ApiField& field : fields) {
        if (!body.isEmpty())
            body += '&';
        body += FormEncode(field.name) + '=' + FormEncode(field.value);
    }
    return body;
}

namespace {

/// The first line that names the field, or nullptr.
const QString* FindApiField(const ApiResponse& response, const QString& name) {
    for (const QString& line : response) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return &line;
    }
    return nullptr;
}

} // namespace

QString ApiValue(const ApiResponse& response, const QString& name) {
    const QString* line = FindApiField(response, name);
    return line ? line->mid(line->indexOf(u'=') + 1) : QString();
}

bool HasApiField(const ApiResponse& response, const QString& name) {
    return FindApiField(response, name) != nullptr;
}

bool IsApiSuccess(const ApiResponse& response) {
    return ApiValue(response, QStringLiteral("Result")) == u"Ok";
}

QByteArray CharsetOfContentType(const QByteArray& contentType) {
    const QList<QByteArray> params = contentType.split(';');
    for (qsizetype i = 1; i < params.size(); ++i) {
        const QByteArray param = params.at(i).trimmed();
        const qsizetype eq = param.indexOf('=');
        if (eq < 0 || param.left(eq).trimmed().toLower() != "charset")
            continue;
        QByteArray value = param.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

ApiResponse DecodeApiAnswer(const QByteArray& body, const QByteArray& charset) {
    std::optional<QStringDecoder> decoder;
    if (!charset.isEmpty()) {
        decoder.emplace(charset.constData());
        if (!decoder->isValid())
            decoder.reset();
    }
    // Decoded and split a piece at a time, so that a large answer is never held as one whole
    // text beside its bytes and its lines.
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    ApiResponse lines;
    QString current;
    bool afterCr = false;
    for (qsizetype at = 0; at < body.size(); at += kPiece) {
        const QByteArrayView bytes =
            QByteArrayView(body).sliced(at, qMin(kPiece, body.size() - at));
        const QString text = decoder ? QString(decoder->decode(bytes)) : QString::fromLatin1(bytes);
        if (text.isEmpty())
            continue;
        // The LF of a CR LF whose CR ended the piece before.
        qsizetype start = afterCr && text.front() == u'\n' ? 1 : 0;
        afterCr = false;
        for (qsizetype i = start; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c != u'\r' && c != u'\n')
                continue;
            const QStringView piece = QStringView(text).mid(start, i - start);
            if (current.isEmpty()) {
                lines.append(piece.toString());
            } else {
                current += piece;
                lines.append(std::exchange(current, QString()));
            }
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            else if (c == u'\r' && i + 1 == text.size())
                afterCr = true;
            start = i + 1;
        }
        current += QStringView(text).mid(start);
    }
    if (!current.isEmpty())
        lines.append(current);
    // A failure that says nothing would be an empty box; when the set was unknown, that is why.
    if (!charset.isEmpty() && !decoder && !IsApiSuccess(lines) &&
        ApiValue(lines, QStringLiteral("Error")).isEmpty())
        lines.prepend(QStringLiteral("Error=The server answered in the character set \"%1\", "
                                     "which this program does not know")
                          .arg(QString::fromLatin1(charset)));
    return lines;
}

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

/// The answer as it comes in, cut off at the size limit.
struct AnswerSink {
    QByteArray body;
    qint64 limit = 0;
    bool tooLarge = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
    auto* sink = static_cast<AnswerSink*>(target);
    const qsizetype n = qsizetype(size * count);
    if (sink->body.size() + n > sink->limit) {
        sink->tooLarge = true;
        sink->body = QByteArray(); // nothing of a refused answer is kept
        return 0;                  // ends the transfer
    }
    sink->body.append(data, n);
    return size * count;
}

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

ApiResponse FailedExchange(const QString& url) {
    return {QStringLiteral("Result=Error"), QStringLiteral("Error=Could not connect to ") + url};
}

/// An answer that ended before its announced length: still a failed exchange, with a field that
/// lets a caller which reads the answer as a file say so.
ApiResponse CutAnswer(const QString& url) {
    return FailedExchange(url) << QStringLiteral("Cut=The answer ends before its announced length");
}

/// An answer that is no answer of the API (an empty one, one in a character set that hides its
/// lines): what came, so that the operator can tell the cause.
ApiResponse AnswerWithoutResult(const QString& url, long status, qint64 bytes) {
    return {QStringLiteral("Result=Error"),
            QStringLiteral("Error=No \"Result\" line in the answer from %1 (HTTP %2, %3 bytes)")
                .arg(url, QString::number(status), QString::number(bytes))};
}

/// How the answer's end was marked, asked once the transfer has ended well.
AnswerEnd EndOfAnswer(CURL* h) {
    curl_header* encoding = nullptr;
    if (curl_easy_header(h, "Transfer-Encoding", 0, CURLH_HEADER, -1, &encoding) == CURLHE_OK &&
        QByteArray(encoding->value).toLower().contains("chunked"))
        return AnswerEnd::Chunked;
    curl_off_t length = -1;
    if (curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0)
        return AnswerEnd::Length;
    return AnswerEnd::Close;
}

ApiResponse TooLargeAnswer(const QString& url, qint64 limit) {
    return {QStringLiteral("Result=Error"),
            QStringLiteral("Error=Answer from %1 is larger than %2 MiB")
                .arg(url, QString::number(limit >> 20))};
}

/// The transfer through the multi interface, polled in short slices so that a cancel is heard
/// at once, also while the server sends nothing.
CURLcode PerformUntilDoneOrCancelled(CURL* easy, const std::atomic<bool>* cancel) {
    CURLM* multi = curl_multi_init();
    if (!multi)
        return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(multi, easy);
    CURLcode result = CURLE_OK;
    bool finished = false;
    int running = 1;
    while (!finished) {
        if (cancel && cancel->load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                result = msg->data.result;
                finished = true;
            }
        }
        if (!finished && running == 0) { // done without a message: treat as failed
            result = CURLE_RECV_ERROR;
            break;
        }
        if (!finished)
            curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    curl_multi_cleanup(multi);
    return result;
}

/// The transfer; within a run it goes on in a worker thread while this thread breathes, and a
/// cancel raises RunCancelled once the worker has let go of the handle.
CURLcode Perform(CURL* easy) {
    RunControl* run = RunControl::current();
    if (!run)
        return PerformUntilDoneOrCancelled(easy, nullptr);
    std::atomic<bool> done{false};
    CURLcode result = CURLE_OK;
    std::thread worker([&] {
        result = PerformUntilDoneOrCancelled(easy, &run->cancelFlag());
        done.store(true);
    });
    while (!done.load()) {
        try {
            run->breathe();
        } catch (...) { // the worker lets go of the handle before anything goes on
            run->cancel();
            worker.join();
            throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    if (run->cancelled())
        throw RunCancelled();
    return result;
}

std::mutex g_defaultsMutex;
ApiTimeouts g_defaults;

} // namespace

ApiTimeouts DefaultApiTimeouts() {
    const std::lock_guard lock(g_defaultsMutex);
    return g_defaults;
}

void SetDefaultApiTimeouts(const ApiTimeouts& timeouts) {
    const std::lock_guard lock(g_defaultsMutex);
    g_defaults = timeouts;
}

ApiResponse PostApiCommand(const QString& url, const ApiRequest& fields,
                           const ApiTimeouts& timeouts) {
    return ExchangeApiCommand(url, fields, timeouts).response;
}

ApiExchange ExchangeApiCommand(const QString& url, const ApiRequest& fields,
                               const ApiTimeouts& timeouts) {
    InitCurlOnce();
    // A fresh handle per request: nothing (connections, cookies) carries over from an earlier one.
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl)
        return {FailedExchange(url)};

    const QByteArray urlBytes = url.toUtf8();
    const QByteArray body = FormBody(fields);
    AnswerSink answer;
    answer.limit = timeouts.maxAnswerBytes;
    std::unique_ptr<curl_slist, HeaderListCleanup> headers;
    for (const char* header :
         {"Accept: text/html, */*", "Content-Type: application/x-www-form-urlencoded"}) {
        curl_slist* extended = curl_slist_append(headers.get(), header);
        if (!extended)
            return {FailedExchange(url)};
        headers.release();
        headers.reset(extended);
    }

    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, urlBytes.constData());
    // Only the two schemes of the server API: a host text such as "file:///.../http" must never
    // make the client read something other than the server.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, long(body.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/5.0 (compatible; ZV Server)");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_SSLVERSION,
                     long(CURL_SSLVERSION_DEFAULT) | long(CURL_SSLVERSION_MAX_TLSv1_2));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeouts.connectMs);
    // An answer that stalls or trickles fails; one that keeps flowing, however long, is cut only
    // by a limit on the whole exchange.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, timeouts.lowSpeedBytes);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, timeouts.stallSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, timeouts.totalSeconds);
    // A length announced above the limit ends the exchange before any of the body comes.
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(timeouts.maxAnswerBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CollectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &answer);

    const CURLcode result = Perform(h);
    if (answer.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        return {TooLargeAnswer(url, timeouts.maxAnswerBytes)};
    if (result == CURLE_PARTIAL_FILE)
        return {CutAnswer(url)};
    if (result != CURLE_OK)
        return {FailedExchange(url)};
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        return {FailedExchange(url)};

    const char* contentType = nullptr;
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType);
    const QByteArray charset = CharsetOfContentType(QByteArray(contentType));
    const AnswerEnd end = EndOfAnswer(h);
    curl.reset();
    const qint64 bytes = answer.body.size();
    ApiExchange exchange{DecodeApiAnswer(std::exchange(answer.body, QByteArray()), charset), end};
    if (!HasApiField(exchange.response, QStringLiteral("Result")) &&
        ApiValue(exchange.response, QStringLiteral("Error")).isEmpty())
        exchange.response = AnswerWithoutResult(url, status, bytes);
    return exchange;
}
