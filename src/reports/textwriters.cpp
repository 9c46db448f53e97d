#include "textwriters.h"

#include "csvwriter.h"

#include <QString>
#include <charconv>

namespace {
constexpr qsizetype kPieceBytes = 256 * 1024;

bool IsAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

/// The text as well-formed UTF-8: malformed sequences become U+FFFD, as everywhere else.
QByteArray WellFormed(QByteArrayView utf8) {
    return QString::fromUtf8(utf8).toUtf8();
}

void AppendInteger(QByteArray& out, qint64 value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}
} // namespace

TextReportWriter::TextReportWriter(ReportOutput output) : m_output(std::move(output)) {
    m_out.reserve(kPieceBytes + 64 * 1024);
}

void TextReportWriter::rowDone() {
    if (m_out.size() >= kPieceBytes) {
        m_output(m_out);
        m_out.resize(0);
    }
}

void TextReportWriter::finish() {
    if (!m_out.isEmpty())
        m_output(m_out);
    m_out.resize(0);
}

void TsvWriter::start(const QList<ResultColumn>& columns) {
    for (const ResultColumn& column : columns) {
        separate();
        appendClean(column.name.toUtf8());
    }
    endRow();
}

void TsvWriter::separate() {
    if (!m_first)
        m_out += '\t';
    m_first = false;
}

void TsvWriter::appendClean(QByteArrayView utf8) {
    if (!utf8.isEmpty() && StartsFormula(char16_t(utf8.front())))
        m_out += '\'';
    const QByteArray owned = IsAscii(utf8) ? QByteArray() : WellFormed(utf8);
    const QByteArrayView text = owned.isNull() ? utf8 : QByteArrayView(owned);
    const qsizetype start = m_out.size();
    m_out.append(text);
    for (char* c = m_out.data() + start; c != m_out.data() + m_out.size(); ++c)
        if (*c == '\t' || *c == '\r' || *c == '\n')
            *c = ' ';
}

void TsvWriter::null() {
    separate();
}

void TsvWriter::integer(qint64 value) {
    separate();
    AppendInteger(m_out, value);
}

void TsvWriter::real(double value) {
    separate();
    AppendExactReal(m_out, value, false);
}

void TsvWriter::text(QByteArrayView utf8) {
    separate();
    appendClean(utf8);
}

void TsvWriter::blob(QByteArrayView bytes) {
    separate();
    AppendHex(m_out, bytes);
}

void TsvWriter::endRow() {
    m_out += '\n';
    m_first = true;
    rowDone();
}

void AppendJsonString(QByteArray& out, QByteArrayView utf8) {
    const QByteArray owned = IsAscii(utf8) ? QByteArray() : WellFormed(utf8);
    const QByteArrayView text = owned.isNull() ? utf8 : QByteArrayView(owned);
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b < 0x20) {
            out += "\\u00";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
}

void JsonWriter::start(const QList<ResultColumn>& columns) {
    for (qsizetype i = 0; i < columns.size(); ++i) {
        QByteArray key = i == 0 ? "{\"" : ",\"";
        AppendJsonString(key, columns[i].name.toUtf8());
        key += "\":";
        m_keys << key;
    }
    m_out += '[';
}

void JsonWriter::key() {
    if (m_column == 0)
        m_out += m_anyRow ? ",\n" : "\n";
    m_out += m_keys[m_column++];
}

void JsonWriter::null() {
    key();
    m_out += "null";
}

void JsonWriter::integer(qint64 value) {
    key();
    AppendInteger(m_out, value);
}

void JsonWriter::real(double value) {
    key();
    AppendExactReal(m_out, value, true);
}

void JsonWriter::text(QByteArrayView utf8) {
    key();
    m_out += '"';
    AppendJsonString(m_out, utf8);
    m_out += '"';
}

void JsonWriter::blob(QByteArrayView bytes) {
    key();
    m_out += '"';
    AppendHex(m_out, bytes);
    m_out += '"';
}

void JsonWriter::endRow() {
    if (m_column == 0) // a row without columns cannot happen: a statement has at least one
        return;
    m_out += '}';
    m_column = 0;
    m_anyRow = true;
    rowDone();
}

void JsonWriter::finish() {
    m_out += m_anyRow ? "\n]\n" : "]\n";
    TextReportWriter::finish();
}
