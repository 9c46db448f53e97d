#include "exportsavedialog.h"

#include <QFileDialog>
#include <QStandardPaths>

void ExportSaveDialog::Configure(QFileDialog& dialog, const QString& lastFileName) {
    dialog.setWindowTitle(QStringLiteral("Export data to CSV file"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"),
                           QStringLiteral("Text files (*.txt)"),
                           QStringLiteral("All files (*.*)")});
    dialog.selectNameFilter(QStringLiteral("CSV files (*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setSizeGripEnabled(true);
    if (lastFileName.isEmpty()) {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
        dialog.setDirectory(folder);
    } else {
        const QFileInfo last(lastFileName);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
}

QString ExportSaveDialog::chooseExportFile() {
    QFileDialog dialog(m_parent);
    Configure(dialog, m_lastFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    m_lastFileName = dialog.selectedFiles().constFirst();
    return m_lastFileName;
}
