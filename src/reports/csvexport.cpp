#include "csvexport.h"

#include "error.h"
#include "filenumberformat.h"
#include "resultset.h"
#include "windows1252.h"

#include <QFileInfo>
#include <QSaveFile>
#include <charconv>

namespace {
QString Quoted(const QString& text) {
    return QLatin1Char('"') + EscapeCSVQuotes(text) + QLatin1Char('"');
}

/// A number cell stays bare unless its text would break the line apart (a decimal comma).
QString BareOrQuoted(const QString& text) {
    for (QChar c : text) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return Quoted(text);
    }
    return text;
}

QString FloatText(double value, const QString& separator) {
    QString text = FormatGeneral15(value);
    if (separator != u".")
        text.replace(u'.', separator);
    return text;
}

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

/// One cell of a data line: text always quoted ("" for NULL), numbers bare (quoted only when
/// their text holds a decimal comma), NULL numbers empty, binary values as hex digits.
void AppendCell(QByteArray& out, const ResultSet& view, qsizetype row, int column,
                const QString& decimalSeparator) {
    const ColumnKind kind = view.column(column).kind;
    if (view.isNull(row, column)) {
        if (kind == ColumnKind::Text)
            out += "\"\"";
        return;
    }
    switch (kind) {
    case ColumnKind::Text: {
        const QString text = view.textAt(row, column);
        out += '"';
        AppendWindows1252(out, text.contains(u'"') ? EscapeCSVQuotes(text) : text);
        out += '"';
        return;
    }
    case ColumnKind::Integer: {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, view.integerAt(row, column));
        out.append(digits, end.ptr - digits);
        return;
    }
    case ColumnKind::Float:
        AppendWindows1252(out, BareOrQuoted(FloatText(view.realAt(row, column), decimalSeparator)));
        return;
    case ColumnKind::Blob:
        out += view.blobAt(row, column).toHex().toUpper();
        return;
    }
}
} // namespace

QString EscapeCSVQuotes(const QString& text) {
    if (!text.contains(u'"'))
        return text;
    QString escaped = text;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return escaped;
}

QString CsvHeaderLine(const ResultSet& view) {
    QString line;
    for (int c = 0; c < view.columnCount(); ++c) {
        if (c > 0)
            line += QLatin1Char(',');
        line += Quoted(view.column(c).name);
    }
    return line;
}

QByteArray BuildCsvFile(const ResultSet& view, const QLocale& locale) {
    QByteArray out;
    AppendWindows1252(out, CsvHeaderLine(view));
    out += kLineEnd;
    const int columns = view.columnCount();
    const qsizetype rows = view.rowCount();
    const QString decimalSeparator = locale.decimalPoint();
    constexpr qsizetype kSampleRows = 1000;
    for (qsizetype r = 0; r < rows; ++r) {
        if (r == kSampleRows) // one allocation for the rest, from the size of the first lines
            out.reserve(out.size() + out.size() / kSampleRows * (rows - r) * 11 / 10);
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                out += ',';
            AppendCell(out, view, r, c, decimalSeparator);
        }
        out += kLineEnd;
    }
    return out;
}

void WriteCsvFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!written) {
        throw ZvError(QStringLiteral("Cannot create file \"%1\". %2")
                          .arg(QFileInfo(path).absoluteFilePath(), file.errorString()));
    }
}
