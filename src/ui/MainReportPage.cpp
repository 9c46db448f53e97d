// Handlers of the main window: Reports page.

#include "Main.h"

#include "ChartForm.h"
#include "busy.h"
#include "chartmodel.h"
#include "exportsavedialog.h"
#include "pdfreport.h"
#include "pendingevents.h"
#include "reportcatalogue.h"
#include "reportprintdialog.h"
#include "reportrun.h"
#include "resultset.h"
#include "resultsetmodel.h"
#include "sqlmemo.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScopeGuard>

namespace {
constexpr int kFloatColumnWidth = 120;

/// A ticked box shows its picker's date as "yyyy-MM-dd", starting on today; an unticked one
/// leaves the picker disabled and blank (the minimum date shows as a blank).
void SwitchDatePicker(QDateEdit* picker, bool ticked) {
    const QSignalBlocker quiet(picker); // only the operator's changes recompose
    picker->setEnabled(ticked);
    if (ticked) {
        picker->setSpecialValueText(QString());
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        picker->setDate(QDate::currentDate());
    } else {
        picker->setSpecialValueText(QStringLiteral(" "));
        picker->setDate(picker->minimumDate());
    }
}

std::optional<QDate> FilterDate(const QCheckBox* box, const QDateEdit* picker) {
    if (!box->isChecked())
        return std::nullopt;
    return picker->date();
}

/// What a page or a print-out says of the report shown: the controls are as they were at the
/// Load, since every change of them closes the view.
ReportPageInfo ShownReportInfo(const TMainForm& form) {
    return ShownReportPageInfo(form.ReportSQL, form.ReportList->currentIndex(),
                               FilterDate(form.StartCB, form.StartDate),
                               FilterDate(form.EndCB, form.EndDate), QLocale());
}

/// Draws the report view in the chart window, or shows there why it cannot be drawn; the wait
/// cursor shows while the chart is built.
void DrawReportChart(TMainForm& form) {
    const BusyCursor busy;
    const QString problem = ChartProblem(*form.ReportClientDataSet);
    if (!problem.isEmpty()) {
        form.ChartForm->ShowProblem(problem);
        return;
    }
    // The controls are as they were at the Load: every change of them closes the view.
    const QString title =
        ChartTitle(form.ReportSQL, form.ReportList->currentIndex(),
                   FilterDate(form.StartCB, form.StartDate), FilterDate(form.EndCB, form.EndDate));
    form.ChartForm->ShowChart(BuildChartData(*form.ReportClientDataSet, title, QLocale()));
}
} // namespace

void TMainForm::connectReportPage() {
    ReportClientDataSet = new ResultSet(this);
    ReportDataSource = new ResultSetModel(ReportClientDataSet, this);
    ReportGrid->setModel(ReportDataSource);
    SaveDialog1 = std::make_shared<ExportSaveDialog>(this);
    PrintDialog1 = std::make_shared<ReportPrintDialog>(this);

    connectHandler(ReportList, &QComboBox::activated, &TMainForm::ReportListChange);
    connectHandler(StartCB, &QCheckBox::toggled, &TMainForm::StartCBClick);
    connectHandler(EndCB, &QCheckBox::toggled, &TMainForm::EndCBClick);
    connectHandler(StartDate, &QDateEdit::dateChanged, &TMainForm::StartDateChange);
    connectHandler(EndDate, &QDateEdit::dateChanged, &TMainForm::EndDateChange);
    connectHandler(LoadSQLBtn, &QPushButton::clicked, &TMainForm::LoadSQLBtnClick);
    connectHandler(ExportBtn, &QPushButton::clicked, &TMainForm::ExportBtnClick);
    connectHandler(ChartBtn, &QPushButton::clicked, &TMainForm::ChartBtnClick);
    connectHandler(PrintBtn, &QPushButton::clicked, &TMainForm::PrintBtnClick);
    connectHandler(ReportClientDataSet, &ResultSet::currentRowChanged,
                   &TMainForm::ReportClientDataSetAfterScroll);

    // The grid's current row is the view's current row, both ways: the keyboard and the mouse
    // move the view, and a move of the view (the first row after a load or an export) shows.
    connect(ReportGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != ReportClientDataSet->currentRow())
                    ReportClientDataSet->setCurrentRow(current.row());
            });
    connect(ReportClientDataSet, &ResultSet::currentRowChanged, this, [this] {
        const qsizetype row = ReportClientDataSet->currentRow();
        if (row < 0 || row >= ReportDataSource->rowCount())
            return;
        const QModelIndex current = ReportGrid->currentIndex();
        if (current.row() != row)
            ReportGrid->setCurrentIndex(
                ReportDataSource->index(int(row), current.isValid() ? current.column() : 0));
    });
}

