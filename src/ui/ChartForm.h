#pragma once

#include "chartmodel.h"
#include "operatormessages.h"
#include "windowsize.h"

#include <QWidget>
#include <functional>
#include <memory>

class QChartView;
class QFrame;
class QPushButton;

/// The save dialog of "Save Image...", as the chart window sees it: the window shows a real
/// dialog, tests answer with a name. An empty name means the operator cancelled.
class ImageFileChooser {
public:
    virtual ~ImageFileChooser() = default;
    virtual QString chooseImageFile() = 0;
};

/// The chart window: the report view drawn as a chart, and "Save Image..." to write it as a PNG
/// or SVG file. A second top-level window beside the main window, created once and reused; its
/// size and maximized state are kept in the settings (ChartWidth, ChartHeight, ChartMax).
class TChartForm : public QWidget {
    Q_OBJECT
public:
    explicit TChartForm(QWidget* mainWindow);
    ~TChartForm() override;

    /// Where errors of the window's own handlers go (the general error display).
    void setMessages(OperatorMessages* messages) { m_messages = messages; }
    /// The save dialog of "Save Image..."; a test puts a chooser of its own in its place.
    std::shared_ptr<ImageFileChooser> SaveDialog;

    /// Draws the chart in place of the one shown; shows nothing new on the screen.
    void ShowChart(const ChartData& data);
    /// Puts the window on the screen, over the main window the first time, and to the front.
    void ShowOnTop();
    /// Shows why the report cannot be drawn instead of a chart (after a Load that gave such a
    /// report while the window was open).
    void ShowProblem(const QString& problem);
    /// What is drawn now; nothing after ShowProblem.
    const std::optional<ChartData>& chartData() const { return m_data; }

    // Event handlers
    void FormCreate(); ///< reads the size settings (once, when the window is made)
    void SaveImageBtnClick();
    void FormResize();
    void FormClose(); ///< writes the size settings

    // Controls
    QFrame* Panel1 = nullptr;
    QPushButton* SaveImageBtn = nullptr;
    QChartView* ChartView = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void runGuarded(const std::function<void()>& handler);
    void placeOverMainWindow();

    QWidget* m_mainWindow = nullptr;
    OperatorMessages* m_messages = nullptr;
    std::optional<ChartData> m_data;
    WindowSizeKeeper m_size;
    bool m_placed = false;
};
