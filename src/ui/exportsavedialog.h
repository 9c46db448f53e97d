#pragma once

#include "reportexport.h"

#include <QPointer>
#include <QString>

class QFileDialog;
class QWidget;

/// The save dialog of the report export: title "Export data to CSV file", the filters for CSV,
/// text and all files (CSV selected), default suffix "csv", confirmation before an existing file
/// is replaced. It starts on the documents folder, and afterwards on the file chosen last, for as
/// long as the program runs.
class ExportSaveDialog : public ExportFileChooser {
public:
    explicit ExportSaveDialog(QWidget* parent) : m_parent(parent) {}

    /// Shows the dialog modally; the chosen full path, or empty text when cancelled.
    QString chooseExportFile() override;

    /// The file chosen last (empty before the first choice).
    const QString& lastFileName() const { return m_lastFileName; }

    /// Sets up a dialog as the export shows it, starting on lastFileName when there is one.
    static void Configure(QFileDialog& dialog, const QString& lastFileName);

private:
    QPointer<QWidget> m_parent;
    QString m_lastFileName;
};
