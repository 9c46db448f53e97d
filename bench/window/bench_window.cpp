// The main window itself, offscreen, on a generated fee database: the clicks a user makes on
// large views, each followed by the events it posts and the paint, timed inside this process,
// beside a plain read of the same statements in the same run (alternating, baseline first, with
// medians). Memory is the peak resident size above the start (VmHWM, reset before each run);
// "beyond the engine" is ours less the plain read's, per Detail row.
//
//   bench_window [--rows N] [--db FILE] [--runs K] [--moves] [--only open|moves|detail|player]
//   (--moves: one Open and the master moves only; --only: that case alone, for a profiler)

#include "Main.h"
#include "benchsupport.h"
#include "feeviews.h"
#include "resultset.h"
#include "sqlmemo.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>

namespace {
constexpr int kMoves = 1'000;

/// Messages of the window go to the standard error stream; nothing waits for an answer.
class PrintedMessages : public OperatorMessages {
public:
    bool show(MessageKind, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void Settle() {
    QApplication::processEvents();
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}

/// One Down key in the master grid and what follows it (a function of its own, so that a
/// profiler can collect this part alone).
/// Returns the wall clock and this thread's processor time it took, in ms.
[[gnu::noinline]] std::pair<double, double> MoveDown(QWidget* grid) {
    const double cpuStart = ThreadCpuMs();
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(grid, Qt::Key_Down);
    Settle();
    return {double(timer.nsecsElapsed()) / 1e6, ThreadCpuMs() - cpuStart};
}

void PrintBeyond(const Comparison& c, qint64 detailRows) {
    std::printf("  beyond the engine: %.1f bytes a Detail row\n",
                (MedianOf(c.ours, &Sample::peakMiB) - MedianOf(c.base, &Sample::peakMiB)) * 1024 *
                    1024 / double(detailRows));
}

/// The first run of a case alone: a grid's vertical header makes its per-row sections (8 bytes a
/// row) at the first Load and keeps them when the view closes, so the later runs, and with them
/// the median, do not pay for them again. A user's first Load of a session does.
void PrintFirstRun(const Comparison& c, qint64 detailRows) {
    std::printf("  the first run alone: %.1f bytes a Detail row\n",
                (c.ours.front().peakMiB - MedianOf(c.base, &Sample::peakMiB)) * 1024 * 1024 /
                    double(detailRows));
}

/// Chooses the catalogue report with this caption, then compares its Load with a plain read of
/// the statement it put into the text box.
void CompareReport(TMainForm& form, sqlite3* raw, const QString& caption, int runs,
                   qint64 detailRows) {
    form.PageControl1->setCurrentWidget(form.ReportPage);
    form.ReportList->setCurrentIndex(form.ReportList->findText(caption));
    form.ReportListChange();
    Settle();
    const QString sql = SqlMemoText(*form.SQLMemo);
    PlainRead(raw, sql); // warms the page cache
    const Comparison c = Alternate(
        runs,
        [&] {
            form.ReportClientDataSet->close();
            Settle();
            return Measure([&] {
                QTest::mouseClick(form.LoadSQLBtn, Qt::LeftButton);
                Settle();
            });
        },
        [&] {
            form.ReportClientDataSet->close();
            Settle();
            return Measure([&] { PlainRead(raw, sql); });
        });
    const QByteArray what = QStringLiteral("Load \"%1\" (%2 rows)")
                                .arg(caption)
                                .arg(form.ReportClientDataSet->rowCount())
                                .toUtf8();
    PrintComparison(what.constData(), c);
    PrintBeyond(c, detailRows);
    PrintFirstRun(c, detailRows);
    form.ReportClientDataSet->close();
    Settle();
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const BenchOptions options =
        ParseBenchOptions(app.arguments(), "bench_window [--rows N] [--db FILE] [--runs K] "
                                           "[--moves] [--only open|moves|detail|player]");
    const qsizetype onlyAt = options.rest.indexOf(QStringLiteral("--only"));
    const QString only = onlyAt >= 0 ? options.rest.value(onlyAt + 1) : QString();
    const auto wanted = [&only](const char* name) { return only.isEmpty() || only == name; };
    EnsureBenchDatabase(options.db, options.rows);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());

    PrintedMessages messages;
    TMainForm form(options.db, &messages);
    form.ShowAtStart();
    form.PageControl1->setCurrentWidget(form.DataPage);
    Settle();
    sqlite3* raw = form.db().handle();
    const qint64 detailRows = CountRows(raw, "SELECT count(*) FROM Detail");
    std::printf("%s: %lld tournaments, %lld Detail rows; window %dx%d offscreen; %d runs of "
                "each, alternating\n\n",
                qPrintable(options.db), CountRows(raw, "SELECT count(*) FROM Master"), detailRows,
                form.width(), form.height(), options.runs);
    PrintComparisonHeader();
    // --moves: the master moves alone, after one Open (for a profiler).
    const bool movesOnly = options.rest.contains(QStringLiteral("--moves")) || only == "moves";
    if (movesOnly) {
        QTest::mouseClick(form.DBOpenBtn, Qt::LeftButton);
        Settle();
    }

    // "Open": both views with their grids, beside a plain read of the two statements.
    const auto closeFeeViews = [&] {
        QTest::mouseClick(form.DBCloseBtn, Qt::LeftButton);
        Settle();
    };
    const auto plainFeeRead = [&] {
        return Measure([&] {
            PlainRead(raw, form.MasterSQL);
            PlainRead(raw, form.DetailSQL);
        });
    };
    if (!movesOnly && wanted("open")) {
        PlainRead(raw, form.MasterSQL);
        PlainRead(raw, form.DetailSQL);
        const Comparison open = Alternate(
            options.runs,
            [&] {
                closeFeeViews();
                return Measure([&] {
                    QTest::mouseClick(form.DBOpenBtn, Qt::LeftButton);
                    Settle();
                });
            },
            [&] {
                closeFeeViews();
                return plainFeeRead();
            });
        PrintComparison("Open (both views)", open);
        PrintBeyond(open, detailRows);

        // A click on the TName title: the master re-sorted, both views reloaded. Each click turns
        // the order; the plain read follows the order the last click set.
        QHeaderView* titles = form.MasterGrid->horizontalHeader();
        const int tname = form.FeeTables->master.columnIndex(QStringLiteral("TName"));
        const QPoint titlePoint(titles->sectionViewportPosition(tname) + 5, titles->height() / 2);
        const Comparison title = Alternate(
            options.runs,
            [&] {
                return Measure([&] {
                    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, titlePoint);
                    Settle();
                });
            },
            plainFeeRead);
        PrintComparison("Title click TName (re-sort, reload)", title);
        std::printf("  the plain read: \"%s\"\n", qPrintable(form.MasterSQL));
    }

