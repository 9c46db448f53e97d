#include "chartshapes.h"

#include "chartticks.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QFontMetricsF>
#include <QGraphicsTextItem>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace {

/// A value axis that writes at most this many steps across, or up.
constexpr int kAcrossIntervals = 5;
constexpr int kUpIntervals = 6;
/// A time axis writes at most this many dates.
constexpr int kMostDateTicks = 9;
/// Qt Charts places labels on whole pixels: a label needs this much more than its own extent.
constexpr qreal kRounding = 1;
/// The steps by which a crowded axis tries smaller fonts.
constexpr qreal kFontStep = 0.5;

/// The value axis from 0 (or the lowest value below it) to the highest value, in round steps
/// labelled in short form ("250k"), so that the labels keep apart at any size of the window.
QCategoryAxis* ValueAxis(const ChartData& data, int maxIntervals, const QLocale& locale) {
    double low = 0, high = 0;
    for (const ChartPoint& point : data.points) {
        low = std::min(low, point.value);
        high = std::max(high, point.value);
    }
    const ChartTicks ticks = NiceTicks(low, high, maxIntervals);
    auto* axis = new QCategoryAxis;
    axis->setTitleText(data.valueTitle);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(ticks.low);
    for (int i = 0; i <= ticks.intervals; ++i) {
        const double at = ticks.low + i * ticks.step;
        axis->append(ShortNumber(at, ticks.step, locale), at);
    }
    axis->setRange(ticks.low, ticks.high);
    return axis;
}

/// The form of the dates on a time axis of this unit.
QString DateFormat(ChartUnit unit) {
    switch (unit) {
    case ChartUnit::Day:
        return QStringLiteral("yyyy-MM-dd");
    case ChartUnit::Month:
        return QStringLiteral("yyyy-MM");
    default:
        return QStringLiteral("yyyy");
    }
}

/// A category as the axis takes it: Qt Charts writes labels as rich text, so a name is escaped
/// ("<b>" shows as typed); each text is taken once and no null text: an empty label is a blank.
QString CategoryOf(const QString& label) {
    return label.isEmpty() ? QStringLiteral(" ") : label.toHtmlEscaped();
}

/// A time axis gets as many ticks as its dates have room for side by side, so that none is cut
/// to "...": followed on every change of the plot area.
void FitDateTicksToRoom(QChart& chart, QDateTimeAxis& axis) {
    const auto fit = [&chart, &axis] {
        const qreal label = QFontMetricsF(axis.labelsFont()).horizontalAdvance(axis.format()) + 16;
        const int ticks = std::clamp(int(chart.plotArea().width() / label) + 1, 2, kMostDateTicks);
        if (ticks != axis.tickCount())
            axis.setTickCount(ticks);
    };
    QObject::connect(&chart, &QChart::plotAreaChanged, &axis, fit);
}

void AddTimeLine(QChart& chart, const ChartData& data, const QLocale& locale) {
    auto* series = new QLineSeries;
    series->setName(data.valueTitle);
    for (const ChartPoint& point : data.points)
        series->append(double(point.date.startOfDay().toMSecsSinceEpoch()), point.value);
    chart.addSeries(series);
    auto* time = new QDateTimeAxis;
    time->setTitleText(data.labelTitle);
    time->setFormat(DateFormat(data.unit));
    time->setTickCount(kMostDateTicks);
    FitDateTicksToRoom(chart, *time);
    time->setRange(data.points.constFirst().date.startOfDay(),
                   data.points.constLast().date.startOfDay());
    chart.addAxis(time, Qt::AlignBottom);
    series->attachAxis(time);
    QCategoryAxis* values = ValueAxis(data, kUpIntervals, locale);
    chart.addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);
}

/// The size Qt Charts gives a label of this font: that of its rich-text item with the chart's
/// text margin, which its axes compare with the room of a category.
class LabelMeasure {
public:
    LabelMeasure() { m_item.document()->setDocumentMargin(0.5); }
    /// The largest width and height of the labels (categories, as the axis holds them).
    QSizeF largest(const QFont& font, const QStringList& labels) {
        m_item.setFont(font);
        QSizeF most;
        for (const QString& label : labels) {
            m_item.setHtml(label);
            most = most.expandedTo(m_item.boundingRect().size());
        }
        return most;
    }

private:
    QGraphicsTextItem m_item;
};