void TMainForm::ComposeReportSQL() {
    ReportStatus->setText(QString());
    ReportClientDataSet->close();
    RedrawChart(); // an open chart never shows a report the view no longer holds
    SQLMemo->setPlainText(::ComposeReportSQL(
        ReportList->currentIndex(), FilterDate(StartCB, StartDate), FilterDate(EndCB, EndDate)));
}

void TMainForm::ReportListChange() {
    ComposeReportSQL();
}

void TMainForm::StartCBClick() {
    SwitchDatePicker(StartDate, StartCB->isChecked());
    ComposeReportSQL();
}

void TMainForm::EndCBClick() {
    SwitchDatePicker(EndDate, EndCB->isChecked());
    ComposeReportSQL();
}

void TMainForm::StartDateChange() {
    ComposeReportSQL();
}

void TMainForm::EndDateChange() {
    ComposeReportSQL();
}

void TMainForm::LoadSQLBtnClick() {
    // Also after a Load that ran nothing or failed: the chart then says the table is empty.
    const auto followedByChart = qScopeGuard([this] { RedrawChart(); });
    if (SqlMemoText(*SQLMemo).isEmpty()) {
        ReportClientDataSet->close();
        ReportStatus->setText(QString());
        return;
    }
    ReportClientDataSet->close();
    // The emptied grid is painted before the statement runs; a click meanwhile starts nothing
    // (no second Load inside this one, no Export of the emptied view).
    ProcessPendingEventsWithoutInput();
    ReportSQL = SqlMemoText(*SQLMemo);
    RunReportQuery();
}

void TMainForm::RunReportQuery() {
    ReportRunResult run;
    if (!Runs->run(ReportRunPage(), &db(), [&] {
            run = RunReport(db(), ReportSQL, *ReportClientDataSet, statusLine(ReportStatus));
        })) {
        ReportClientDataSet->close(); // the view stays closed
        return;
    }
    if (!run.opened) {
        messages().information(ReportRunMessage(run));
        return;
    }
    QHeaderView* titles = ReportGrid->horizontalHeader();
    for (int c = 0; c < ReportClientDataSet->columnCount(); ++c) {
        if (ReportClientDataSet->column(c).kind == ColumnKind::Float)
            ReportGrid->setColumnWidth(c, kFloatColumnWidth);
        else
            ReportGrid->setColumnWidth(
                c, std::max(titles->defaultSectionSize(), titles->sectionSizeHint(c)));
    }
    if (ReportDataSource->rowCount() > 0)
        ReportGrid->setCurrentIndex(ReportDataSource->index(0, 0));
    ReportGrid->doItemsLayout();
    ReportGrid->viewport()->repaint();
    titles->viewport()->repaint();
    ShowReportStatus();
}

void TMainForm::ShowReportStatus() {
    ReportStatus->setText(ReportStatusText(*ReportClientDataSet));
}

void TMainForm::ReportClientDataSetAfterScroll() {
    ShowReportStatus();
}

void TMainForm::ExportBtnClick() {
    // The export reads the rows by number, so neither the grid nor the status line follows it;
    // the move back to the first row at its end shows in both.
    Runs->run(ReportRunPage(), nullptr, [this] {
        // A name ending in .html or .pdf writes a web page or PDF pages of the rows.
        ReportPageExport pages;
        pages.info = ShownReportInfo(*this);
        pages.writePdf = [](const QString& path, const ResultSet& view,
                            const ReportPageInfo& info) { WritePdfFile(path, view, info); };
        ExportReport(*ReportClientDataSet, *SaveDialog1, messages(), QLocale(), &pages);
    });
}

void TMainForm::PrintBtnClick() {
    Runs->run(ReportRunPage(), nullptr, [this] {
        PrintReport(*ReportClientDataSet, *PrintDialog1, messages(), ShownReportInfo(*this));
    });
}

void TMainForm::ChartBtnClick() {
    const QString problem = ChartProblem(*ReportClientDataSet);
    if (!problem.isEmpty()) {
        messages().error(problem);
        return;
    }
    if (!ChartForm) {
        ChartForm = new TChartForm(this);
        ChartForm->setMessages(m_messages);
        runGuarded([this] { ChartForm->FormCreate(); });
    }
    DrawReportChart(*this);
    ChartForm->ShowOnTop();
}

void TMainForm::RedrawChart() {
    if (ChartForm && ChartForm->isVisible())
        DrawReportChart(*this);
}