    // Master moves: the Down key in the master grid, each with the detail grid, both status
    // lines and the paint that follows.
    if (!only.isEmpty() && !movesOnly) {
        if (wanted("detail"))
            CompareReport(form, raw, QStringLiteral("Detail only"), options.runs, detailRows);
        if (wanted("player"))
            CompareReport(form, raw, QStringLiteral("Fees by Player"), options.runs, detailRows);
        return 0;
    }
    form.MasterGrid->setFocus();
    Settle();
    std::vector<double> moveMs;
    std::vector<double> moveCpuMs;
    for (int i = 0; i < kMoves; ++i) {
        const auto [wall, cpu] = MoveDown(form.MasterGrid);
        moveMs.push_back(wall);
        moveCpuMs.push_back(cpu);
    }
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(form.MasterGrid, Qt::Key_End, Qt::ControlModifier);
    Settle();
    const double endMs = double(timer.nsecsElapsed()) / 1e6;
    std::sort(moveMs.begin(), moveMs.end());
    std::sort(moveCpuMs.begin(), moveCpuMs.end());
    std::printf("%-44s median %.3f ms, 99.9th %.3f ms, slowest %.3f ms; Ctrl+End %.3f ms\n"
                "  processor time of a move: median %.3f ms, 99.9th %.3f ms\n"
                "  status \"%s\" / \"%s\"\n",
                "1,000 Down keys in the master grid", moveMs[moveMs.size() / 2],
                moveMs[moveMs.size() * 999 / 1000], moveMs.back(), endMs,
                moveCpuMs[moveCpuMs.size() / 2], moveCpuMs[moveCpuMs.size() * 999 / 1000],
                qPrintable(form.MasterStatus->text()), qPrintable(form.DetailStatus->text()));
    closeFeeViews();
    if (movesOnly)
        return 0;

    CompareReport(form, raw, QStringLiteral("Detail only"), options.runs, detailRows);
    CompareReport(form, raw, QStringLiteral("Fees by Player"), options.runs, detailRows);
    return 0;
}
