#include "chartimage.h"

#include "chartticks.h"
#include "csvexport.h"
#include "error.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSvgGenerator>
#include <QValueAxis>
#include <algorithm>

namespace {

/// Date labels beyond this many bars stand upright, so that each keeps its full text.
constexpr int kLevelDateLabels = 12;
/// The smallest size a crowded category axis writes its labels in.
constexpr qreal kSmallestLabelPoints = 5;

/// A category axis whose labels have less room than a line of the theme's font each gets a
/// smaller font (as do the bar labels beside them), so that every label shows; with room again it
/// goes back. Followed on every change of the plot area: window resizes, the first layout.
void FitLabelsToRoom(QChart& chart, QBarCategoryAxis& axis, QBarSet* barLabels) {
    const QFont themeFont = axis.labelsFont();
    const auto fit = [&chart, &axis, barLabels, themeFont] {
        const QRectF plot = chart.plotArea();
        const qreal room =
            (axis.orientation() == Qt::Vertical ? plot.height() : plot.width()) / axis.count();
        QFont font = themeFont;
        while (font.pointSizeF() > kSmallestLabelPoints && QFontMetricsF(font).height() + 2 > room)
            font.setPointSizeF(font.pointSizeF() - 0.5);
        if (font == axis.labelsFont())
            return;
        axis.setLabelsFont(font);
        if (barLabels)
            barLabels->setLabelFont(font);
    };
    QObject::connect(&chart, &QChart::plotAreaChanged, &axis, fit);
}

/// A value axis that writes at most this many steps across, or up.
constexpr int kAcrossIntervals = 5;
constexpr int kUpIntervals = 6;

/// The value axis from 0 (or the lowest value below it) to the highest value, in round steps
/// labelled in short form ("250k"), so that the labels keep apart at any size of the window.
QValueAxis* ValueAxis(const ChartData& data, int maxIntervals, const QLocale& locale) {
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

/// The title, and beneath it in plain type what the chart leaves out.
QString TitleText(const ChartData& data) {
    if (data.subtitle.isEmpty())
        return data.title;
    return QStringLiteral("%1<br><span style=\"font-size: small; font-weight: normal\">%2</span>")
        .arg(data.title.toHtmlEscaped(), data.subtitle.toHtmlEscaped());
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

/// A category axis accepts each text once and no null text: an empty label shows as a blank.
QString CategoryOf(const QString& label) {
    return label.isEmpty() ? QStringLiteral(" ") : label;
}

void AddTimeBars(QChart& chart, const ChartData& data, const QLocale& locale) {
    auto* set = new QBarSet(data.valueTitle);
    QStringList categories;
    for (const ChartPoint& point : data.points) {
        *set << point.value;
        categories << point.label;
    }
    auto* series = new QBarSeries;
    series->append(set);
    chart.addSeries(series);
    auto* labels = new QBarCategoryAxis;
    labels->setTitleText(data.labelTitle);
    labels->append(categories);
    labels->setTruncateLabels(false); // a label that fits no row is hidden, not cut to "..."
    if (categories.size() > kLevelDateLabels)
        labels->setLabelsAngle(-90);
    chart.addAxis(labels, Qt::AlignBottom);
    series->attachAxis(labels);
    FitLabelsToRoom(chart, *labels, nullptr);
    QValueAxis* values = ValueAxis(data, kUpIntervals, locale);
    chart.addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);
}

/// A time axis writes at most this many dates.
constexpr int kMostDateTicks = 9;

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
    QValueAxis* values = ValueAxis(data, kUpIntervals, locale);
    chart.addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);
}

void AddRankingBars(QChart& chart, const ChartData& data, const QLocale& locale) {
    // Horizontal categories run from the bottom up: the largest value goes in last, on top.
    auto* set = new QBarSet(data.valueTitle);
    QStringList categories;
    for (auto point = data.points.crbegin(); point != data.points.crend(); ++point) {
        *set << point->value;
        categories << CategoryOf(point->label);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    chart.addSeries(series);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(15);
    series->setLabelsVisible(true);
    auto* labels = new QBarCategoryAxis;
    labels->setTitleText(data.labelTitle);
    labels->append(categories);
    labels->setTruncateLabels(false); // a label that fits no row is hidden, not cut to "..."
    chart.addAxis(labels, Qt::AlignLeft);
    series->attachAxis(labels);
    QValueAxis* values = ValueAxis(data, kAcrossIntervals, locale);
    chart.addAxis(values, Qt::AlignBottom);
    series->attachAxis(values);
    // The theme writes bar labels in white, for labels inside the bars; these stand beside them.
    set->setLabelColor(labels->labelsColor());
    FitLabelsToRoom(chart, *labels, set);
}

} // namespace

std::optional<ChartImageFormat> ChartImageFormatFor(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(u"png", Qt::CaseInsensitive) == 0)
        return ChartImageFormat::Png;
    if (suffix.compare(u"svg", Qt::CaseInsensitive) == 0)
        return ChartImageFormat::Svg;
    return std::nullopt;
}

QChart* CreateChart(const ChartData& data, const QLocale& locale) {
    auto* chart = new QChart;
    QLocale numbers = locale;
    numbers.setNumberOptions(numbers.numberOptions() | QLocale::OmitGroupSeparator);
    chart->setLocale(numbers);
    chart->setLocalizeNumbers(true);
    chart->setTitle(TitleText(data));
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->hide();
    if (data.points.isEmpty())
        return chart;
    switch (data.shape) {
    case ChartShape::TimeBars:
        AddTimeBars(*chart, data, locale);
        break;
    case ChartShape::TimeLine:
        AddTimeLine(*chart, data, locale);
        break;
    case ChartShape::RankingBars:
        AddRankingBars(*chart, data, locale);
        break;
    }
    return chart;
}

QByteArray RenderChartImage(const ChartData& data, const QLocale& locale, QSize size,
                            ChartImageFormat format) {
    QGraphicsScene scene;
    QChart* chart = CreateChart(data, locale);
    scene.addItem(chart); // the scene owns it from here
    chart->resize(size);
    // The chart lays out its axes and series on the layout request this posts, and again when
    // that layout gave crowded labels a smaller font.
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

    const QRect area(QPoint(0, 0), size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == ChartImageFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setResolution(96); // so that a browser shows it at its size in pixels
        svg.setViewBox(area);
        svg.setTitle(data.title);
        QPainter painter(&svg);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, QRectF(area), QRectF(area));
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            scene.render(&painter, QRectF(area), QRectF(area));
        }
        image.save(&buffer, "PNG");
    }
    return bytes;
}

void SaveChartImage(const QString& path, const ChartData& data, const QLocale& locale, QSize size) {
    const std::optional<ChartImageFormat> format = ChartImageFormatFor(path);
    if (!format)
        throw ZvError(QString::fromUtf16(kChartImageNameText));
    WriteCsvFile(path, RenderChartImage(data, locale, size, *format));
}
