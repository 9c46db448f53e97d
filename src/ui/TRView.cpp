#include "TRView.h"

#include "guardedcall.h"
#include "listrows.h"
#include "messageboxmessages.h"
#include "programicon.h"
#include "settings.h"
#include "statusline.h"
#include "trlinesmodel.h"
#include "viewfind.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSizeGrip>
#include <QVBoxLayout>
#include <malloc.h>

namespace {
constexpr QSize kDesignClientSize{584, 442};
constexpr QSize kMinimumOuterSize{300, 240};

QLabel* statusPanel(const char* name, int width, QWidget* parent) {
    QLabel* panel = MakeStatusPanel(QString::fromLatin1(name), parent);
    panel->setFixedWidth(width);
    panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return panel;
}
} // namespace

TTRViewForm::TTRViewForm(QWidget* mainWindow)
    : QDialog(mainWindow), m_mainWindow(mainWindow),
      m_size(*this, Setting::ViewWidth, Setting::ViewHeight, Setting::ViewMax) {
    setObjectName(QStringLiteral("TRViewForm"));
    setWindowTitle(QStringLiteral("View"));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Panel1 = new QFrame;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Panel1->setFixedHeight(33);
    Label1 = new QLabel(QStringLiteral("Find:"));
    Label1->setObjectName(QStringLiteral("Label1"));
    SearchBox = new QLineEdit;
    SearchBox->setObjectName(QStringLiteral("SearchBox"));
    SearchBox->setFixedWidth(180);
    NextBtn = new QPushButton(QStringLiteral("Next"));
    NextBtn->setObjectName(QStringLiteral("NextBtn"));
    NextBtn->setFixedWidth(65);
    NextBtn->setAutoDefault(false);
    NextBtn->setDefault(false);
    auto* find = new QHBoxLayout(Panel1);
    find->setContentsMargins(8, 4, 8, 4);
    find->setSpacing(6);
    find->addWidget(Label1);
    find->addWidget(SearchBox);
    find->addSpacing(4);
    find->addWidget(NextBtn);
    find->addStretch(1);

    m_model = new TRLinesModel(this);
    TRViewer = new QListView;
    TRViewer->setObjectName(QStringLiteral("TRViewer"));
    TRViewer->setModel(m_model);
    TRViewer->setSelectionMode(QAbstractItemView::SingleSelection);
    TRViewer->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TRViewer->setFont(FixedPitchListFont());
    TRViewer->setItemDelegate(new RowPaddingDelegate(TRViewer));
    TRViewer->setUniformItemSizes(true); // a million lines lay out at once
    TRViewer->setLayoutMode(QListView::SinglePass);
    TRViewer->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    TRViewer->setWordWrap(false);

    StatusBar1 = new QWidget;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    LinePanel = statusPanel("LinePanel", 150, StatusBar1);
    LinePanel->setText(QStringLiteral("Line:  0 of 0"));
    TournamentsPanel = statusPanel("TournamentsPanel", 100, StatusBar1);
    TournamentsPanel->setText(QStringLiteral("Tournaments:  0"));
    auto* panels = new QHBoxLayout(StatusBar1);
    panels->setContentsMargins(0, 1, 0, 0);
    panels->setSpacing(2);
    panels->addWidget(LinePanel);
    panels->addWidget(TournamentsPanel);
    panels->addStretch(1);
    panels->addWidget(new QSizeGrip(StatusBar1), 0, Qt::AlignBottom | Qt::AlignRight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(TRViewer, 1);
    layout->addWidget(StatusBar1);

    SetMinimumOuterSize(*this, kMinimumOuterSize);
    resize(kDesignClientSize);

    // Keys reach the window before its controls: Esc closes it from anywhere, the find box
    // included.
    for (QWidget* w : {static_cast<QWidget*>(SearchBox), static_cast<QWidget*>(NextBtn),
                       static_cast<QWidget*>(TRViewer)})
        w->installEventFilter(this);

    connect(NextBtn, &QPushButton::clicked, this,
            [this] { runGuarded([this] { NextBtnClick(); }); });
    connect(TRViewer->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { runGuarded([this] { TRViewerClick(); }); });
}

TTRViewForm::~TTRViewForm() = default;

void TTRViewForm::runGuarded(const std::function<void()>& handler) {
    RunGuardedOver(this, m_messages, handler);
}

const QStringList& TTRViewForm::lines() const {
    return m_model->lines();
}

qsizetype TTRViewForm::selectedLine() const {
    const QModelIndexList selected = TRViewer->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TTRViewForm::FormCreate() {
    // As in the main window: each value on its own; the main window names those that could not
    // be read, and the close writes the sizes in use in their place.
    SettingsReadRound round;
    m_size.Load(SettingsStore(), round);
    m_unreadSettings = round.Failed();
}

void TTRViewForm::ShowFile(const QString& caption, QStringList lines) {
    setWindowTitle(caption);
    m_model->setLines(std::move(lines)); // no line selected afterwards
    TRViewer->scrollToTop();
    placeOverMainWindow();
    if (m_runModal)
        m_runModal(*this);
    else
        exec();
}

void TTRViewForm::placeOverMainWindow() {
    // The first time centred over the main window (never above or left of the desktop's
    // top-left corner), afterwards wherever it was left.
    if (m_placed || !m_mainWindow)
        return;
    m_placed = true;
    PlaceOver(*this, *m_mainWindow);
}

void TTRViewForm::FormShow() {
    TournamentsPanel->setText(QStringLiteral("Tournaments:  ") +
                              QString::number(CountTournamentLines(lines())));
    ShowLinePosition();
}

void TTRViewForm::ShowLinePosition() {
    LinePanel->setText(
        QStringLiteral("Line:  %1 of %2").arg(selectedLine() + 1).arg(lines().size()));
}

void TTRViewForm::TRViewerClick() {
    ShowLinePosition();
}

void TTRViewForm::NextBtnClick() {
    const FindResult result = FindNextLine(lines(), selectedLine(), SearchBox->text());
    if (result.outcome == FindResult::NotRun)
        return;
    if (result.outcome == FindResult::NoMatch) {
        if (m_beep)
            m_beep();
        else
            QApplication::beep();
        return;
    }
    const QModelIndex found = m_model->index(int(result.line));
    TRViewer->selectionModel()->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect);
    const int itemHeight = TRViewer->sizeHintForRow(0);
    TRViewer->verticalScrollBar()->setValue(
        int(CenteredTopLine(result.line, TRViewer->viewport()->height(), itemHeight)));
    ShowLinePosition();
}

void TTRViewForm::FormResize() {
    m_size.WindowResized();
}

void TTRViewForm::FormCloseQuery() {
    SettingsStore store;
    m_size.Save(store);
    store.Flush();
}

void TTRViewForm::done(int result) {
    // Every way of closing (Esc, the close button, the system menu) ends here.
    if (isVisible())
        runGuarded([this] { FormCloseQuery(); });
    QDialog::done(result);
    // The file's lines are not kept while the viewer is closed, and the memory goes back to the
    // system: a large file leaves much of it behind.
    m_model->setLines(QStringList());
    malloc_trim(0);
}

bool TTRViewForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TTRViewForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // Enter and other keys do nothing here: the viewer has no default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

void TTRViewForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    runGuarded([this] { FormResize(); });
}

void TTRViewForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        runGuarded([this] { FormShow(); });
}
