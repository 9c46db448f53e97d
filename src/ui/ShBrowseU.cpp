#include "ShBrowseU.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

TShBrowse::Chooser& chooser() {
    static TShBrowse::Chooser c;
    return c;
}

/// Moves every item of a grid layout one row down and puts the widget alone in the top row.
void insertTopRow(QGridLayout* grid, QWidget* widget) {
    struct Placed {
        QLayoutItem* item;
        int row, column, rowSpan, columnSpan;
    };
    QList<Placed> items;
    while (grid->count() > 0) {
        Placed p{};
        grid->getItemPosition(0, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
        p.item = grid->takeAt(0);
        items.append(p);
    }
    const int columns = std::max(1, grid->columnCount());
    grid->addWidget(widget, 0, 0, 1, columns);
    for (const Placed& p : items)
        grid->addItem(p.item, p.row + 1, p.column, p.rowSpan, p.columnSpan);
}

} // namespace

TShBrowse::TShBrowse()
    : FCaption(QStringLiteral("Browse for Folder")), FUserMessage(QStringLiteral("Select folder")) {
}

void TShBrowse::SetChooser(Chooser c) {
    chooser() = std::move(c);
}

void TShBrowse::Configure(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!FCaption.isEmpty())
        dialog.setWindowTitle(FCaption);
    // A start folder that does not exist leaves the dialog on its own default.
    if (!FInitFolder.isEmpty() && QDir(FInitFolder).exists())
        dialog.setDirectory(FInitFolder);
    auto* message = new QLabel(FUserMessage, &dialog);
    message->setObjectName(QStringLiteral("UserMessage"));
    message->setWordWrap(true);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        insertTopRow(grid, message);

    // Centred in the work area by its size alone: the work area's own offset is not added.
    dialog.adjustSize();
    if (FLeft == 0 || FTop == 0) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect work = screen->availableGeometry();
            FLeft = (work.width() - dialog.width()) / 2;
            FTop = (work.height() - dialog.height()) / 2;
        }
    }
    dialog.move(FLeft, FTop);
}

bool TShBrowse::Execute() {
    std::optional<QString> chosen;
    if (chooser()) {
        chosen = chooser()(*this);
    } else {
        QFileDialog dialog(nullptr); // no owner window, as the listing opens it
        Configure(dialog);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedFiles().value(0);
    }
    if (!chosen)
        return false;
    FFolder = *chosen;
    return true;
}
