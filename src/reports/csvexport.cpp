#include "csvexport.h"

#include "exportfile.h"
#include "resultset.h"
#include "runcontrol.h"

QString EscapeCSVQuotes(const QString& text) {
    if (!text.contains(u'"'))
        return text;
    QString escaped = text;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return escaped;
}

QStringList CsvColumnNames(const ResultSet& view) {
    QStringList names;
    for (int c = 0; c < view.columnCount(); ++c)
        names << view.column(c).name;
    return names;
}

QByteArray BuildCsvFile(const ResultSet& view, const QLocale& locale, CsvEncoding encoding,
                        qsizetype* lost) {
    CsvWriter writer(locale, encoding);
    writer.startFile();
    writer.header(CsvColumnNames(view));
    const qsizetype rows = view.rowCount();
    QByteArray& out = writer.bytes();
    constexpr qsizetype kSampleRows = 1000;
    for (qsizetype r = 0; r < rows; ++r) {
        if (r == kSampleRows) // one allocation for the rest, from the size of the first lines
            out.reserve(out.size() + out.size() / kSampleRows * (rows - r) * 11 / 10);
        AppendCsvRow(writer, view, r);
        if (r % 4096 == 4095)
            CheckRunCancelled(); // nothing is written yet: the old file stays as it was
    }
    if (lost)
        *lost += writer.lostCharacters();
    return std::move(out);
}

void WriteCsvFile(const QString& path, const QByteArray& bytes) {
    ExportFile file(path);
    file.write(bytes);
    file.commit();
}
