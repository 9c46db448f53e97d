#include "chartimage.h"

#include "chartshapes.h"
#include "csvexport.h"
#include "error.h"

#include <QBuffer>
#include <QChart>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

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
    chart->setTitle(ChartTitleText(data));
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->hide();
    DrawChartData(*chart, data, locale);
    return chart;
}

QByteArray RenderChartImage(const ChartData& data, const QLocale& locale, QSize size,
                            ChartImageFormat format) {
    QGraphicsScene scene;
    QChart* chart = CreateChart(data, locale);
    scene.addItem(chart); // the scene owns it from here
    chart->resize(size);
    // The chart lays out its axes and series on the layout request this posts, and again when
    // that layout gave crowded labels a smaller font, fewer bars or another shape.
    for (int pass = 0; pass < 8; ++pass)
        QCoreApplication::sendPostedEvents();

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
