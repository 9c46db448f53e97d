// Handlers of the main window: Fee Database page.

#include "Main.h"

#include "feeviews.h"
#include "importedmarks.h"
#include "resultset.h"
#include "resultsetmodel.h"
#include "runcontrol.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace {
constexpr int kFloatColumnWidth = 100;

/// The grid's current row is the view's current row, both ways: the keyboard and the mouse move
/// the view, and a move of the view (the first row after a load, the detail following its
/// master) shows in the grid.
void KeepCurrentRowsTogether(QTableView* grid, ResultSet* view, ResultSetModel* model) {
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
                     [view](const QModelIndex& current) {
                         if (current.isValid() && current.row() != view->currentRow())
                             view->setCurrentRow(current.row());
                     });
    QObject::connect(view, &ResultSet::currentRowChanged, grid, [grid, view, model] {
        const qsizetype row = view->currentRow();
        if (row < 0 || row >= model->rowCount())
            return;
        const QModelIndex current = grid->currentIndex();
        if (current.row() != row)
            grid->setCurrentIndex(model->index(int(row), current.isValid() ? current.column() : 0));
    });
}

/// Floating-point columns are 100 px wide (the model shows them as "0.00"); the others keep the
/// grid's default width.
void WidenFloatColumns(QTableView* grid, const ResultSet& view) {
    for (int i = 0; i < view.columnCount(); ++i)
        if (view.column(i).kind == ColumnKind::Float)
            grid->setColumnWidth(i, kFloatColumnWidth);
}
} // namespace

void TMainForm::connectFeePage() {
    FeeTables = new FeeViews(this);
    MasterDataSource = new ResultSetModel(&FeeTables->master, this);
    DetailDataSource = new ResultSetModel(&FeeTables->detail, this);
    MasterGrid->setModel(MasterDataSource);
    DetailGrid->setModel(DetailDataSource);
    KeepCurrentRowsTogether(MasterGrid, &FeeTables->master, MasterDataSource);
    KeepCurrentRowsTogether(DetailGrid, &FeeTables->detail, DetailDataSource);

    // A title click re-sorts the master view and nothing else: the grid's own column selection
    // on a pressed title is taken off. Detail titles do nothing at all.
    QHeaderView* masterTitles = MasterGrid->horizontalHeader();
    disconnect(masterTitles, &QHeaderView::sectionPressed, MasterGrid, &QTableView::selectColumn);
    DetailGrid->horizontalHeader()->setSectionsClickable(false);

    connectHandler(DBOpenBtn, &QPushButton::clicked, &TMainForm::DBOpenBtnClick);
    connectHandler(DBCloseBtn, &QPushButton::clicked, &TMainForm::DBCloseBtnClick);
    connectHandler(EmptyDBBtn, &QPushButton::clicked, &TMainForm::EmptyDBBtnClick);
    connectHandler(masterTitles, &QHeaderView::sectionClicked, &TMainForm::MasterGridTitleClick);
    connectHandler(&FeeTables->master, &ResultSet::currentRowChanged,
                   &TMainForm::MasterClientDataSetAfterScroll);
    connectHandler(&FeeTables->detail, &ResultSet::currentRowChanged,
                   &TMainForm::DetailClientDataSetAfterScroll);
}

void TMainForm::DBOpenBtnClick() {
    LoadFeeTables();
}

void TMainForm::DBCloseBtnClick() {
    CloseFeeTables();
}

void TMainForm::EmptyDBBtnClick() {
    if (!EmptyFeeDatabase(db(), messages(), [this] { CloseFeeTables(); }))
        return;
    // The record went with the rows: no listed file is imported any more.
    ShowImportedMarks(TRLocalList, {});
    ShowImportedMarks(TRRemoteList, {});
}

void TMainForm::MasterGridTitleClick(int column) {
    const ResultSet& master = FeeTables->master;
    if (column < 0 || column >= master.columnCount())
        return;
    // The order changes before the load, so a failing load leaves the new order for the next
    // Open.
    const MasterSortOrder order =
        NextMasterSortOrder({SortField, SortDescending}, master.column(column).name);
    SortField = order.field;
    SortDescending = order.descending;
    MasterSQL = MasterQueryFor(order);
    LoadFeeTables();
}

void TMainForm::MasterClientDataSetAfterScroll() {
    ShowMasterStatus();
}

void TMainForm::DetailClientDataSetAfterScroll() {
    ShowDetailStatus();
}

void TMainForm::LoadFeeTables() {
    const bool loaded = Runs->run(FeeRunPage(), &db(), [this] {
        FeeTables->load(db(), MasterSQL, DetailSQL, statusLine(MasterStatus),
                        statusLine(DetailStatus));
    });
    if (!loaded) { // both views stay closed
        CloseFeeTables();
        MasterStatus->setText(QString::fromUtf16(kCancelledText));
        return;
    }

    const ResultSet& master = FeeTables->master;
    WidenFloatColumns(MasterGrid, master);
    const QFont titleFont = MasterGrid->horizontalHeader()->font();
    for (int i = 0; i < master.columnCount(); ++i) {
        QFont font = titleFont; // only the weight changes
        font.setBold(master.column(i).name == SortField);
        MasterDataSource->setHeaderData(i, Qt::Horizontal, font, Qt::FontRole);
    }
    WidenFloatColumns(DetailGrid, FeeTables->detail);
    // Lay the detail grid out again at once, so that its new column widths show.
    DetailGrid->horizontalHeader()->doItemsLayout();
    DetailGrid->viewport()->update();

    ShowMasterStatus();
    ShowDetailStatus();
}

void TMainForm::CloseFeeTables() {
    FeeTables->close(statusLine(MasterStatus), statusLine(DetailStatus));
}

// The position texts follow every move of the keyboard, so they are painted with the rest of
// the window rather than at once: only the progress texts before a long step need that.
void TMainForm::ShowMasterStatus() {
    MasterStatus->setText(RecordStatusText(QStringLiteral("Master"), FeeTables->master));
}

void TMainForm::ShowDetailStatus() {
    DetailStatus->setText(RecordStatusText(QStringLiteral("Detail"), FeeTables->detail));
}
