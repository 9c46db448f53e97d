#include "reportexport.h"

#include "csvexport.h"
#include "exportfile.h"
#include "operatormessages.h"
#include "resultset.h"
#include "workbookwriter.h"

QString LostCharactersText(qsizetype lost) {
    return QStringLiteral("%1 characters could not be written in Windows-1252 and were saved as "
                          "\"?\". Choose \"CSV UTF-8\" to keep them.")
        .arg(lost);
}

void WriteWorkbookFile(const QString& path, const ResultSet& view, qsizetype rowsPerSheet) {
    ExportFile file(path);
    WorkbookWriter writer(
        path, [&](QByteArrayView bytes) { file.write(bytes); }, rowsPerSheet);
    WriteViewRows(view, writer);
    file.commit();
}

bool ExportReport(ResultSet& view, ExportFileChooser& chooser, OperatorMessages& messages,
                  const QLocale& locale) {
    if (view.columnCount() == 0) {
        messages.error(QString::fromUtf16(kReportTableEmptyText));
        return false;
    }
    const QString path = chooser.chooseExportFile();
    if (path.isEmpty())
        return false;
    // The rows are read by index, so neither the grid nor the status line follows the walk.
    QString saved = QString::fromUtf16(kReportTableSavedText);
    if (chooser.chosenFormat() == ReportFormat::Xlsx) {
        WriteWorkbookFile(path, view);
        view.setCurrentRow(0);
    } else {
        qsizetype lost = 0;
        const QByteArray bytes = BuildCsvFile(view, locale, chooser.chosenEncoding(), &lost);
        view.setCurrentRow(0);
        WriteCsvFile(path, bytes);
        // A loss the operator is not told of would be a failure reported as success.
        if (lost > 0)
            saved += u'\n' + LostCharactersText(lost);
    }
    messages.information(saved);
    return true;
}
