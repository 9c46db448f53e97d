#include "imagesavedialog.h"

#include "exportsavedialog.h"

#include <QFileDialog>
#include <QStandardPaths>

namespace {
const QString kPngFilter = QStringLiteral("PNG images (*.png)");
const QString kSvgFilter = QStringLiteral("SVG images (*.svg)");
} // namespace

void ImageSaveDialog::Configure(QFileDialog& dialog, const QString& lastFileName) {
    dialog.setWindowTitle(QStringLiteral("Save chart image"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kPngFilter, kSvgFilter});
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setSizeGripEnabled(true);
    // A name typed without extension gets the one of the filter chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        dialog.setDefaultSuffix(f == kSvgFilter ? QStringLiteral("svg") : QStringLiteral("png"));
    });
    const bool svg = lastFileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    dialog.selectNameFilter(svg ? kSvgFilter : kPngFilter);
    dialog.setDefaultSuffix(svg ? QStringLiteral("svg") : QStringLiteral("png"));
    StartSaveDialogOn(dialog, lastFileName, QStandardPaths::PicturesLocation);
}

QString ImageSaveDialog::chooseImageFile() {
    QFileDialog dialog(m_parent);
    Configure(dialog, m_lastFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    m_lastFileName = dialog.selectedFiles().constFirst();
    return m_lastFileName;
}
