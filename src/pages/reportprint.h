#pragma once

#include "reportpage.h"

#include <QString>

class OperatorMessages;
class QPagedPaintDevice;
class ResultSet;

/// The print dialog, as "Print..." sees it: the window shows Qt's own, tests answer with a printer
/// (one that writes a PDF file, say).
class ReportPrinterChooser {
public:
    virtual ~ReportPrinterChooser() = default;
    /// Asks for the printer of a document so named; the printer to paint on, or nullptr when the
    /// operator cancelled. The printer stays the chooser's, with the choices made on it.
    virtual QPagedPaintDevice* choosePrinter(const QString& documentName) = 0;
};

/// "Print...": paints the open report view on the printer chosen, as the same pages as its PDF
/// (ReportPagesWriter), on the page size and orientation chosen in the dialog. A closed view gets
/// "Report table is empty" and no dialog; a cancelled dialog does nothing. A printer that takes no
/// pages raises "Cannot print ..." for the general error display. Returns true when printed.
bool PrintReport(const ResultSet& view, ReportPrinterChooser& chooser, OperatorMessages& messages,
                 const ReportPageInfo& info);
