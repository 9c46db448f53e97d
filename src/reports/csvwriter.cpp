#include "csvwriter.h"

#include "filenumberformat.h"
#include "windows1252.h"

#include <charconv>

bool StartsFormula(char16_t c) {
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

namespace {
/// Appends the bytes with every double quote doubled when they are all ASCII (the same bytes in
/// either encoding); appends nothing and returns false otherwise.
bool AppendAsciiEscaped(QByteArray& out, QByteArrayView bytes) {
    qsizetype quotes = 0;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
        quotes += c == '"';
    }
    if (quotes == 0) {
        out.append(bytes);
        return true;
    }
    for (const char c : bytes) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return true;
}

QByteArray Encode(QStringView text, CsvEncoding encoding, qsizetype* lost = nullptr) {
    if (encoding == CsvEncoding::Utf8)
        return text.toUtf8();
    return ToWindows1252(text, lost);
}
} // namespace

CsvWriter::CsvWriter(const QLocale& locale, CsvEncoding encoding, char delimiter)
    : m_encoding(encoding), m_delimiter(delimiter) {
    const QString separator = locale.decimalPoint();
    m_decimalSeparator = Encode(separator, encoding);
    for (const QChar c : separator)
        m_quoteFractions = m_quoteFractions || c == QLatin1Char(delimiter) || c == u'"' ||
                           c == u'\r' || c == u'\n';
}

void CsvWriter::startFile() {
    if (m_encoding == CsvEncoding::Utf8)
        m_out += "\xEF\xBB\xBF";
}

void CsvWriter::header(const QStringList& names) {
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0)
            comma();
        text(names[i]);
    }
    endLine();
}

void CsvWriter::null(ColumnKind columnKind) {
    if (columnKind == ColumnKind::Text)
        m_out += "\"\"";
}

void CsvWriter::encoded(QStringView text) {
    const QByteArray bytes = Encode(text, m_encoding, &m_lost);
    if (!AppendAsciiEscaped(m_out, bytes)) {
        for (const char c : bytes) {
            m_out += c;
            if (c == '"')
                m_out += '"';
        }
    }
}

void CsvWriter::text(QStringView text) {
    m_out += '"';
    if (!text.isEmpty() && StartsFormula(text.front().unicode()))
        m_out += '\'';
    encoded(text);
    m_out += '"';
}

void CsvWriter::text(QByteArrayView utf8) {
    m_out += '"';
    if (!utf8.isEmpty() && StartsFormula(char16_t(utf8.front())))
        m_out += '\'';
    // Most texts are ASCII and go over as they are; the rest is decoded, so that a malformed
    // sequence becomes the same substitute as everywhere else.
    if (!AppendAsciiEscaped(m_out, utf8))
        encoded(QString::fromUtf8(utf8));
    m_out += '"';
}

void CsvWriter::integer(qint64 value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    m_out.append(digits, end - digits);
}

void CsvWriter::real(double value) {
    char text[kGeneral15Chars];
    const char* end = WriteGeneral15(value, text);
    const char* point = std::find(static_cast<const char*>(text), end, '.');
    if (point == end) {
        m_out.append(text, end - text);
        return;
    }
    if (m_quoteFractions)
        m_out += '"';
    m_out.append(text, point - text);
    for (const char c : m_decimalSeparator) { // a separator that is a quote is doubled
        m_out += c;
        if (c == '"' && m_quoteFractions)
            m_out += '"';
    }
    m_out.append(point + 1, end - point - 1);
    if (m_quoteFractions)
        m_out += '"';
}

void CsvWriter::blob(QByteArrayView bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const qsizetype start = m_out.size();
    m_out.resize(start + 2 * bytes.size());
    char* out = m_out.data() + start;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = kHex[b >> 4];
        *out++ = kHex[b & 15];
    }
}

void AppendCsvRow(CsvWriter& writer, const ResultSet& view, qsizetype row) {
    const int columns = view.columnCount();
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            writer.comma();
        if (view.isNull(row, c)) {
            writer.null(view.column(c).kind);
            continue;
        }
        switch (view.cellKind(row, c)) {
        case ColumnKind::Integer:
            writer.integer(view.integerAt(row, c));
            break;
        case ColumnKind::Float:
            writer.real(view.realAt(row, c));
            break;
        case ColumnKind::Text:
            writer.text(view.bytesAt(row, c));
            break;
        case ColumnKind::Blob:
            writer.blob(view.bytesAt(row, c));
            break;
        }
    }
    writer.endLine();
}
