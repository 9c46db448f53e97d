#include "csvexport.h"

#include "error.h"
#include "filenumberformat.h"
#include "resultset.h"
#include "windows1252.h"

#include <QFileInfo>
#include <QSaveFile>

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

QString FloatText(double value, const QLocale& locale) {
    QString text = FormatGeneral15(value);
    const QString separator = locale.decimalPoint();
    if (separator != u".")
        text.replace(u'.', separator);
    return text;
}

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
} // namespace

QString EscapeCSVQuotes(const QString& text) {
    if (!text.contains(u'"'))
        return text;
    QString escaped = text;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return escaped;
}

QString CsvCell(const ResultSet& view, qsizetype row, int column, const QLocale& locale) {
    const ColumnKind kind = view.column(column).kind;
    if (view.isNull(row, column))
        return kind == ColumnKind::Text ? QStringLiteral("\"\"") : QString();
    switch (kind) {
    case ColumnKind::Text:
        return Quoted(view.textAt(row, column));
    case ColumnKind::Integer:
        return QString::number(view.integerAt(row, column));
    case ColumnKind::Float:
        return BareOrQuoted(FloatText(view.realAt(row, column), locale));
    case ColumnKind::Blob:
        return QString::fromLatin1(view.blobAt(row, column).toHex().toUpper());
    }
    return QString();
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
    QString line;
    for (qsizetype r = 0; r < rows; ++r) {
        line.clear();
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                line += QLatin1Char(',');
            line += CsvCell(view, r, c, locale);
        }
        AppendWindows1252(out, line);
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
