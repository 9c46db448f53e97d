#include "ChartForm.h"
#include "Main.h"
#include "busy.h"
#include "imagesavedialog.h"
#include "reportfixture.h"
#include "testsupport.h"

#include <QAbstractAxis>
#include <QAbstractBarSeries>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QMetaEnum>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <algorithm>
#include <cmath>
#include <memory>

namespace {
class AnsweringChooser : public ImageFileChooser {
public:
    QString chooseImageFile() override { return answer; }
    QString answer;
};

QByteArray Head(const QString& path, int size) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(size) : QByteArray("<unreadable>");
}

/// Fees of 30 players named as in the samples: "november" pays most, "Kilo" is the 25th.
QString SamplePlayersSql() {
    static const char* const kNames[] = {
        "november", "oscar",  "papa",    "quebec",   "romeo",   "sierra", "tango", "Tango",
        "uniform",  "victor", "whiskey", "xray",     "yankee",  "zulu",   "alpha", "bravo",
        "charlie",  "delta",  "echo",    "foxtrot",  "golf",    "hotel",  "india", "J\u00fcrgen",
        "Kilo",     "lima",   "Mike",    "Zo\u00eb", "juliett", "kilo"};
    QStringList rows;
    for (int i = 0; i < 30; ++i)
        rows << QStringLiteral("('%1', %2)")
                    .arg(QString::fromUtf8(kNames[i]))
                    .arg(27.0 - i * 1.0625);
    return QStringLiteral("SELECT column1 AS Player, column2 AS Fees FROM (VALUES %1)")
        .arg(rows.join(u','));
}

/// WCAG's contrast ratio of two colours, 1 to 21.
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

/// The bars of the chart whose names its category axis does not draw in full: every category
/// needs a text item of its own that the axis shows (Qt Charts hides those it finds crowded),
/// holding the whole name, within the chart and clear of every other such label. A chart
/// without bars names none.
QStringList UnnamedBars(QChart& chart) {
    QAbstractBarSeries* bars = nullptr;
    for (QAbstractSeries* series : chart.series())
        bars = bars ? bars : qobject_cast<QAbstractBarSeries*>(series);
    if (!bars)
        return {};
    QBarCategoryAxis* axis = nullptr;
    for (QAbstractAxis* candidate : bars->attachedAxes())
        axis = axis ? axis : qobject_cast<QBarCategoryAxis*>(candidate);
    QStringList unnamed;
    if (!axis || bars->barSets().constFirst()->count() != axis->count())
        unnamed << QStringLiteral("bars without a category");
    QList<QRectF> placed;
    for (const QString& category : axis->categories()) {
        const QString name = QTextDocumentFragment::fromHtml(category).toPlainText();
        QGraphicsTextItem* shown = nullptr;
        for (QGraphicsItem* item : chart.scene()->items()) {
            auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            if (text && text->isVisible() && text->toPlainText() == name &&
                !text->sceneBoundingRect().intersects(
                    chart.mapRectToScene(chart.plotArea()).adjusted(1, 1, -1, -1)))
                shown = text;
        }
        // (less the half-pixel margin round the text)
        const QRectF at =
            shown ? shown->sceneBoundingRect().adjusted(0.5, 0.5, -0.5, -0.5) : QRectF();
        const bool clear = std::none_of(placed.begin(), placed.end(),
                                        [&](const QRectF& r) { return r.intersects(at); });
        if (!shown || !chart.sceneBoundingRect().contains(at) || !clear)
            unnamed << name;
        placed << at;
    }
    return unnamed;
}
} // namespace

class TestChartWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;
    std::unique_ptr<TMainForm> m_form;

    TMainForm& form() { return *m_form; }
    QString iniPath() const { return m_dir->filePath(QStringLiteral("Kestrelle/ZVFeeStats.ini")); }
    void start() {
        m_form =
            std::make_unique<TMainForm>(m_dir->filePath(QStringLiteral("ZVFee2.db3")), &m_messages);
        m_form->show();
        m_form->PageControl1->setCurrentWidget(m_form->ReportPage);
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void load(int entry) {
        form().ReportList->setCurrentIndex(entry);
        Q_EMIT form().ReportList->activated(entry);
        form().LoadSQLBtn->click();
    }
    void load(const QString& sql) {
        form().SQLMemo->setPlainText(sql);
        form().LoadSQLBtn->click();
    }
    /// What the chart window shows: "Fees by Date: TimeBars, 5 points, SeriesTypeBar".
    QString shown() {
        TChartForm* chart = form().ChartForm;
        if (!chart || !chart->isVisible())
            return QStringLiteral("no window");
        static const char* const shapes[] = {"TimeBars", "TimeLine", "RankingBars"};
        const auto& data = chart->chartData();
        const QList<QAbstractSeries*> series = chart->ChartView->chart()->series();
        const QMetaObject& meta = QAbstractSeries::staticMetaObject;
        const QMetaEnum types = meta.enumerator(meta.indexOfEnumerator("SeriesType"));
        return QStringLiteral("%1: %2, %3 points, %4")
            .arg(chart->ChartView->chart()->title(),
                 QLatin1String(data ? shapes[int(data->shape)] : "nothing"))
            .arg(data ? data->points.size() : 0)
            .arg(QLatin1String(series.isEmpty() ? "no series"
                                                : types.valueToKey(series.first()->type())));
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        FeeDatabase db;
        CreateReportFixture(db, m_dir->filePath(QStringLiteral("ZVFee2.db3")));
        db.Close();
        m_messages.clear();
    }
    void cleanup() { m_form.reset(); }

    void buttonSitsBesideExport() {
        start();
        QCOMPARE(form().ChartBtn->text(), QStringLiteral("Chart"));
        QCOMPARE(form().ChartBtn->size(), form().ExportBtn->size());
        QCOMPARE(form().ChartBtn->y(), form().ExportBtn->y());
        QVERIFY(form().ChartBtn->x() > form().ExportBtn->geometry().right());
        QVERIFY(form().ChartBtn->geometry().right() < form().ReportPanel->width());
    }

    void reportsThatCannotBeCharted_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::newRow("not loaded") << QString() << "Report table is empty";
        QTest::newRow("no rows")
            << "SELECT Date, SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber) "
               "WHERE Date > '2030' GROUP BY Date"
            << "The report has no rows";
        QTest::newRow("no number column") << "SELECT TName, Date FROM Master"
                                          << "The report has no number column to chart";
    }
    void reportsThatCannotBeCharted() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        start();
        if (!sql.isEmpty())
            load(sql);
        form().ChartBtn->click();
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Error);
        QCOMPARE(m_messages.shown[0].second, message);
        QCOMPARE(shown(), QStringLiteral("no window"));
    }

    void chartOpensOnTheLoadedReportAndFollowsEachLoad() {
        start();
        load(9); // Fees by Date: 2024-03-01 to 2024-03-05
        form().ChartBtn->click();
        QVERIFY(QTest::qWaitForWindowExposed(form().ChartForm));
        QCOMPARE(shown(),
                 QStringLiteral("Fees by Date, by day: TimeBars, 5 points, SeriesTypeBar"));
        QCOMPARE(form().ChartForm->windowTitle(), QStringLiteral("Fees by Date, by day"));
        TChartForm* window = form().ChartForm;

        load(1);
        QCOMPARE(shown(),
                 QStringLiteral("Fees by Player: RankingBars, 7 points, SeriesTypeHorizontalBar"));
        load(QStringLiteral("SELECT TName, Date FROM Master"));
        QCOMPARE(shown(),
                 QStringLiteral(
                     "The report has no number column to chart: nothing, 0 points, no series"));
        QVERIFY(!window->SaveImageBtn->isEnabled());
        load(QStringLiteral("SELECT Player, Fees FROM Detail"));
        QCOMPARE(shown(),
                 QStringLiteral("SQL query: RankingBars, 7 points, SeriesTypeHorizontalBar"));
        QVERIFY(m_messages.shown.isEmpty());

        // Closed, it is left alone by a Load; "Chart" brings the same window back.
        window->close();
        load(10);
        QCOMPARE(form().ChartForm->chartData()->title, QStringLiteral("SQL query"));
        form().ChartBtn->click();
        QCOMPARE(form().ChartForm, window);
        QCOMPARE(shown(),
                 QStringLiteral("Fees by Month, by month: TimeBars, 1 points, SeriesTypeBar"));
    }

    // Another entry, or a date, closes the view: the chart window then shows no data until the
    // next Load draws the new report.
    void chartNeverShowsAReportNoLongerLoaded_data() {
        QTest::addColumn<bool>("byDate");
        QTest::addColumn<QString>("reloaded");
        QTest::newRow("another entry") << false << "Fees by Date, by day: TimeBars, 5 points";
        QTest::newRow("a date ticked") << true << "The report has no rows: nothing, 0 points";
    }
    void chartNeverShowsAReportNoLongerLoaded() {
        QFETCH(bool, byDate);
        QFETCH(QString, reloaded);
        start();
        load(1);
        form().ChartBtn->click();
        QVERIFY(QTest::qWaitForWindowExposed(form().ChartForm));
        if (byDate) {
            form().StartCB->click(); // from today: no tournaments
        } else {
            form().ReportList->setCurrentIndex(9);
            Q_EMIT form().ReportList->activated(9);
        }
        QCOMPARE(shown(), QStringLiteral("Report table is empty: nothing, 0 points, no series"));
        QVERIFY(!form().ChartForm->SaveImageBtn->isEnabled());
        form().LoadSQLBtn->click();
        QVERIFY2(shown().startsWith(reloaded), qPrintable(shown()));
    }

    // A ranking of more than 25 shows the 25 largest; the rest is named under the title.
    void restOfARankingIsNamedInTheSubtitle() {
        start();
        load(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i < 1030) SELECT 'player ' || i AS Player, i * 1.0 AS Fees "
                            "FROM n"));
        static int waits = 0; // the wait cursor shows while the chart is built
        BusyCursor::setHooks([] { ++waits; }, [] {});
        form().ChartBtn->click();
        QCOMPARE(waits, 1);
        QCOMPARE(form().ChartForm->chartData()->points.size(), 25);
        const QString title = form().ChartForm->ChartView->chart()->title();
        QVERIFY2(title.contains(QStringLiteral("and 1,005 others: 505,515.00")), qPrintable(title));
    }

    void crowdedLabelsShrinkToShowAndGrowBack() {
        start();
        load(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i < 26) SELECT 'player ' || i AS Player, i AS Fees FROM n"));
        form().ChartBtn->click();
        TChartForm* window = form().ChartForm;
        const auto labelSize = [window] {
            QApplication::processEvents();
            return window->ChartView->chart()
                ->axes(Qt::Vertical)
                .first()
                ->labelsFont()
                .pointSizeF();
        };
        window->resize(900, 900);
        const qreal roomy = labelSize();
        window->resize(500, 300);
        QVERIFY2(labelSize() < roomy, qPrintable(QString::number(labelSize())));
        window->resize(900, 900);
        QCOMPARE(labelSize(), roomy);
    }

    // Every bar is named at the window's default size and down to its minimum: in a smaller
    // font, or, where no font leaves room, with fewer bars and the rest in the subtitle.
    void everyBarIsNamed_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("smallest"); // the window at its minimum size, else its default
        QTest::addColumn<int>("bars");      // shown at that size; -1: fewer than all, at least 1
        const QString days =
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE "
                           "i < %1) SELECT date('2024-03-01', '+' || i || ' days') AS Date, "
                           "i * 2.5 AS Fees FROM n");
        QTest::newRow("samples' players") << SamplePlayersSql() << false << 25;
        QTest::newRow("samples' players, smallest") << SamplePlayersSql() << true << -1;
        QTest::newRow("12 days") << days.arg(11) << false << 12;
        QTest::newRow("31 days") << days.arg(30) << false << 31;
        QTest::newRow("60 days: a line") << days.arg(59) << false << 0;
        QTest::newRow("12 days, smallest") << days.arg(11) << true << 12;
        QTest::newRow("31 days, smallest: a line") << days.arg(30) << true << 0;
    }
    void everyBarIsNamed() {
        QFETCH(QString, sql);
        QFETCH(bool, smallest);
        QFETCH(int, bars);
        start();
        load(sql);
        form().ChartBtn->click();
        TChartForm* window = form().ChartForm;
        QVERIFY(QTest::qWaitForWindowExposed(window));
        if (smallest)
            window->resize(window->minimumSize());
        for (int i = 0; i < 5; ++i) // the layouts, and the redraws they ask for
            QApplication::processEvents();
        QCOMPARE(window->size(), smallest ? window->minimumSize() : QSize(784, 520));
        QChart& chart = *window->ChartView->chart();
        QCOMPARE(UnnamedBars(chart), QStringList());
        const QList<QAbstractSeries*> series = chart.series();
        QCOMPARE(series.size(), 1);
        auto* barSeries = qobject_cast<QAbstractBarSeries*>(series.constFirst());
        const int shown = barSeries ? barSeries->barSets().constFirst()->count() : 0;
        if (bars >= 0) {
            QCOMPARE(shown, bars);
        } else {
            QVERIFY2(shown >= 1 && shown < 25, qPrintable(QString::number(shown)));
            QVERIFY2(chart.title().contains(QStringLiteral("and %1 others").arg(30 - shown)),
                     qPrintable(chart.title()));
        }
        // Value labels read on the bars and on the background alike.
        if (barSeries && barSeries->isLabelsVisible()) {
            QBarSet* set = barSeries->barSets().constFirst();
            QVERIFY(Contrast(set->labelColor(), set->color()) >= 4.5);
            QVERIFY(Contrast(set->labelColor(), Qt::white) >= 4.5); // the theme's background
        }
    }

    void saveImageWritesTheFileItsNameAsksFor_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("error");
        QTest::newRow("png") << "fees.png" << QByteArray("\x89PNG") << "";
        QTest::newRow("svg") << "fees.Svg" << QByteArray("<?xml") << "";
        QTest::newRow("cancelled") << "" << QByteArray() << "";
        QTest::newRow("other extension")
            << "fees.jpg" << QByteArray() << "An image file name must end in .png or .svg.";
    }
    void saveImageWritesTheFileItsNameAsksFor() {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(QString, error);
        start();
        load(1);
        form().ChartBtn->click();
        auto chooser = std::make_shared<AnsweringChooser>();
        chooser->answer = name.isEmpty() ? QString() : m_dir->filePath(name);
        form().ChartForm->SaveDialog = chooser;
        form().ChartForm->SaveImageBtn->click();
        QCOMPARE(m_messages.texts(), error.isEmpty() ? QStringList() : QStringList{error});
        if (!head.isEmpty())
            QCOMPARE(Head(chooser->answer, head.size()), head);
        else if (!name.isEmpty())
            QVERIFY(!QFile::exists(chooser->answer));
    }

    void saveImageOntoTheDatabaseIsRefused() {
        start();
        load(1);
        form().ChartBtn->click();
        const QString db = m_dir->filePath(QStringLiteral("ZVFee2.db3"));
        auto chooser = std::make_shared<AnsweringChooser>();
        chooser->answer = m_dir->filePath(QStringLiteral("fees.png"));
        QVERIFY(QFile::link(db, chooser->answer));
        const QByteArray before = Head(db, 1 << 20);
        form().ChartForm->SaveDialog = chooser;
        form().ChartForm->SaveImageBtn->click();
        QCOMPARE(m_messages.texts(),
                 QStringList{QStringLiteral("Cannot write \"%1\": it is the fee database.")
                                 .arg(chooser->answer)});
        QVERIFY(Head(db, 1 << 20) == before);
    }

    void sizeComesFromTheSettingsAndGoesBackAtClose() {
        {
            QSettings ini(iniPath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("ZVFee/ChartWidth"), QStringLiteral("716"));
            ini.setValue(QStringLiteral("ZVFee/ChartHeight"), QStringLiteral("538"));
        }
        start();
        load(1);
        form().ChartBtn->click();
        TChartForm* window = form().ChartForm;
        QCOMPARE(window->size(), QSize(700, 500)); // outer size less the design frame
        window->resize(600, 400);
        form().close(); // the main window's close closes the chart window too
        QSettings ini(iniPath(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("ZVFee/ChartWidth")).toString(), QStringLiteral("616"));
        QCOMPARE(ini.value(QStringLiteral("ZVFee/ChartHeight")).toString(), QStringLiteral("438"));
        QCOMPARE(ini.value(QStringLiteral("ZVFee/ChartMax")).toString(), QStringLiteral("0"));
    }

    void imageDialogOffersPngAndSvg() {
        QFileDialog dialog;
        ImageSaveDialog::Configure(dialog, QStringLiteral("/tmp/last.svg"));
        QCOMPARE(dialog.nameFilters(), QStringList({"PNG images (*.png)", "SVG images (*.svg)"}));
        QCOMPARE(dialog.selectedNameFilter(), QStringLiteral("SVG images (*.svg)"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("svg"));
        Q_EMIT dialog.filterSelected(QStringLiteral("PNG images (*.png)"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("png"));
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
    }
};

QTEST_MAIN(TestChartWindow)
#include "test_chartwindow.moc"
