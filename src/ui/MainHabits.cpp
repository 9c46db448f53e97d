// What a desktop program is expected to do beyond its controls: take results files and folders
// dropped onto the local list, the keys F5, Ctrl+E, Ctrl+Q and the viewer's Ctrl+F, and a hint in
// the local list before the first folder is chosen.

#include "Main.h"
#include "TRView.h"
#include "droppedfiles.h"
#include "importedmarks.h"
#include "listrows.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QItemSelection>
#include <QMimeData>
#include <QSet>
#include <QShortcut>

namespace {

/// The hint of the empty local list while no folder was chosen.
const QString kLocalListHint = QStringLiteral(
    "Press \"Get Tourney Results List\" to choose the folder of results files, or drop it here.");

QStringList LocalPathsOf(const QMimeData* mime) {
    QStringList paths;
    if (mime && mime->hasUrls())
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
    return paths;
}

/// Takes the drags and drops of the local list's viewport and hands the drops to the window. A
/// drag is looked at once, as it enters: the moves over the list that follow keep that answer.
class LocalDropFilter : public QObject {
public:
    /// drop: lists the dropped paths; false when they hold nothing to list.
    LocalDropFilter(QObject* parent, std::function<bool(const QStringList&)> drop)
        : QObject(parent), m_drop(std::move(drop)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
            m_enteredAccepted =
                DropListsSomething(LocalPathsOf(static_cast<QDropEvent*>(event)->mimeData()));
            [[fallthrough]];
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (m_enteredAccepted)
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::DragLeave:
            m_enteredAccepted = false;
            return true;
        case QEvent::Drop: {
            m_enteredAccepted = false;
            auto* drop = static_cast<QDropEvent*>(event);
            if (m_drop(LocalPathsOf(drop->mimeData())))
                drop->acceptProposedAction();
            else
                drop->ignore();
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<bool(const QStringList&)> m_drop;
    bool m_enteredAccepted = false; ///< the answer to the drag over the list now
};

/// Selects the items of the list whose file names are among names, in one change of the
/// selection, and puts the focus mark on the first of them; false when none is listed.
bool SelectNamedItems(QListWidget* list, const QStringList& names) {
    const QSet<QString> wanted(names.begin(), names.end());
    QItemSelection selection;
    int first = -1;
    int runStart = -1; // rows of one run of selected items go in as one range
    const auto closeRun = [&](int end) {
        if (runStart >= 0)
            selection.select(list->model()->index(runStart, 0), list->model()->index(end - 1, 0));
        runStart = -1;
    };
    for (int row = 0; row < list->count(); ++row) {
        if (!wanted.contains(ItemFileName(list->item(row)))) {
            closeRun(row);
            continue;
        }
        if (first < 0)
            first = row;
        if (runStart < 0)
            runStart = row;
    }
    closeRun(list->count());
    if (first < 0)
        return false;
    list->selectionModel()->select(selection, QItemSelectionModel::Select);
    // The focus mark on the first dropped file, for "View Selected File".
    list->setCurrentRow(first, QItemSelectionModel::NoUpdate);
    return true;
}

/// "Export (Ctrl+E)": the key in the tooltip of the control it works.
void ShowKeyInTooltip(QWidget* control, const QString& name, const QKeySequence& key) {
    control->setToolTip(
        QStringLiteral("%1 (%2)").arg(name, key.toString(QKeySequence::NativeText)));
}

} // namespace

void TMainForm::connectHabits() {
    TRLocalList->setAcceptDrops(true);
    TRLocalList->viewport()->installEventFilter(
        new LocalDropFilter(TRLocalList, [this](const QStringList& paths) {
            bool listed = false;
            runHandler([&] { listed = TRLocalListDrop(paths); });
            return listed;
        }));

    auto* list = qobject_cast<ResultsList*>(TRLocalList);
    const auto updateHint = [this, list] {
        list->setEmptyHint(LocalFolder->text().isEmpty() ? kLocalListHint : QString());
    };
    connect(LocalFolder, &QLineEdit::textChanged, this, updateHint);
    updateHint();

    const QKeySequence refresh(Qt::Key_F5);
    const QKeySequence exportKey(Qt::CTRL | Qt::Key_E);
    const QKeySequence print(Qt::CTRL | Qt::Key_P);
    const QKeySequence quit(Qt::CTRL | Qt::Key_Q);
    const QKeySequence find(Qt::CTRL | Qt::Key_F);
    connectHandler(new QShortcut(refresh, this), &QShortcut::activated,
                   &TMainForm::RefreshKeyPress);
    connectHandler(new QShortcut(exportKey, this), &QShortcut::activated,
                   &TMainForm::ExportKeyPress);
    connectHandler(new QShortcut(print, this), &QShortcut::activated, &TMainForm::PrintKeyPress);
    // The same as the close button: FormCloseQuery writes the settings.
    connect(new QShortcut(quit, this), &QShortcut::activated, this, &QWidget::close);
    ShowKeyInTooltip(RefreshBtn, RefreshBtn->text(), refresh);
    ShowKeyInTooltip(LoadSQLBtn, LoadSQLBtn->text(), refresh);
    ShowKeyInTooltip(ExportBtn, ExportBtn->text(), exportKey);
    ShowKeyInTooltip(PrintBtn, QStringLiteral("Print"), print);

    TTRViewForm* viewer = TRViewForm;
    connect(new QShortcut(find, viewer), &QShortcut::activated, viewer, [viewer] {
        viewer->SearchBox->setFocus(Qt::ShortcutFocusReason);
        viewer->SearchBox->selectAll();
    });
    ShowKeyInTooltip(viewer->SearchBox, QStringLiteral("Find"), find);
}

bool TMainForm::TRLocalListDrop(const QStringList& paths) {
    // A drop of many files is a run of the page: it shows its progress and can be cancelled
    // while the paths are read, before anything of the page changes.
    const QString status = TRStatus->text();
    DroppedResults dropped;
    if (!Runs->run(ResultsRunPage(), nullptr,
                   [&] { dropped = ResultsOfDrop(paths, statusLine(TRStatus)); }))
        return true; // taken, and cancelled: the page says so
    if (dropped.folder.isEmpty()) {
        TRStatus->setText(status); // nothing changed, the count of the reading neither
        return false;
    }
    PageControl1->setCurrentWidget(TournamentResultsPage);
    PageControl2->setCurrentWidget(LocalPage);
    ListLocalFolder(dropped.folder);
    SelectNamedItems(TRLocalList, dropped.names);
    return true;
}

void TMainForm::ListStartFolder(const QString& path) {
    const QFileInfo folder(path);
    if (!folder.isDir()) {
        messages().error(QStringLiteral("\"%1\" is not a folder.").arg(path));
        return;
    }
    ListLocalFolder(folder.absoluteFilePath());
}

void TMainForm::RefreshKeyPress() {
    if (PageControl1->currentWidget() == ReportPage) {
        LoadSQLBtnClick();
        return;
    }
    if (PageControl1->currentWidget() != TournamentResultsPage)
        return;
    if (PageControl2->currentWidget() == LocalPage && !LocalFolder->text().isEmpty())
        ListLocalFolder(LocalFolder->text());
    else
        RefreshBtnClick();
}

void TMainForm::ExportKeyPress() {
    if (PageControl1->currentWidget() == ReportPage)
        ExportBtnClick();
}

void TMainForm::PrintKeyPress() {
    if (PageControl1->currentWidget() == ReportPage)
        PrintBtnClick();
}
