// The controls of the main window: names, captions, initial states, tab order and how each
// grows with the window. Positions follow the design at 96 dots per inch.

#include "Main.h"

#include "listrows.h"
#include "pagecontrol.h"
#include "reportcatalogue.h"
#include "rowindicator.h"
#include "sqlmemo.h"
#include "statusline.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace {

template <typename W, typename... Args> W* named(const char* name, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)...);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

/// A drop-down list whose open list is as wide as its widest item, so that no caption is cut;
/// the closed box keeps the width the layout gives it.
class CaptionWideComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        QAbstractItemView* list = view();
        int widest = 0;
        for (int row = 0; row < count(); ++row)
            widest = std::max(widest,
                              list->sizeHintForIndex(model()->index(row, modelColumn())).width());
        if (count() > maxVisibleItems())
            widest += list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        list->setMinimumWidth(widest + 2 * list->frameWidth());
        QComboBox::showPopup();
    }
};

QPushButton* button(const char* name, const QString& caption, QSize size) {
    auto* b = named<QPushButton>(name, caption);
    b->setFixedSize(size);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* edit(const char* name, int width) {
    auto* e = named<QLineEdit>(name);
    e->setFixedWidth(width);
    return e;
}

/// A panel with no border, or with the lowered border of the design.
QFrame* panel(const char* name, bool lowered) {
    auto* f = named<QFrame>(name);
    f->setFrameStyle(lowered ? QFrame::StyledPanel | QFrame::Sunken : QFrame::NoFrame);
    return f;
}

/// A results list: multiple selection with Shift and Ctrl ranges, fixed-pitch font, rows of one
/// height.
QListWidget* resultsList(const char* name) {
    auto* list = named<ResultsList>(name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setFont(FixedPitchListFont());
    list->setUniformItemSizes(true);
    list->setItemDelegate(new RowPaddingDelegate(list));
    list->setMinimumSize(60, 40);
    return list;
}

/// A read-only grid with column titles, a row indicator, lines and resizable columns. The arrow
/// keys move between cells; Tab and Shift+Tab leave the grid along the page's cycle. The model
/// comes with the result view that feeds it.
QTableView* grid(const char* name, const QFont& titleFont) {
    auto* g = named<QTableView>(name);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setShowGrid(true);
    g->setTabKeyNavigation(false);
    g->setWordWrap(false);
    QHeaderView* titles = g->horizontalHeader();
    titles->setFont(titleFont);
    titles->setSectionsClickable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    // A fixed row height keeps a grid of millions of rows quick to lay out.
    QHeaderView* rows = new RowIndicator(g);
    g->setVerticalHeader(rows);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(g->font()).height() + 4);
    rows->setMinimumSectionSize(QFontMetrics(g->font()).height() + 2);
    rows->setVisible(true);
    // A click on the row indicator makes its row current, in the column that is current (the
    // view's own row selection does nothing where single cells are selected).
    QObject::connect(rows, &QHeaderView::sectionPressed, g, [g](int row) {
        if (!g->model())
            return;
        const QModelIndex current = g->currentIndex();
        g->setCurrentIndex(g->model()->index(row, current.isValid() ? current.column() : 0));
    });
    return g;
}

/// A date picker that Tab leaves (the arrow keys move between its day, month and year).
class DatePicker : public QDateEdit {
protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

QDateEdit* blankDatePicker(const char* name) {
    QDateEdit* d = named<DatePicker>(name);
    d->setCalendarPopup(true);
    d->setSpecialValueText(QStringLiteral(" "));
    d->setDate(d->minimumDate());
    d->setFixedWidth(97);
    d->setEnabled(false);
    return d;
}

} // namespace

void TMainForm::buildLayout() {
    PageControl1 = new PageControl(180, false, this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(buildResultsPage(), QStringLiteral("Tournament Results"));
    PageControl1->addTab(buildDataPage(), QStringLiteral("Fee Database"));
    PageControl1->addTab(buildReportPage(), QStringLiteral("Reports"));
    PageControl1->setCurrentWidget(TournamentResultsPage);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1);
}

QWidget* TMainForm::buildResultsPage() {
    TournamentResultsPage = named<QWidget>("TournamentResultsPage");
    Panel1 = named<QWidget>("Panel1");

    PageControl2 = new PageControl(175, true);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    PageControl2->addTab(buildLocalPage(), QStringLiteral("Local Result Files"));
    PageControl2->addTab(buildRemotePage(), QStringLiteral("Remote Result Files"));
    PageControl2->setCurrentWidget(LocalPage);

    RefreshBtn = button("RefreshBtn", QStringLiteral("Get Tourney Results List"), {146, 38});
    LoadTRBtn = button("LoadTRBtn", QStringLiteral("View Selected File"), {146, 38});
    SelectAllBtn = button("SelectAllBtn", QStringLiteral("Select All Files"), {146, 38});
    ImportBtn = button("ImportBtn", QStringLiteral("Import Selected Files"), {146, 38});

    // The buttons keep their places from the top and their distance to the right edge.
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addSpacing(109);
    buttons->addWidget(RefreshBtn);
    buttons->addSpacing(15);
    buttons->addWidget(LoadTRBtn);
    buttons->addSpacing(15);
    buttons->addWidget(SelectAllBtn);
    buttons->addSpacing(16);
    buttons->addWidget(ImportBtn);
    buttons->addStretch(1);

    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(0, 0, 17, 0);
    row->setSpacing(16);
    row->addWidget(PageControl2, 1);
    row->addLayout(buttons);

    TRStatus = MakeStatusPanel(QStringLiteral("TRStatus"), TournamentResultsPage);
    auto* page = new QVBoxLayout(TournamentResultsPage);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(Panel1, 1);
    page->addWidget(TRStatus);
    return TournamentResultsPage;
}

QWidget* TMainForm::buildLocalPage() {
    LocalPage = named<QWidget>("LocalPage");
    Label3 = named<QLabel>("Label3", QStringLiteral("Folder"));
    LocalFolder = named<QLineEdit>("LocalFolder");
    LocalFolder->setReadOnly(true);
    LocalFolder->setBackgroundRole(QPalette::Button);
    QPalette face = LocalFolder->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    LocalFolder->setPalette(face);
    LFileLabel = named<QLabel>("LFileLabel", QStringLiteral("Files:  0"));
    TRLocalList = resultsList("TRLocalList");

    auto* layout = new QVBoxLayout(LocalPage);
    layout->setContentsMargins(16, 16, 8, 8);
    layout->setSpacing(0);
    layout->addWidget(Label3);
    layout->addSpacing(3);
    layout->addWidget(LocalFolder);
    layout->addSpacing(10);
    layout->addWidget(LFileLabel);
    layout->addSpacing(5);
    layout->addWidget(TRLocalList, 1);
    return LocalPage;
}

QWidget* TMainForm::buildRemotePage() {
    RemotePage = named<QWidget>("RemotePage");
    Label1 = named<QLabel>("Label1", QStringLiteral("Poker Server IP / Domain"));
    ServerIP = edit("ServerIP", 177);
    Label2 = named<QLabel>("Label2", QStringLiteral("File Port"));
    FilePort = edit("FilePort", 50);
    Label4 = named<QLabel>("Label4", QStringLiteral("API Path"));
    APIPath = edit("APIPath", 82);
    Label5 = named<QLabel>("Label5", QStringLiteral("API Password"));
    APIPW = edit("APIPW", 97);
    APIPW->setEchoMode(QLineEdit::Password);
    RememberPW = named<QCheckBox>("RememberPW", QStringLiteral("Remember PW"));
    RFileLabel = named<QLabel>("RFileLabel", QStringLiteral("Files:  0"));
    TRRemoteList = resultsList("TRRemoteList");

    auto* layout = new QGridLayout(RemotePage);
    layout->setContentsMargins(16, 16, 8, 8);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(3);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(Label2, 0, 1);
    layout->addWidget(Label4, 0, 2);
    layout->addWidget(Label5, 0, 3);
    layout->addWidget(ServerIP, 1, 0);
    layout->addWidget(FilePort, 1, 1);
    layout->addWidget(APIPath, 1, 2);
    layout->addWidget(APIPW, 1, 3);
    layout->addWidget(RFileLabel, 2, 0, Qt::AlignLeft | Qt::AlignBottom);
    layout->addWidget(RememberPW, 2, 3, Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(TRRemoteList, 3, 0, 1, 5);
    layout->setColumnStretch(4, 1);
    layout->setRowStretch(3, 1);
    return RemotePage;
}

QWidget* TMainForm::buildDataPage() {
    DataPage = named<QWidget>("DataPage");

    MasterPanel = panel("MasterPanel", true);
    MasterPanel->setFixedHeight(41);
    DBOpenBtn = button("DBOpenBtn", QStringLiteral("Open"), {105, 25});
    DBCloseBtn = button("DBCloseBtn", QStringLiteral("Close"), {105, 25});
    EmptyDBBtn = button("EmptyDBBtn", QStringLiteral("Empty"), {105, 25});
    auto* buttons = new QHBoxLayout(MasterPanel);
    buttons->setContentsMargins(7, 7, 7, 7);
    buttons->setSpacing(0);
    buttons->addWidget(DBOpenBtn);
    buttons->addSpacing(15);
    buttons->addWidget(DBCloseBtn);
    buttons->addSpacing(78);
    buttons->addWidget(EmptyDBBtn);
    buttons->addStretch(1);

    const QFont titleFont = font();
    UpperPanel = panel("UpperPanel", false);
    MasterGrid = grid("MasterGrid", titleFont);
    MasterStatus = MakeStatusPanel(QStringLiteral("MasterStatus"), UpperPanel);
    auto* upper = new QVBoxLayout(UpperPanel);
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    upper->addWidget(MasterPanel);
    upper->addWidget(MasterGrid, 1);
    upper->addWidget(MasterStatus);

    LowerPanel = panel("LowerPanel", false);
    DetailGrid = grid("DetailGrid", titleFont);
    DetailStatus = MakeStatusPanel(QStringLiteral("DetailStatus"), LowerPanel);
    auto* lower = new QVBoxLayout(LowerPanel);
    lower->setContentsMargins(0, 0, 0, 0);
    lower->setSpacing(0);
    lower->addWidget(DetailGrid, 1);
    lower->addWidget(DetailStatus);

    // Neither side becomes smaller than 100 px and none snaps closed; the upper side takes what
    // the window gains.
    UpperPanel->setMinimumHeight(100);
    LowerPanel->setMinimumHeight(100);
    Splitter1 = named<QSplitter>("Splitter1", Qt::Vertical);
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setOpaqueResize(true);
    Splitter1->addWidget(UpperPanel);
    Splitter1->addWidget(LowerPanel);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({250, 123});

    auto* page = new QVBoxLayout(DataPage);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(Splitter1);
    return DataPage;
}

QWidget* TMainForm::buildReportPage() {
    ReportPage = named<QWidget>("ReportPage");

    ReportPanel = panel("ReportPanel", true);
    ReportPanel->setFixedHeight(57);
    StartCB = named<QCheckBox>("StartCB", QStringLiteral("Start Date"));
    EndCB = named<QCheckBox>("EndCB", QStringLiteral("End Date"));
    StartDate = blankDatePicker("StartDate");
    EndDate = blankDatePicker("EndDate");
    Label6 = named<QLabel>("Label6", QStringLiteral("Report"));
    ReportList = named<CaptionWideComboBox>("ReportList");
    ReportList->addItems(ReportCaptions());
    ReportList->setMaxVisibleItems(16);
    ReportList->setFixedWidth(147);
    ReportList->setCurrentIndex(0);
    ExportBtn = button("ExportBtn", QStringLiteral("Export"), {65, 23});
    ChartBtn = button("ChartBtn", QStringLiteral("Chart"), {65, 23});
    PrintBtn = button("PrintBtn", QStringLiteral("Print..."), {65, 23});

    auto* filters = new QGridLayout(ReportPanel);
    filters->setContentsMargins(7, 4, 7, 4);
    filters->setHorizontalSpacing(6);
    filters->setVerticalSpacing(1);
    filters->addWidget(StartCB, 0, 0);
    filters->addWidget(EndCB, 0, 1);
    filters->addWidget(Label6, 0, 2, Qt::AlignLeft | Qt::AlignBottom);
    filters->addWidget(StartDate, 1, 0);
    filters->addWidget(EndDate, 1, 1);
    filters->addWidget(ReportList, 1, 2);
    filters->setColumnMinimumWidth(3, 40);
    filters->addWidget(ExportBtn, 1, 4);
    filters->addWidget(ChartBtn, 1, 5);
    filters->addWidget(PrintBtn, 1, 6);
    filters->setColumnStretch(7, 1);

    Panel2 = panel("Panel2", true);
    Panel2->setFixedHeight(48);
    SQLMemo = new SqlMemo;
    SQLMemo->setObjectName(QStringLiteral("SQLMemo"));
    SQLMemo->setTabChangesFocus(true);
    LoadSQLBtn = named<QPushButton>("LoadSQLBtn", QStringLiteral("Load"));
    LoadSQLBtn->setAutoDefault(false);
    LoadSQLBtn->setFixedWidth(49);
    LoadSQLBtn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    auto* sql = new QHBoxLayout(Panel2);
    sql->setContentsMargins(1, 1, 1, 1);
    sql->setSpacing(0);
    sql->addWidget(SQLMemo, 1);
    sql->addWidget(LoadSQLBtn);

    ReportGrid = grid("ReportGrid", font());
    ReportStatus = MakeStatusPanel(QStringLiteral("ReportStatus"), ReportPage);

    auto* page = new QVBoxLayout(ReportPage);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(ReportPanel);
    page->addWidget(Panel2);
    page->addWidget(ReportGrid, 1);
    page->addWidget(ReportStatus);
    return ReportPage;
}

QList<QWidget*> TMainForm::TabCycle() const {
    // The page tabs lead into the shown page; its last control leads back to them.
    QList<QWidget*> cycle{PageControl1->tabBar()};
    const QWidget* page = PageControl1->currentWidget();
    if (page == TournamentResultsPage) {
        cycle << RefreshBtn << LoadTRBtn << SelectAllBtn << ImportBtn << PageControl2->tabBar();
        if (PageControl2->currentWidget() == LocalPage)
            cycle << LocalFolder << TRLocalList;
        else
            cycle << TRRemoteList << ServerIP << FilePort << APIPath << APIPW << RememberPW;
    } else if (page == DataPage) {
        cycle << DBOpenBtn << DBCloseBtn << EmptyDBBtn << MasterGrid << DetailGrid;
    } else if (page == ReportPage) {
        cycle << StartCB << EndCB << StartDate << EndDate << ReportList << ExportBtn << ChartBtn
              << PrintBtn << SQLMemo << LoadSQLBtn << ReportGrid;
    }
    return cycle;
}

bool TMainForm::focusNextPrevChild(bool next) {
    // Qt's own chain cannot hold the design's order: a page control's tab strip is reached only
    // through the page control, and the pages of a page control share one chain. So Tab and
    // Shift+Tab walk the shown page's cycle here, skipping what is hidden or disabled.
    const QList<QWidget*> cycle = TabCycle();
    const QWidget* focus = QApplication::focusWidget();
    qsizetype at = -1;
    for (qsizetype i = 0; i < cycle.size() && at < 0; ++i)
        if (focus && (cycle[i] == focus || cycle[i]->isAncestorOf(focus)))
            at = i;
    if (at < 0)
        return QWidget::focusNextPrevChild(next);
    const qsizetype n = cycle.size();
    for (qsizetype step = 1; step < n; ++step) {
        QWidget* candidate = cycle[(at + (next ? step : n - step)) % n];
        if (candidate->isVisible() && candidate->isEnabled() &&
            (candidate->focusPolicy() & Qt::TabFocus)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return true;
}
