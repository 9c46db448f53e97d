#include "runcontroller.h"

#include "feedatabase.h"
#include "pendingevents.h"
#include "runcontrol.h"
#include "statementbreaths.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QWindow>
#include <optional>

namespace {
constexpr int kCancelButtonWidth = 64;

/// The controller whose window breathes in runs: the latest made (one window in the program;
/// a test may make the next before the last is gone).
RunController* g_breathing = nullptr;
} // namespace

RunController::RunController(QWidget* window) : QObject(window) {
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), window);
    m_cancelButton->setObjectName(QStringLiteral("CancelBtn"));
    m_cancelButton->setFocusPolicy(Qt::NoFocus);
    m_cancelButton->hide();
    connect(m_cancelButton, &QPushButton::clicked, this, &RunController::cancel);
    g_breathing = this;
    RunControl::setBreathingHook([this] { breathe(); });
}

RunController::~RunController() {
    if (g_breathing != this)
        return;
    g_breathing = nullptr;
    RunControl::setBreathingHook({});
}

void RunController::cancel() {
    if (m_run)
        m_run->cancel();
}

bool RunController::run(const RunPage& page, FeeDatabase* db,
                        const std::function<void()>& operation) {
    if (m_run) {
        operation();
        return true;
    }
    RunControl control;
    std::optional<StatementBreaths> breaths;
    if (db && db->isOpen())
        breaths.emplace(*db);

    QList<QPointer<QWidget>> disabled;
    for (QWidget* control : page.controls) {
        if (control && control->isEnabled()) {
            control->setEnabled(false);
            disabled << control;
        }
    }
    if (page.status) { // at the right end of the status line, over its text
        m_cancelButton->setParent(page.status);
        m_cancelButton->setGeometry(page.status->width() - kCancelButtonWidth, 0,
                                    kCancelButtonWidth, page.status->height());
        m_cancelButton->show();
    }
    m_run = &control;
    const auto restore = qScopeGuard([&] {
        m_run = nullptr;
        m_cancelButton->hide();
        for (const QPointer<QWidget>& control : disabled)
            if (control)
                control->setEnabled(true);
    });

    try {
        operation();
        return true;
    } catch (...) {
        if (!control.cancelled())
            throw;
    }
    if (page.status)
        page.status->setText(QString::fromUtf16(kCancelledText));
    return false;
}

void RunController::breathe() {
    if (m_breathing || !m_run)
        return;
    m_breathing = true;
    const auto done = qScopeGuard([this] { m_breathing = false; });
    QCoreApplication::instance()->installEventFilter(this);
    const auto removed =
        qScopeGuard([this] { QCoreApplication::instance()->removeEventFilter(this); });
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool RunController::eventFilter(QObject* watched, QEvent* event) {
    if (!m_breathing || !IsOperatorInput(event))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancel();
        return true;
    }
    // A window hands its mouse input on to the widget under the pointer, where it is looked at
    // again: only the Cancel button gets it.
    const bool mouse = event->type() == QEvent::MouseButtonPress ||
                       event->type() == QEvent::MouseButtonRelease ||
                       event->type() == QEvent::MouseMove;
    if (mouse && (watched == m_cancelButton || watched->isWindowType()))
        return false;
    return true;
}