/// The form of a bar chart at one size: how many bars, its label font and angle, or a line.
struct BarsForm {
    qsizetype bars = 0;
    qreal points = 0;
    bool upright = false;
    bool line = false;
    bool operator==(const BarsForm&) const = default;
};

/// Draws the bars of a ranking or of a time series and keeps every bar named (DrawChartData):
/// a child of the chart, following its plot area.
class BarNamer : public QObject {
public:
    BarNamer(QChart& chart, const ChartData& data, const QLocale& locale)
        : QObject(&chart), m_chart(chart), m_data(data), m_locale(locale) {
        m_form.bars = data.points.size();
        draw();
        m_themeFont = m_labels->labelsFont();
        m_form.points = m_themeFont.pointSizeF();
        QObject::connect(&chart, &QChart::plotAreaChanged, this, [this] { fit(); });
    }

private:
    bool ranking() const { return m_data.shape == ChartShape::RankingBars; }

    /// The categories of the first count points, as the axis holds them.
    QStringList categories(qsizetype count) const {
        QStringList labels;
        for (qsizetype i = 0; i < count; ++i)
            labels << CategoryOf(m_data.points[i].label);
        return labels;
    }

    /// The largest font, from the theme's down to kSmallestLabelPoints, whose labels take no
    /// more than room each (their height, or their width when level); 0 when none does.
    qreal fittingPoints(const QStringList& labels, qreal room, bool width) {
        QFont font = m_themeFont;
        for (qreal points = m_themeFont.pointSizeF(); points >= kSmallestLabelPoints;
             points -= kFontStep) {
            font.setPointSizeF(points);
            const QSizeF size = m_measure.largest(font, labels);
            if ((width ? size.width() : size.height()) + kRounding <= room)
                return points;
        }
        return 0;
    }

    BarsForm rankingForm(const QRectF& plot) {
        const QStringList labels = categories(m_data.points.size());
        BarsForm form;
        form.bars = labels.size();
        form.points = fittingPoints(labels, plot.height() / qreal(form.bars), false);
        if (form.points > 0)
            return form;
        // The smallest font leaves too little room: as many of the largest as it has room for.
        QFont smallest = m_themeFont;
        smallest.setPointSizeF(kSmallestLabelPoints);
        const qreal each = m_measure.largest(smallest, labels).height() + kRounding;
        form.bars =
            std::clamp<qsizetype>(qsizetype(std::floor(plot.height() / each)), 1, labels.size());
        form.points =
            std::max(fittingPoints(categories(form.bars), plot.height() / qreal(form.bars), false),
                     kSmallestLabelPoints);
        return form;
    }

    BarsForm timeForm(const QRectF& plot) {
        const QStringList labels = categories(m_data.points.size());
        const qreal room = plot.width() / qreal(labels.size());
        BarsForm form;
        form.bars = labels.size();
        // Level in the theme's font while the dates fit side by side, else upright.
        const QSizeF level = m_measure.largest(m_themeFont, labels);
        if (level.width() + kRounding <= room) {
            form.points = m_themeFont.pointSizeF();
            return form;
        }
        form.upright = true;
        // Back from a line only with a pixel to spare, so that the two never take turns.
        form.points = fittingPoints(labels, room - (m_form.line ? kRounding : 0), false);
        form.line = form.points <= 0;
        if (form.line)
            form.points = m_form.points;
        return form;
    }

