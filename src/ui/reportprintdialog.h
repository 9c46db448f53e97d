#pragma once

#include "reportprint.h"

#include <QPointer>
#include <QPrinter>

class QPrintDialog;
class QWidget;

/// Qt's print dialog for "Print...": the printer, its page size and orientation, copies, or a
/// PDF or PostScript file. The pages are always the whole report, so the dialog offers no page
/// range. The printer and what was chosen on it are kept for the next print, for as long as the
/// program runs.
class ReportPrintDialog : public ReportPrinterChooser {
public:
    explicit ReportPrintDialog(QWidget* parent);

    QPagedPaintDevice* choosePrinter(const QString& documentName) override;

    /// Sets up a dialog as "Print..." shows it.
    static void Configure(QPrintDialog& dialog);

private:
    QPointer<QWidget> m_parent;
    QPrinter m_printer;
};
