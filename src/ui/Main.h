#pragma once

#include "apiclient.h"
#include "busy.h"
#include "feedatabase.h"
#include "guardedcall.h"
#include "operatormessages.h"
#include "reportexport.h"
#include "runcontroller.h"
#include "windowsize.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QWidget>
#include <concepts>
#include <functional>
#include <memory>

class FeeViews;
class MessageBoxMessages;
class ReportPrinterChooser;
class ResultSet;
class ResultSetModel;
class TChartForm;
class TTRViewForm;

/// The main window: three pages of controls, the objects they share and one handler per control
/// event. The window only routes: every operation is a function of the values it reads from the
/// controls and lives in the libraries below.
///
/// The handlers of the pages live in their own files (MainLocal.cpp, MainRemote.cpp,
/// MainFeePage.cpp, MainReportPage.cpp, MainView.cpp); each page has a connect function, called
/// once by the constructor after the layout, that connects its handlers with connectHandler().
class TMainForm : public QWidget {
    Q_OBJECT
public:
    /// databasePath: the fee database file (empty: FeeDatabasePath()).
    /// messages: where operator messages go (null: message boxes); given here so that errors of
    /// the start-up steps reach it too.
    explicit TMainForm(const QString& databasePath = QString(),
                       OperatorMessages* messages = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    /// Shows the window centred on the screen, maximized when the settings said so; then tells
    /// what went wrong at start (ReportStartErrors).
    void ShowAtStart();
    /// Once the window shows: one box naming every settings value that could not be read (the
    /// viewer's too), then the error that stopped FormCreate, if any. Each is told once.
    void ReportStartErrors();

    // ---- Shared objects and state -------------------------------------------------------------
    ::FeeDatabase& db() { return m_feeDatabase; }
    OperatorMessages& messages() { return m_handlerMessages ? *m_handlerMessages : *m_messages; }
    /// Replaces the operator messages (tests); null returns to message boxes.
    void setMessages(OperatorMessages* messages);
    /// The status-line writer for one of the window's status panels (repaints at once).
    StatusLine statusLine(QLabel* panel) const;

    QString SortField;           ///< ordering of the master view
    bool SortDescending = false; ///< ... descending when true
    QString MasterSQL;           ///< text of the master query
    QString DetailSQL;           ///< text of the detail query
    QString LastFolder;          ///< the last local results folder (setting LastFolder)
    int NormalWidth() const { return m_size.normalWidth(); }
    int NormalHeight() const { return m_size.normalHeight(); }

    // ---- Shell handlers -----------------------------------------------------------------------
    /// Start-up steps: settings, the fee database, the master order and the two query texts. A
    /// settings value that cannot be read stops nothing; any other error skips the remaining
    /// steps. Both are shown by the general error display once the window shows.
    void FormCreate();
    void LoadSettings();
    void SaveSettings();
    void FormResize();
    /// Writes the settings; never refuses the close.
    void FormCloseQuery();

    /// The Tab order of the shown page, one cycle: the page tabs, then the page's controls (on
    /// the Tournament Results page the four buttons, the inner tabs and the inner page's
    /// controls).
    QList<QWidget*> TabCycle() const;

    /// Runs a handler under the general error display.
    void runGuarded(const std::function<void()>& handler);
    /// Runs the handler of a control event under the general error display. A close of the
    /// window asked for while it runs is carried out when it ends (see PendingEventsFirst).
    void runHandler(const std::function<void()>& handler);

    /// Connects a signal to a handler of this window through the general error display:
    /// connectHandler(RefreshBtn, &QPushButton::clicked, &TMainForm::RefreshBtnClick). The handler
    /// may take the signal's first arguments or none of them.
    template <typename Sender, typename Signal, typename... Args>
    QMetaObject::Connection connectHandler(Sender* sender, Signal signal,
                                           void (TMainForm::*handler)(Args...)) {
        return connect(sender, signal, this, [this, handler](Args... args) {
            runHandler([&] { (this->*handler)(args...); });
        });
    }
    /// The same for any callable without arguments.
    template <typename Sender, typename Signal, std::invocable F>
    QMetaObject::Connection connectHandler(Sender* sender, Signal signal, F handler) {
        return connect(sender, signal, this,
                       [this, handler = std::move(handler)]() mutable { runHandler(handler); });
    }

    /// The runs of the pages (imports, server requests, statements): Esc and the Cancel button,
    /// the window painting meanwhile, one run at a time.
    RunController* Runs = nullptr;
    /// The page of a run started on the Tournament Results, Fee Database or Reports page.
    RunPage ResultsRunPage() const;
    RunPage FeeRunPage() const;
    RunPage ReportRunPage() const;

    // ---- Controls (named as in the design) ---------------------------------------------------
    QTabWidget* PageControl1 = nullptr;

    // Tournament Results page
    QWidget* TournamentResultsPage = nullptr;
    QWidget* Panel1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QPushButton* RefreshBtn = nullptr;
    QPushButton* LoadTRBtn = nullptr;
    QPushButton* SelectAllBtn = nullptr;
    QPushButton* ImportBtn = nullptr;
    QLabel* TRStatus = nullptr;
    // ... local tab
    QWidget* LocalPage = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* LocalFolder = nullptr;
    QLabel* LFileLabel = nullptr;
    QListWidget* TRLocalList = nullptr;
    // ... remote tab
    QWidget* RemotePage = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* ServerIP = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* FilePort = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* APIPath = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* APIPW = nullptr;
    QCheckBox* RememberPW = nullptr;
    QLabel* RFileLabel = nullptr;
    QListWidget* TRRemoteList = nullptr;

    // Fee Database page
    QWidget* DataPage = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* UpperPanel = nullptr;
    QFrame* MasterPanel = nullptr;
    QPushButton* DBOpenBtn = nullptr;
    QPushButton* DBCloseBtn = nullptr;
    QPushButton* EmptyDBBtn = nullptr;
    QTableView* MasterGrid = nullptr;
    QLabel* MasterStatus = nullptr;
    QFrame* LowerPanel = nullptr;
    QTableView* DetailGrid = nullptr;
    QLabel* DetailStatus = nullptr;

    // Reports page
    QWidget* ReportPage = nullptr;
    QFrame* ReportPanel = nullptr;
    QCheckBox* StartCB = nullptr;
    QCheckBox* EndCB = nullptr;
    QDateEdit* StartDate = nullptr; ///< disabled and blank at start: the minimum date shows " "
    QDateEdit* EndDate = nullptr;   ///< likewise
    QLabel* Label6 = nullptr;
    QComboBox* ReportList = nullptr;
    QPushButton* ExportBtn = nullptr;
    QPushButton* ChartBtn = nullptr;
    QPushButton* PrintBtn = nullptr; ///< "Print...", after Chart
    QFrame* Panel2 = nullptr;
    QPlainTextEdit* SQLMemo = nullptr; ///< Enter inserts no line break
    QPushButton* LoadSQLBtn = nullptr;
    QTableView* ReportGrid = nullptr;
    QLabel* ReportStatus = nullptr;

    // ---- Tournament Results page: local tab (handlers in MainLocal.cpp) ----------------------
    void connectLocalTab();
    /// The four buttons of the page act on the active tab of PageControl2, local or remote.
    void RefreshBtnClick();
    void LoadTRBtnClick();
    void SelectAllBtnClick();
    void ImportBtnClick();
    /// A double click anywhere in a list, empty space included, acts as "View Selected File".
    void TRLocalListDblClick();
    void TRRemoteListDblClick();
    /// Ctrl+A (character code 1) in a results list selects every item of that list and types
    /// nothing; true when the key was that one (and so consumed).
    bool TRLocalListKeyPress(QChar key);
    bool TRRemoteListKeyPress(QChar key);
    /// The listing run: empties the tab, opens the folder browser on the start folder, and
    /// lists the chosen folder's "TR*.txt" entries ("No files found" when there are none).
    void ListLocalFiles();
    /// The end of the listing run once a folder is chosen: lists its "TR*.txt" entries, as a
    /// drop of the folder, F5 and "zvfeestats FOLDER" do too.
    void ListLocalFolder(const QString& folder);
    /// Imports the selected items of TRLocalList, in list order, in one run.
    void ImportLocalFiles();

    // ---- Tournament Results page: remote tab (handlers in MainRemote.cpp) --------------------
    void connectRemoteTab();
    /// The four server texts of the remote tab, exactly as typed.
    ServerFields RemoteServerFields() const;
    /// Empties the remote list, then fills it from the server's list answer (items keep the
    /// server's date and name, see remoteitems.h).
    void ListRemoteFiles();
    /// Fetches and imports the selected items of the remote list in one run.
    void ImportRemoteFiles();

    // ---- Fee Database page (handlers in MainFeePage.cpp) -------------------------------------
    void connectFeePage();
    /// MasterClientDataSet (FeeTables->master) and DetailClientDataSet (FeeTables->detail), the
    /// detail linked to the master on TNumber; a child of the window.
    FeeViews* FeeTables = nullptr;
    ResultSetModel* MasterDataSource = nullptr; ///< feeds MasterGrid
    ResultSetModel* DetailDataSource = nullptr; ///< feeds DetailGrid
    void DBOpenBtnClick();
    void DBCloseBtnClick();
    void EmptyDBBtnClick();
    /// Re-sorts the master view by the clicked column and loads both views again.
    void MasterGridTitleClick(int column);
    void MasterClientDataSetAfterScroll();
    void DetailClientDataSetAfterScroll();
    /// (Re)loads both views from MasterSQL and DetailSQL: loading texts, busy cursor, float
    /// columns "0.00" and 100 px, the bold title of SortField, both status lines.
    void LoadFeeTables();
    /// Closes both views and blanks both status lines; the database stays open. The import runs
    /// call it after they stored a tournament.
    void CloseFeeTables();
    void ShowMasterStatus();
    void ShowDetailStatus();

    // ---- Reports page (handlers in MainReportPage.cpp) ---------------------------------------
    void connectReportPage();
    ResultSet* ReportClientDataSet = nullptr;   ///< the report result view (a child of the window)
    ResultSetModel* ReportDataSource = nullptr; ///< feeds ReportGrid
    QString ReportSQL;                          ///< the report statement, set by "Load"
    /// The save dialog of the export; a test puts a chooser of its own in its place.
    std::shared_ptr<ExportFileChooser> SaveDialog1;
    /// The print dialog of "Print..."; a test puts a chooser of its own in its place.
    std::shared_ptr<ReportPrinterChooser> PrintDialog1;
    /// Empties the status line, closes the report view and puts the statement of the chosen
    /// report and dates into SQLMemo.
    void ComposeReportSQL();
    void ReportListChange();
    void StartCBClick();
    void EndCBClick();
    void StartDateChange();
    void EndDateChange();
    void LoadSQLBtnClick();
    /// Runs ReportSQL into the report view: progress text, busy cursor, float columns 120 wide.
    void RunReportQuery();
    void ShowReportStatus();
    void ReportClientDataSetAfterScroll();
    void ExportBtnClick();
    /// Prints the report view as the pages of its PDF, on the printer the print dialog gives.
    void PrintBtnClick();
    /// The chart window, made at the first "Chart" and reused; null before.
    TChartForm* ChartForm = nullptr;
    /// Draws the report view in the chart window and brings it up, or says why it cannot.
    void ChartBtnClick();
    /// An open chart window follows the report view: called after every "Load", and after every
    /// other close of the view (another entry, a date), which leaves it showing why there is
    /// nothing to draw.
    void RedrawChart();

    // ---- Drop, shortcuts and the first-run hint (MainHabits.cpp) ------------------------------
    /// Drops onto TRLocalList, the keys F5, Ctrl+E, Ctrl+Q and the viewer's Ctrl+F, the hint in
    /// the empty local list.
    void connectHabits();
    /// A drop of files or a folder onto TRLocalList: a folder is listed as if chosen in the
    /// folder browser; TR*.txt files list their folder with them selected. False, with nothing
    /// changed, when the drop holds neither.
    bool TRLocalListDrop(const QStringList& paths);
    /// "zvfeestats FOLDER": lists the folder as a drop of it does. A path that is no folder (from
    /// a file manager or a desktop entry, where a line on the standard error stream is seen by
    /// nobody) gets the box ""PATH" is not a folder." over the window instead.
    void ListStartFolder(const QString& path);
    /// F5: the Tournament Results page lists again the folder or server shown (the folder
    /// browser when no folder is shown yet); the Reports page runs "Load".
    void RefreshKeyPress();
    /// Ctrl+E: "Export" of the Reports page, when that page is shown.
    void ExportKeyPress();
    void PrintKeyPress();

    // ---- About box (MainAbout.cpp) ------------------------------------------------------------
    /// F1 opens the About box; the window gets no other control for it.
    void connectHelpKey();
    /// The version, the fee database file in use, the settings file, the Qt and SQLite versions.
    void ShowAboutBox();

    // ---- Result file viewer (handlers in MainView.cpp) ---------------------------------------
    TTRViewForm* TRViewForm = nullptr; ///< created hidden with the window and reused
    /// Shows the current item of TRLocalList (the item with the focus mark; the first item when
    /// the mark was never moved).
    void ViewLocalFile();
    /// Fetches and shows the current item of TRRemoteList.
    void ViewRemoteFile();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    /// Tab and Shift+Tab walk TabCycle().
    bool focusNextPrevChild(bool next) override;

private:
    void buildLayout();
    QWidget* buildResultsPage();
    QWidget* buildLocalPage();
    QWidget* buildRemotePage();
    QWidget* buildDataPage();
    QWidget* buildReportPage();

    QString m_databasePath;
    ::FeeDatabase m_feeDatabase;
    std::unique_ptr<MessageBoxMessages> m_messageBoxes;
    OperatorMessages* m_messages = nullptr;
    WindowSizeKeeper m_size;
    QList<Setting> m_unreadSettings; ///< the password among them is kept as stored at close
    QList<Setting> m_failedSettings; ///< named once the window shows
    QString m_startError;            ///< what stopped FormCreate, shown once the window shows
    /// While a handler runs (only then): m_messages, the pending events taken first.
    OperatorMessages* m_handlerMessages = nullptr;
    bool m_closeAsked = false; ///< during a handler: close when it ends
};
