#pragma once

#include "csvwriter.h"

#include <QLocale>
#include <QString>

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
};

inline constexpr auto kReportTableEmptyText = u"Report table is empty";
inline constexpr auto kReportTableSavedText = u"Report table saved";

/// "Export": writes the open report view to the file the operator chooses, in the encoding of the
/// file type chosen, and says so. A closed
/// view gets "Report table is empty" and no dialog; a cancelled dialog does nothing. After the
/// rows are written out the first row is current again (its notification updates the status
/// line). A file that cannot be written raises "Cannot create file ..." for the general error
/// display and leaves any old file as it was. Returns true when a file was written.
bool ExportReport(ResultSet& view, ExportFileChooser& chooser, OperatorMessages& messages,
                  const QLocale& locale);
