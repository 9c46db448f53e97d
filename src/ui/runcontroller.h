#pragma once

#include <QList>
#include <QObject>
#include <functional>

class FeeDatabase;
class QLabel;
class QPushButton;
class QWidget;
class RunControl;

/// The page a run belongs to: the status line that shows its progress (the Cancel button sits at
/// its right while the run goes on, and "Cancelled" is left in it after a cancel), and the
/// page's buttons, which are disabled meanwhile so that one run at a time holds.
struct RunPage {
    QLabel* status = nullptr;
    QList<QWidget*> controls;
};

/// The window's side of the runs (imports, server requests, statements). While one goes on, the
/// window breathes every few tens of milliseconds: it paints, and of the operator's input only
/// Esc, the Cancel button ("CancelBtn") and a close of the window get through. Esc and the button
/// cancel the run; the run rolls back as on an error, and its page says "Cancelled" with no box.
class RunController : public QObject {
    Q_OBJECT
public:
    /// window: the main window, parent of the Cancel button.
    explicit RunController(QWidget* window);
    ~RunController() override;

    /// Carries out the operation as a run of the page; the statements of db breathe with it.
    /// Returns false when the run was cancelled. An error that is not a cancel goes on to the
    /// caller, after the page is back as it was. A run started during another is part of it.
    bool run(const RunPage& page, FeeDatabase* db, const std::function<void()>& operation);

    bool running() const { return m_run != nullptr; }
    /// Cancels the run going on (nothing when none).
    void cancel();

    QPushButton* cancelButton() const { return m_cancelButton; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void breathe();

    QPushButton* m_cancelButton = nullptr;
    RunControl* m_run = nullptr;
    bool m_breathing = false;
};
