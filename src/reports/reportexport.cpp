#include "reportexport.h"

#include "csvexport.h"
#include "error.h"
#include "exportfile.h"
#include "formatnames.h"
#include "htmlwriter.h"
#include "operatormessages.h"
#include "resultset.h"
#include "textwriters.h"
#include "workbookwriter.h"

QString LostCharactersText(qsizetype lost) {
    return QStringLiteral("%1 %2 could not be written in Windows-1252 and %3 saved as \"?\". "
                          "Choose \"CSV UTF-8\" to keep %4.")
        .arg(lost)
        .arg(lost == 1 ? QStringLiteral("character") : QStringLiteral("characters"),
             lost == 1 ? QStringLiteral("was") : QStringLiteral("were"),
             lost == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

void WriteWorkbookFile(const QString& path, const ResultSet& view, qsizetype rowsPerSheet) {
    ExportFile file(path);
    WorkbookWriter writer(
        path, [&](QByteArrayView bytes) { file.write(bytes); }, rowsPerSheet);
    WriteViewRows(view, writer);
    file.commit();
}

namespace {
/// Writes the view in a text format (TsvWriter, JsonWriter) through ExportFile.
template <class Writer> void WriteTextFile(const QString& path, const ResultSet& view) {
    ExportFile file(path);
    Writer writer([&](QByteArrayView bytes) { file.write(bytes); });
    WriteViewRows(view, writer);
    file.commit();
}
} // namespace

void WriteHtmlFile(const QString& path, const ResultSet& view, const ReportPageInfo& info) {
    ExportFile file(path);
    HtmlWriter writer(info, [&](QByteArrayView bytes) { file.write(bytes); });
    WriteViewRows(view, writer);
    file.commit();
}

bool ExportReport(ResultSet& view, ExportFileChooser& chooser, OperatorMessages& messages,
                  const QLocale& locale, const ReportPageExport* pages) {
    if (view.columnCount() == 0) {
        messages.error(QString::fromUtf16(kReportTableEmptyText));
        return false;
    }
    const QString path = chooser.chooseExportFile();
    if (path.isEmpty())
        return false;
    // A name that says its format gets that format, whatever type the dialog was left on:
    // "fees.xlsx" is a workbook, never CSV text under that name.
    const ReportFormat format = ReportFormatForFileName(path).value_or(chooser.chosenFormat());
    // The rows are read by index, so neither the grid nor the status line follows the walk.
    QString saved = QString::fromUtf16(kReportTableSavedText);
    switch (format) {
    case ReportFormat::Xlsx:
        WriteWorkbookFile(path, view);
        view.setCurrentRow(0);
        break;
    case ReportFormat::Tsv:
        WriteTextFile<TsvWriter>(path, view);
        view.setCurrentRow(0);
        break;
    case ReportFormat::Json:
        WriteTextFile<JsonWriter>(path, view);
        view.setCurrentRow(0);
        break;
    case ReportFormat::Html:
    case ReportFormat::Pdf: {
        ReportPageInfo info = pages ? pages->info : ReportPageInfo{};
        if (info.title.isEmpty())
            info.title = QString::fromUtf16(kFreeSqlReportTitle);
        if (!info.made.isValid())
            info.made = QDateTime::currentDateTime();
        info.locale = locale;
        if (format == ReportFormat::Html)
            WriteHtmlFile(path, view, info);
        else if (pages && pages->writePdf)
            pages->writePdf(path, view, info);
        else
            throw ZvError(QStringLiteral("PDF pages cannot be written without the window"));
        view.setCurrentRow(0);
        break;
    }
    case ReportFormat::Csv: {
        qsizetype lost = 0;
        const QByteArray bytes = BuildCsvFile(view, locale, chooser.chosenEncoding(), &lost);
        view.setCurrentRow(0);
        WriteCsvFile(path, bytes);
        // A loss the operator is not told of would be a failure reported as success.
        if (lost > 0)
            saved += u'\n' + LostCharactersText(lost);
        break;
    }
    }
    messages.information(saved);
    return true;
}
