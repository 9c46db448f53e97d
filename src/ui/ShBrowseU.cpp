#include "ShBrowseU.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSortFilterProxyModel>

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

/// What the folder tree shows: every folder, and the results files (TR*.txt, letter case
/// ignored) greyed and not selectable, so that the operator sees that a folder holds them before
/// choosing it. Other files are not shown.
class FoldersWithResultsFiles : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        const Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
        if (isFile(mapToSource(index)))
            return flags & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                             Qt::ItemIsDragEnabled);
        return flags;
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        if (!isFile(index))
            return true;
        const QString name = index.data(Qt::DisplayRole).toString();
        return name.size() >= 6 && name.startsWith(QLatin1String("TR"), Qt::CaseInsensitive) &&
               name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive);
    }

private:
    bool isFile(const QModelIndex& source) const {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        return files && source.isValid() && !files->isDir(source);
    }
};

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
    dialog.setOption(QFileDialog::ShowDirsOnly, false); // the results files show, greyed
    dialog.setProxyModel(new FoldersWithResultsFiles(&dialog));
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
