#include "ChartForm.h"

#include "chartimage.h"
#include "guardedcall.h"
#include "imagesavedialog.h"
#include "messageboxmessages.h"
#include "settings.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr QSize kDesignClientSize{784, 520};
constexpr QSize kMinimumOuterSize{300, 240};
} // namespace

TChartForm::TChartForm(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), m_mainWindow(mainWindow),
      m_size(*this, Setting::ChartWidth, Setting::ChartHeight, Setting::ChartMax) {
    setObjectName(QStringLiteral("ChartForm"));
    setWindowTitle(QStringLiteral("Chart"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Panel1 = new QFrame;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Panel1->setFixedHeight(33);
    SaveImageBtn = new QPushButton(QStringLiteral("Save Image..."));
    SaveImageBtn->setObjectName(QStringLiteral("SaveImageBtn"));
    SaveImageBtn->setFixedWidth(90);
    SaveImageBtn->setAutoDefault(false);
    SaveImageBtn->setEnabled(false);
    auto* buttons = new QHBoxLayout(Panel1);
    buttons->setContentsMargins(8, 4, 8, 4);
    buttons->addWidget(SaveImageBtn);
    buttons->addStretch(1);

    ChartView = new QChartView;
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartView->setFrameShape(QFrame::NoFrame);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(ChartView, 1);

    SetMinimumOuterSize(*this, kMinimumOuterSize);
    resize(kDesignClientSize);

    SaveDialog = std::make_shared<ImageSaveDialog>(this);
    connect(SaveImageBtn, &QPushButton::clicked, this,
            [this] { runGuarded([this] { SaveImageBtnClick(); }); });
}

TChartForm::~TChartForm() = default;

void TChartForm::runGuarded(const std::function<void()>& handler) {
    RunGuardedOver(this, m_messages, handler);
}

void TChartForm::FormCreate() {
    // As in the other windows: each value on its own, those that cannot be read named in one
    // error, and the close writes the sizes in use in their place.
    SettingsReadRound round;
    m_size.Load(SettingsStore(), round);
    round.Finish();
}

void TChartForm::ShowChart(const ChartData& data) {
    m_data = data;
    QChart* old = ChartView->chart();
    ChartView->setChart(CreateChart(data, QLocale()));
    delete old; // the view lets go of the chart it replaces
    setWindowTitle(data.title);
    SaveImageBtn->setEnabled(true);
}

void TChartForm::ShowProblem(const QString& problem) {
    ChartData nothing;
    nothing.title = problem;
    ShowChart(nothing);
    m_data.reset();
    SaveImageBtn->setEnabled(false);
}

void TChartForm::ShowOnTop() {
    placeOverMainWindow();
    show();
    raise();
    activateWindow();
}

void TChartForm::placeOverMainWindow() {
    // The first time centred over the main window (never above or left of the desktop's
    // top-left corner), afterwards wherever it was left.
    if (m_placed || !m_mainWindow)
        return;
    m_placed = true;
    PlaceOver(*this, *m_mainWindow);
}

void TChartForm::SaveImageBtnClick() {
    if (!m_data)
        return;
    const QString path = SaveDialog->chooseImageFile();
    if (path.isEmpty())
        return;
    // The image is the chart as it is shown, at the size of its view.
    SaveChartImage(path, *m_data, QLocale(), ChartView->size());
}

void TChartForm::FormResize() {
    m_size.WindowResized();
}

void TChartForm::FormClose() {
    SettingsStore store;
    m_size.Save(store);
    store.Flush();
}

void TChartForm::closeEvent(QCloseEvent* event) {
    if (isVisible())
        runGuarded([this] { FormClose(); });
    event->accept();
}

void TChartForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TChartForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    runGuarded([this] { FormResize(); });
}
