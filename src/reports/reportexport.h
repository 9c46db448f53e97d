#pragma once

#include "csvwriter.h"
#include "reportsink.h"
#include "workbookwriter.h"

#include "reportpage.h"

#include <QLocale>
#include <QString>
#include <functional>

class OperatorMessages;
class ResultSet;

/// The save dialog of the export, as the export sees it: the window shows a real dialog, tests
/// answer with a name. An empty name means the operator cancelled.
class ExportFileChooser {
public:
    virtual ~ExportFileChooser() = default;
    virtual QString chooseExportFile() = 0;
    /// The encoding of the file type chosen with the last file.
    virtual CsvEncoding chosenEncoding() const { return CsvEncoding::Windows1252; }
    /// The format of the file type chosen with the last file: CSV, an Excel workbook, a web page
    /// or PDF pages.
    virtual ReportFormat chosenFormat() const { return ReportFormat::Csv; }
};

inline constexpr auto kReportTableEmptyText = u"Report table is empty";
inline constexpr auto kReportTableSavedText = u"Report table saved";

/// The second line of "Report table saved" when a Windows-1252 file lost characters: "N
/// characters could not be written in Windows-1252 and were saved as "?". Choose "CSV UTF-8" to
/// keep them."
QString LostCharactersText(qsizetype lost);

/// Writes the view as an Excel workbook (WorkbookWriter), created or replaced whole as a CSV is
/// (ExportFile). Raises "Cannot create file ...".
void WriteWorkbookFile(const QString& path, const ResultSet& view,
                       qsizetype rowsPerSheet = WorkbookWriter::kSheetRows);

/// "Export": writes the open report view to the file the operator chooses, in the format its
/// name asks for (ReportFormatForFileName: ".xlsx" a workbook, ".tsv", ".json", ".csv"), else in
/// that of the file type chosen (a CSV in its encoding, or a workbook), and says so ("Report table
/// saved", with LostCharactersText as a second line when characters were lost). A closed view gets
/// "Report table is empty" and no dialog; a cancelled dialog does nothing. After the rows are
/// written out the first row is current again (its notification updates the status line). A file
/// that cannot be written raises "Cannot create file ..." for the general error display and leaves
/// any old file as it was. Returns true when a file was written.
bool ExportReport(ResultSet& view, ExportFileChooser& chooser, OperatorMessages& messages,
                  const QLocale& locale, const struct ReportPageExport* pages = nullptr);

/// What a web page or PDF export needs beyond the rows: what the page says of the report, and
/// the writer of PDF pages, which needs Qt Gui (a library this one does not link).
struct ReportPageExport {
    ReportPageInfo info;
    /// Writes the view's rows as PDF pages to path, created or replaced whole.
    std::function<void(const QString& path, const ResultSet& view, const ReportPageInfo& info)>
        writePdf;
};

/// Writes the view as a web page (HtmlWriter), created or replaced whole as a CSV is.
void WriteHtmlFile(const QString& path, const ResultSet& view, const ReportPageInfo& info);
