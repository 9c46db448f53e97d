#pragma once

#include "reportexport.h"

#include <QPointer>
#include <QStandardPaths>
#include <QString>

class QFileDialog;
class QWidget;

/// The save dialog of the report export: title "Export data to CSV file", the filters for CSV
/// (Windows-1252), CSV UTF-8, Excel workbook, web page, PDF document, text and all files (CSV
/// selected), default suffix "csv" ("xlsx", "html" or "pdf" while that type is chosen),
/// confirmation before an existing file is replaced. It starts on the documents folder, and
/// afterwards on the file and the file type chosen last, for as long as the program runs.
class ExportSaveDialog : public ExportFileChooser {
public:
    explicit ExportSaveDialog(QWidget* parent) : m_parent(parent) {}

    /// Shows the dialog modally; the chosen full path, or empty text when cancelled.
    QString chooseExportFile() override;
    /// UTF-8 when the file type chosen last was "CSV UTF-8 (*.csv)"; Windows-1252 otherwise.
    CsvEncoding chosenEncoding() const override;
    /// An Excel workbook, a web page or PDF pages when the file type chosen last was "Excel
    /// workbook (*.xlsx)", "Web page (*.html)" or "PDF document (*.pdf)"; CSV otherwise.
    ReportFormat chosenFormat() const override;

    /// The file chosen last (empty before the first choice).
    const QString& lastFileName() const { return m_lastFileName; }

    /// The file type that writes UTF-8 with a byte-order mark.
    static const QString kUtf8Filter;
    /// The file type that writes an Excel workbook.
    static const QString kXlsxFilter;
    /// The file types that write a web page and PDF pages.
    static const QString kHtmlFilter;
    static const QString kPdfFilter;

    /// Sets up a dialog as the export shows it, starting on lastFileName and lastFilter when
    /// there are such.
    static void Configure(QFileDialog& dialog, const QString& lastFileName,
                          const QString& lastFilter = QString());

private:
    QPointer<QWidget> m_parent;
    QString m_lastFileName;
    QString m_lastFilter;
};

/// Starts a save dialog on the file chosen last, or before any choice on the user's firstFolder
/// (the home folder when there is none).
void StartSaveDialogOn(QFileDialog& dialog, const QString& lastFileName,
                       QStandardPaths::StandardLocation firstFolder);
