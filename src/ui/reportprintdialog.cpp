#include "reportprintdialog.h"

#include <QPrintDialog>

ReportPrintDialog::ReportPrintDialog(QWidget* parent)
    : m_parent(parent), m_printer(QPrinter::HighResolution) {}

void ReportPrintDialog::Configure(QPrintDialog& dialog) {
    dialog.setWindowTitle(QStringLiteral("Print report"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
}

QPagedPaintDevice* ReportPrintDialog::choosePrinter(const QString& documentName) {
    m_printer.setDocName(documentName);
    QPrintDialog dialog(&m_printer, m_parent);
    Configure(dialog);
    return dialog.exec() == QDialog::Accepted ? &m_printer : nullptr;
}
