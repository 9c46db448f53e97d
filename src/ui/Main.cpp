#include "Main.h"

#include <functional>
#include <utility>

#include "ChartForm.h"
#include "TRView.h"

#include "error.h"
#include "feeschema.h"
#include "guardedcall.h"
#include "messageboxmessages.h"
#include "pendingevents.h"
#include "profile.h"
#include "programicon.h"
#include "settings.h"
#include "statusline.h"
#include "zvapplication.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

namespace {
/// Client area of the main window at design.
constexpr QSize kDesignClientSize{654, 442};
constexpr QSize kMinimumOuterSize{670, 480};
} // namespace

TMainForm::TMainForm(const QString& databasePath, OperatorMessages* messages, QWidget* parent)
    : QWidget(parent), m_databasePath(databasePath.isEmpty() ? FeeDatabasePath() : databasePath),
      m_messageBoxes(std::make_unique<MessageBoxMessages>(this)),
      m_messages(messages ? messages : m_messageBoxes.get()),
      m_size(*this, Setting::MainWidth, Setting::MainHeight, Setting::MainMax) {
    InstallBusyCursorHooks();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(TitleWithProfile(QStringLiteral("Zorvane - Tourney Fee Stats 2.05")));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    buildLayout();
    Runs = new RunController(this);
    SetMinimumOuterSize(*this, kMinimumOuterSize);
    resize(kDesignClientSize);

    connectLocalTab();
    connectRemoteTab();
    connectFeePage();
    connectReportPage();
    connectHelpKey();

    // What goes wrong at start is told once the window shows (ShowAtStart), so that its boxes
    // stand over the window.
    try {
        FormCreate();
    } catch (...) {
        m_startError = WithFullStop(CurrentExceptionText());
    }

    TRViewForm = new TTRViewForm(this);
    TRViewForm->setMessages(m_messages);
    TRViewForm->FormCreate();
    connectHabits();
}

TMainForm::~TMainForm() = default;

void TMainForm::setMessages(OperatorMessages* messages) {
    m_messages = messages ? messages : m_messageBoxes.get();
    TRViewForm->setMessages(m_messages);
    if (ChartForm)
        ChartForm->setMessages(m_messages);
}

StatusLine TMainForm::statusLine(QLabel* panel) const {
    return StatusLineFor(panel);
}

void TMainForm::runGuarded(const std::function<void()>& handler) {
    RunGuarded(messages(), handler);
}

void TMainForm::runHandler(const std::function<void()>& handler) {
    if (m_handlerMessages) { // raised by another handler
        runGuarded(handler);
        return;
    }
    PendingEventsFirst boxes(*m_messages);
    m_handlerMessages = &boxes;
    runGuarded(handler);
    m_handlerMessages = nullptr;
    if (std::exchange(m_closeAsked, false))
        close();
}

RunPage TMainForm::ResultsRunPage() const {
    return {TRStatus, {RefreshBtn, LoadTRBtn, SelectAllBtn, ImportBtn}};
}

RunPage TMainForm::FeeRunPage() const {
    return {MasterStatus, {DBOpenBtn, DBCloseBtn, EmptyDBBtn}};
}

RunPage TMainForm::ReportRunPage() const {
    return {ReportStatus, {LoadSQLBtn, ExportBtn, ChartBtn, PrintBtn}};
}

void TMainForm::FormCreate() {
    LoadSettings();
    OpenOrCreateFeeDatabase(m_feeDatabase, m_databasePath);
    SortField = QStringLiteral("TNumber");
    SortDescending = false;
    MasterSQL = QStringLiteral("SELECT * FROM Master ORDER BY TNumber;");
    DetailSQL = QStringLiteral("SELECT TNumber, Player, Fees FROM Detail;");
    RequireFeeSchema(m_feeDatabase); // told once at start; import and "Empty" refuse the file
}

void TMainForm::LoadSettings() {
    // Every value is read on its own; one that cannot be read leaves its default in use, and is
    // named with the others once the window shows. Nothing here stops the start.
    const SettingsStore store;
    SettingsReadRound round;
    m_size.Load(store, round);
    const auto readText = [&](Setting setting, const std::function<void(const QString&)>& use) {
        round.Read(setting, [&] { use(store.ReadText(setting)); });
        if (round.IsUnread(setting))
            use(QString::fromUtf16(SettingInfoOf(setting).defaultText));
    };
    readText(Setting::ServerIP, [&](const QString& text) { ServerIP->setText(text); });
    readText(Setting::FilePort, [&](const QString& text) { FilePort->setText(text); });
    readText(Setting::APIPath, [&](const QString& text) { APIPath->setText(text); });
    round.Read(Setting::RememberPW,
               [&] { RememberPW->setChecked(store.ReadBool(Setting::RememberPW)); });
    if (round.IsUnread(Setting::RememberPW)) // the stored password is kept with its flag
        round.NotRead(Setting::Password);
    else if (RememberPW->isChecked())
        round.Read(Setting::Password, [&] { APIPW->setText(store.ReadText(Setting::Password)); });
    readText(Setting::LastFolder, [&](const QString& text) { LastFolder = text; });
    m_unreadSettings = round.Unread();
    m_failedSettings = round.Failed();
}

void TMainForm::SaveSettings() {
    // A viewer value that could not be read is mended even when the viewer never opened.
    if (!TRViewForm->unreadSettings().isEmpty())
        TRViewForm->FormCloseQuery();
    SettingsStore store;
    // Everything else is written from what is in use, which mends the file; the password (and its
    // flag, when the flag was what could not be read) is the operator's and cannot be made again.
    QList<Setting> kept;
    for (const Setting setting : {Setting::RememberPW, Setting::Password})
        if (m_unreadSettings.contains(setting))
            kept << setting;
    store.KeepAsStored(kept);
    m_size.Save(store);
    store.WriteText(Setting::ServerIP, ServerIP->text());
    store.WriteText(Setting::FilePort, FilePort->text());
    store.WriteText(Setting::APIPath, APIPath->text());
    store.WriteBool(Setting::RememberPW, RememberPW->isChecked());
    store.WriteText(Setting::Password, RememberPW->isChecked() ? APIPW->text() : QString());
    store.WriteText(Setting::LastFolder, LastFolder);
    store.Flush();
}

void TMainForm::ShowAtStart() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const Qt::WindowStates state = windowState(); // moving a hidden window forgets it
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), area).topLeft());
        setWindowState(state);
    }
    show(); // maximized when LoadSettings set the state
    ReportStartErrors();
}

void TMainForm::ReportStartErrors() {
    // One box names every value of the settings that could not be read, the viewer's too.
    const QString settings = InvalidSettingsText(m_failedSettings + TRViewForm->unreadSettings());
    m_failedSettings.clear();
    if (!settings.isEmpty())
        messages().show(MessageKind::GeneralError, WithFullStop(settings));
    if (!m_startError.isEmpty())
        messages().show(MessageKind::GeneralError, std::exchange(m_startError, QString()));
}

void TMainForm::FormResize() {
    m_size.WindowResized();
}

void TMainForm::FormCloseQuery() {
    SaveSettings();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    runGuarded([this] { FormResize(); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    Runs->cancel();          // a run going on ends at once
    if (m_handlerMessages) { // a handler runs: the window closes when it ends
        m_closeAsked = true;
        event->ignore();
        return;
    }
    if (ChartForm)
        ChartForm->close(); // writes its size settings when it is open
    runGuarded([this] { FormCloseQuery(); });
    event->accept();
}
