#include "reportprint.h"

#include "error.h"
#include "operatormessages.h"
#include "reportexport.h"
#include "reportpages.h"
#include "resultset.h"

#include <QPagedPaintDevice>

bool PrintReport(const ResultSet& view, ReportPrinterChooser& chooser, OperatorMessages& messages,
                 const ReportPageInfo& info) {
    if (view.columnCount() == 0) {
        messages.error(QString::fromUtf16(kReportTableEmptyText));
        return false;
    }
    QPagedPaintDevice* printer = chooser.choosePrinter(info.title);
    if (!printer)
        return false;
    try {
        ReportPagesWriter pages(*printer, info, view.rowCount(), true);
        WriteViewRows(view, pages);
    } catch (const ZvError& e) {
        throw ZvError(QStringLiteral("Cannot print \"%1\". %2").arg(info.title, e.message()));
    }
    return true;
}