    void fit() {
        const QRectF plot = m_chart.plotArea();
        if (plot.width() < 1 || plot.height() < 1)
            return;
        const BarsForm wanted = ranking() ? rankingForm(plot) : timeForm(plot);
        if (wanted == m_form)
            return;
        const bool redraw = wanted.bars != m_form.bars || wanted.line != m_form.line;
        m_form = wanted;
        if (!redraw) {
            applyLabelForm();
            return;
        }
        // New series and axes are made after the layout that asked for them has finished.
        if (m_redrawPending)
            return;
        m_redrawPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_redrawPending = false;
                draw();
                applyLabelForm();
            },
            Qt::QueuedConnection);
    }

    void applyLabelForm() {
        if (!m_labels)
            return;
        QFont font = m_themeFont;
        font.setPointSizeF(m_form.points);
        if (m_labels->labelsFont() != font) {
            m_labels->setLabelsFont(font);
            if (ranking())
                m_set->setLabelFont(font);
        }
        const qreal angle = m_form.upright ? -90 : 0;
        if (m_labels->labelsAngle() != angle)
            m_labels->setLabelsAngle(angle);
    }

    /// Makes the series and axes of the form afresh.
    void draw() {
        m_chart.removeAllSeries();
        for (QAbstractAxis* axis : m_chart.axes()) {
            m_chart.removeAxis(axis);
            delete axis;
        }
        m_labels = nullptr;
        m_set = nullptr;
        if (m_form.line) {
            AddTimeLine(m_chart, m_data, m_locale);
        } else if (ranking()) {
            const ChartData shown = TopPoints(m_data, m_form.bars, m_locale);
            m_chart.setTitle(ChartTitleText(shown));
            addRankingBars(shown);
        } else {
            addTimeBars();
        }
    }

    void addTimeBars() {
        m_set = new QBarSet(m_data.valueTitle);
        for (const ChartPoint& point : m_data.points)
            *m_set << point.value;
        auto* series = new QBarSeries;
        series->append(m_set);
        m_chart.addSeries(series);
        m_labels = new QBarCategoryAxis;
        m_labels->setTitleText(m_data.labelTitle);
        m_labels->append(categories(m_data.points.size()));
        m_labels->setTruncateLabels(false); // a label that fits no room is hidden, not cut
        m_chart.addAxis(m_labels, Qt::AlignBottom);
        series->attachAxis(m_labels);
        QCategoryAxis* values = ValueAxis(m_data, kUpIntervals, m_locale);
        m_chart.addAxis(values, Qt::AlignLeft);
        series->attachAxis(values);
    }

    void addRankingBars(const ChartData& shown) {
        // Horizontal categories run from the bottom up: the largest value goes in last, on top.
        m_set = new QBarSet(shown.valueTitle);
        QStringList labels;
        for (auto point = shown.points.crbegin(); point != shown.points.crend(); ++point) {
            *m_set << point->value;
            labels << CategoryOf(point->label);
        }
        auto* series = new QHorizontalBarSeries;
        series->append(m_set);
        m_chart.addSeries(series);
        series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        series->setLabelsPrecision(15);
        series->setLabelsVisible(true);
        m_labels = new QBarCategoryAxis;
        m_labels->setTitleText(shown.labelTitle);
        m_labels->append(labels);
        m_labels->setTruncateLabels(false); // a label that fits no room is hidden, not cut
        m_chart.addAxis(m_labels, Qt::AlignLeft);
        series->attachAxis(m_labels);
        // The scale of every value, shown or not, so that it stays as the bars come and go.
        QCategoryAxis* values = ValueAxis(m_data, kAcrossIntervals, m_locale);
        m_chart.addAxis(values, Qt::AlignBottom);
        series->attachAxis(values);
        // The theme writes bar labels in white, for labels inside the bars, and its axis labels
        // in a grey that has too little contrast on the bars: black reads on both.
        m_set->setLabelColor(Qt::black);
    }

    QChart& m_chart;
    const ChartData m_data;
    const QLocale m_locale;
    QFont m_themeFont;
    LabelMeasure m_measure;
    BarsForm m_form;
    QBarCategoryAxis* m_labels = nullptr;
    QBarSet* m_set = nullptr;
    bool m_redrawPending = false;
};

} // namespace

QString ChartTitleText(const ChartData& data) {
    if (data.subtitle.isEmpty())
        return data.title;
    return QStringLiteral("%1<br><span style=\"font-size: small; font-weight: normal\">%2</span>")
        .arg(data.title.toHtmlEscaped(), data.subtitle.toHtmlEscaped());
}

void DrawChartData(QChart& chart, const ChartData& data, const QLocale& locale) {
    if (data.points.isEmpty())
        return;
    if (data.shape == ChartShape::TimeLine)
        AddTimeLine(chart, data, locale);
    else
        new BarNamer(chart, data, locale); // owned by the chart
}
