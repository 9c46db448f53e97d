#pragma once

#include "operatormessages.h"
#include "windowsize.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class TRLinesModel;

/// The result file viewer: the lines of one results file with the selected line's position, the
/// number of tournaments and a find. Created hidden at start-up and reused; shown modally.
class TTRViewForm : public QDialog {
    Q_OBJECT
public:
    explicit TTRViewForm(QWidget* mainWindow);
    ~TTRViewForm() override;

    /// Where errors of the viewer's own handlers go (the general error display).
    void setMessages(OperatorMessages* messages) { m_messages = messages; }
    /// Replaces how the viewer is run once its file is in (default: modally, until closed);
    /// tests show it without waiting.
    void setModalRunner(std::function<void(TTRViewForm&)> runner) {
        m_runModal = std::move(runner);
    }
    /// Replaces the error beep of a find without match (tests count it).
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    /// The show step: caption, all lines replaced, then shown modally. The lines are let go
    /// when the viewer closes.
    void ShowFile(const QString& caption, QStringList lines);
    const QStringList& lines() const;
    /// The selected line, -1 when none.
    qsizetype selectedLine() const;

    // Event handlers
    void FormCreate(); ///< reads the size settings (once, at start-up); never raises
    /// The size settings that FormCreate could not read (the main window names them).
    const QList<Setting>& unreadSettings() const { return m_unreadSettings; }
    void FormShow();
    void TRViewerClick();
    void NextBtnClick();
    void ShowLinePosition();
    void FormResize();
    void FormCloseQuery(); ///< writes the size settings

    // Controls
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* SearchBox = nullptr;
    QPushButton* NextBtn = nullptr;
    QListView* TRViewer = nullptr;
    QWidget* StatusBar1 = nullptr;
    QLabel* LinePanel = nullptr;        ///< panel 0 of StatusBar1
    QLabel* TournamentsPanel = nullptr; ///< panel 1 of StatusBar1

public Q_SLOTS:
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void runGuarded(const std::function<void()>& handler);
    void placeOverMainWindow();

    TRLinesModel* m_model = nullptr;
    QWidget* m_mainWindow = nullptr;
    OperatorMessages* m_messages = nullptr;
    std::function<void(TTRViewForm&)> m_runModal;
    std::function<void()> m_beep;
    WindowSizeKeeper m_size;
    QList<Setting> m_unreadSettings;
    bool m_placed = false;
};
