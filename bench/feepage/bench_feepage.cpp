// Fee Database page figures on a generated fee database: opening both views, a title click
// (re-sort and reload), and 1,000 moves of the master row with the detail view following, each
// beside plain SQLite reading the same queries' rows in their native form, the two alternating
// (baseline first) with medians; the peak memory of each and the bytes a Detail row costs.
//
//   bench_feepage [--rows N] [--db FILE] [--runs K] [--window]
//   (--window: only the figures of the window itself)

#include "Main.h"
#include "benchsupport.h"
#include "feedatabase.h"
#include "feeviews.h"
#include "resultset.h"
#include "resultsetmodel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sqlite3.h>

namespace {
constexpr int kMoves = 1'000;

void Ignore(const QString&) {}

/// Messages of the window go to the standard error stream; nothing waits for an answer.
class PrintedMessages : public OperatorMessages {
public:
    bool show(MessageKind, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

/// The window itself (offscreen): Open, then 1,000 presses of the Down key in the master grid,
/// each with the detail grid, both status lines and the paint that follows.
void WindowFigures(const QString& path) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    PrintedMessages messages;
    TMainForm form(path, &messages);
    form.ShowAtStart();
    form.PageControl1->setCurrentWidget(form.DataPage);
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    form.DBOpenBtnClick();
    QApplication::processEvents();
    std::printf("\nWindow, offscreen: Open with the first paint %.1f ms\n",
                double(timer.nsecsElapsed()) / 1e6);

    form.MasterGrid->setFocus();
    std::vector<double> moveMs;
    std::vector<double> handleMs; ///< the key alone, without the paint that follows
    for (int i = 0; i < kMoves; ++i) {
        timer.restart();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(form.MasterGrid, &press);
        handleMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
        moveMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(moveMs.begin(), moveMs.end());
    std::sort(handleMs.begin(), handleMs.end());
    std::printf(
        "  1,000 Down keys in the master grid: median %.3f ms, 99.9th %.3f ms, slowest "
        "%.3f ms (the key alone, before the paint: median %.3f ms); status \"%s\" / \"%s\"\n",
        moveMs[moveMs.size() / 2], moveMs[moveMs.size() * 999 / 1000], moveMs.back(),
        handleMs[handleMs.size() / 2], qPrintable(form.MasterStatus->text()),
        qPrintable(form.DetailStatus->text()));
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const BenchOptions options = ParseBenchOptions(
        app.arguments(), "bench_feepage [--rows N] [--db FILE] [--runs K] [--window]");
    const bool windowOnly = options.rest.contains(QStringLiteral("--window"));
    EnsureBenchDatabase(options.db, options.rows);
    if (windowOnly) {
        WindowFigures(options.db);
        return 0;
    }

    FeeDatabase db;
    db.setDatabaseName(options.db);
    db.Open();
    sqlite3* raw = db.handle();
    const qint64 detailRows = CountRows(raw, "SELECT count(*) FROM Detail");
    std::printf("%s: %lld tournaments, %lld Detail rows; %d runs of each, alternating; resident "
                "%.0f MiB\n\n",
                qPrintable(options.db), CountRows(raw, "SELECT count(*) FROM Master"), detailRows,
                options.runs, ResidentMiB());
    PrintComparisonHeader();

    const QString masterSql = QString::fromUtf16(kInitialMasterSql);
    const QString detailSql = QString::fromUtf16(kDetailSql);

    FeeViews views;
    ResultSetModel masterModel(&views.master);
    ResultSetModel detailModel(&views.detail);
    const auto closeViews = [&] { views.close(Ignore, Ignore); };

    // Open: both views, beside a plain read of the two queries.
    PlainRead(raw, masterSql); // warms the page cache
    PlainRead(raw, detailSql);
    const Comparison open = Alternate(
        options.runs,
        [&] {
            closeViews();
            return Measure([&] { views.load(db, masterSql, detailSql, Ignore, Ignore); });
        },
        [&] {
            closeViews();
            return Measure([&] {
                PlainRead(raw, masterSql);
                PlainRead(raw, detailSql);
            });
        });
    PrintComparison("Open (both views / plain read)", open);
    std::printf("  master view %lld rows, detail view %lld rows; memory beyond the engine's own "
                "%.1f bytes a Detail row\n",
                qlonglong(views.master.rowCount()), qlonglong(views.detail.totalRowCount()),
                (MedianOf(open.ours, &Sample::peakMiB) - MedianOf(open.base, &Sample::peakMiB)) *
                    1024 * 1024 / double(detailRows));

    // A click on the TName title: the master query sorted by name, both views reloaded.
    const QString sortedSql = MasterQueryFor(NextMasterSortOrder({}, QStringLiteral("TName")));
    PrintComparison("Title click TName (re-sort, reload)",
                    Alternate(
                        options.runs,
                        [&] {
                            closeViews();
                            return Measure(
                                [&] { views.load(db, sortedSql, detailSql, Ignore, Ignore); });
                        },
                        [&] {
                            closeViews();
                            return Measure([&] {
                                PlainRead(raw, sortedSql);
                                PlainRead(raw, detailSql);
                            });
                        }));

    // 1,000 master moves with the detail view and its grid model following, beside one
    // indexed query per move that reads the same tournament's rows.
    views.load(db, masterSql, detailSql, Ignore, Ignore);
    QRandomGenerator random(7);
    std::vector<qsizetype> targets(kMoves);
    for (auto& t : targets)
        t = random.bounded(int(views.master.rowCount()));
    const int tnumber = views.master.columnIndex(QStringLiteral("TNumber"));
    sqlite3_stmt* perMove = nullptr;
    sqlite3_prepare_v2(raw, "SELECT TNumber, Player, Fees FROM Detail WHERE TNumber = ?", -1,
                       &perMove, nullptr);
    std::vector<double> moveMs;
    qint64 shown = 0;
    qint64 plainShown = 0;
    const Comparison moves = Alternate(
        options.runs,
        [&] {
            return Measure([&] {
                for (qsizetype target : targets) {
                    QElapsedTimer one;
                    one.start();
                    views.master.setCurrentRow(target);
                    shown += views.detail.rowCount();
                    moveMs.push_back(double(one.nsecsElapsed()) / 1e6);
                }
            });
        },
        [&] {
            return Measure([&] {
                for (qsizetype target : targets) {
                    sqlite3_bind_int64(perMove, 1, views.master.integerAt(target, tnumber));
                    while (sqlite3_step(perMove) == SQLITE_ROW) {
                        ++plainShown;
                        (void)sqlite3_column_int64(perMove, 0);
                        (void)sqlite3_column_text(perMove, 1);
                        (void)sqlite3_column_double(perMove, 2);
                    }
                    sqlite3_reset(perMove);
                }
            });
        });
    PrintComparison("1,000 master moves (plain: indexed query)", moves);
    sqlite3_finalize(perMove);
    std::sort(moveMs.begin(), moveMs.end());
    std::printf("  single moves: median %.4f ms, 99.9th %.3f ms, slowest %.3f ms; rows shown %lld"
                " (plain %lld)\n",
                moveMs[moveMs.size() / 2], moveMs[moveMs.size() * 999 / 1000], moveMs.back(), shown,
                plainShown);

    // The detail rows in another order than their tournaments: the link index must sort.
    const QString shuffledSql = QStringLiteral("SELECT TNumber, Player, Fees FROM Detail"
                                               " ORDER BY Player");
    PrintComparison("Detail view ordered by Player",
                    Alternate(
                        options.runs,
                        [&] {
                            views.detail.close();
                            return Measure([&] { views.detail.open(db, shuffledSql); });
                        },
                        [&] {
                            views.detail.close();
                            return Measure([&] { PlainRead(raw, shuffledSql); });
                        }));

    closeViews();
    db.Close();
    WindowFigures(options.db);
    return 0;
}
