#include "exportsavedialog.h"

#include "databasefiles.h"
#include "formatnames.h"

#include <QFileDialog>
#include <QStandardPaths>

const QString ExportSaveDialog::kUtf8Filter = QStringLiteral("CSV UTF-8 (*.csv)");
const QString ExportSaveDialog::kXlsxFilter = QStringLiteral("Excel workbook (*.xlsx)");
const QString ExportSaveDialog::kHtmlFilter = QStringLiteral("Web page (*.html)");
const QString ExportSaveDialog::kPdfFilter = QStringLiteral("PDF document (*.pdf)");

namespace {
/// The save dialog of the export. A name of the fee database (or of a file SQLite keeps beside
/// it) is taken at once, without the question whether to replace it: the export then refuses it
/// ("... it is the fee database."), and asking first would promise a replacement that never comes.
class ExportFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && IsOpenDatabaseFile(files.constFirst())) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }

private:
    static bool IsOpenDatabaseFile(const QString& path) {
        try {
            RefuseOutputOntoDatabase(path);
            return false;
        } catch (const std::exception&) {
            return true;
        }
    }
};

/// The format a file type writes: CSV for the CSV, text and all-files types.
ReportFormat FormatOf(const QString& filter) {
    if (filter == ExportSaveDialog::kXlsxFilter)
        return ReportFormat::Xlsx;
    if (filter == ExportSaveDialog::kHtmlFilter)
        return ReportFormat::Html;
    if (filter == ExportSaveDialog::kPdfFilter)
        return ReportFormat::Pdf;
    return ReportFormat::Csv;
}

/// The suffix a typed name without one gets: that of the format of the file type chosen.
QString SuffixFor(const QString& filter) {
    return ReportFormatExtension(FormatOf(filter));
}
} // namespace

void ExportSaveDialog::Configure(QFileDialog& dialog, const QString& lastFileName,
                                 const QString& lastFilter) {
    dialog.setWindowTitle(QStringLiteral("Export data to CSV file"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"), kUtf8Filter, kXlsxFilter,
                           kHtmlFilter, kPdfFilter, QStringLiteral("Text files (*.txt)"),
                           QStringLiteral("All files (*.*)")});
    const QString filter = lastFilter.isEmpty() ? QStringLiteral("CSV files (*.csv)") : lastFilter;
    dialog.selectNameFilter(filter);
    dialog.setDefaultSuffix(SuffixFor(filter));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& chosen) { dialog.setDefaultSuffix(SuffixFor(chosen)); });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setSizeGripEnabled(true);
    StartSaveDialogOn(dialog, lastFileName, QStandardPaths::DocumentsLocation);
}

QString ExportSaveDialog::chooseExportFile() {
    ExportFileDialog dialog(m_parent);
    Configure(dialog, m_lastFileName, m_lastFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    m_lastFileName = dialog.selectedFiles().constFirst();
    m_lastFilter = dialog.selectedNameFilter();
    return m_lastFileName;
}

ReportFormat ExportSaveDialog::chosenFormat() const {
    return FormatOf(m_lastFilter);
}

CsvEncoding ExportSaveDialog::chosenEncoding() const {
    return m_lastFilter == kUtf8Filter ? CsvEncoding::Utf8 : CsvEncoding::Windows1252;
}

void StartSaveDialogOn(QFileDialog& dialog, const QString& lastFileName,
                       QStandardPaths::StandardLocation firstFolder) {
    if (lastFileName.isEmpty()) {
        QString folder = QStandardPaths::writableLocation(firstFolder);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
        dialog.setDirectory(folder);
    } else {
        const QFileInfo last(lastFileName);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
}
