#include "reportexport.h"

#include "csvexport.h"
#include "operatormessages.h"
#include "resultset.h"

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
    const QByteArray bytes = BuildCsvFile(view, locale, chooser.chosenEncoding());
    view.setCurrentRow(0);
    WriteCsvFile(path, bytes);
    messages.information(QString::fromUtf16(kReportTableSavedText));
    return true;
}
