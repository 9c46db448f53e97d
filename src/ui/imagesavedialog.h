#pragma once

#include "ChartForm.h"

#include <QPointer>
#include <QString>

class QFileDialog;
class QWidget;

/// The save dialog of the chart window's "Save Image...": title "Save chart image", filters for
/// PNG and SVG images (PNG selected), the default suffix of the filter chosen, confirmation before
/// an existing file is replaced. It starts on the pictures folder, and afterwards on the file
/// chosen last, for as long as the program runs.
class ImageSaveDialog : public ImageFileChooser {
public:
    explicit ImageSaveDialog(QWidget* parent) : m_parent(parent) {}

    /// Shows the dialog modally; the chosen full path, or empty text when cancelled.
    QString chooseImageFile() override;

    /// Sets up a dialog as "Save Image..." shows it, starting on lastFileName when there is one.
    static void Configure(QFileDialog& dialog, const QString& lastFileName);

private:
    QPointer<QWidget> m_parent;
    QString m_lastFileName;
};
