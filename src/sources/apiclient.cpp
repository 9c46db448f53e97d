#include "apiclient.h"

#include <QStringDecoder>
#include <curl/curl.h>
#include <memory>
#include <mutex>

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

QString ApiValue(const ApiResponse& response, const QString& name) {
    for (const QString& line : response) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
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
    QString text;
    bool decoded = false;
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) {
            text = decoder.decode(body);
            decoded = true;
        }
    }
    if (!decoded)
        text = QString::fromLatin1(body);

    ApiResponse lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(text.mid(start));
    return lines;
}

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
    static_cast<QByteArray*>(target)->append(data, qsizetype(size * count));
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

} // namespace

ApiResponse PostApiCommand(const QString& url, const ApiRequest& fields,
                           const ApiTimeouts& timeouts) {
    InitCurlOnce();
    // A fresh handle per request: nothing (connections, cookies) carries over from an earlier one.
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl)
        return FailedExchange(url);

    const QByteArray urlBytes = url.toUtf8();
    const QByteArray body = FormBody(fields);
    QByteArray answer;

    std::unique_ptr<curl_slist, HeaderListCleanup> headers;
    for (const char* header :
         {"Accept: text/html, */*", "Content-Type: application/x-www-form-urlencoded"}) {
        curl_slist* extended = curl_slist_append(headers.get(), header);
        if (!extended)
            return FailedExchange(url);
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
    // An answer that stalls fails; one that keeps flowing, however long, is never cut.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, timeouts.stallSeconds);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CollectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &answer);

    if (curl_easy_perform(h) != CURLE_OK)
        return FailedExchange(url);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        return FailedExchange(url);

    const char* contentType = nullptr;
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType);
    return DecodeApiAnswer(answer, CharsetOfContentType(QByteArray(contentType)));
}
