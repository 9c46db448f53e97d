#pragma once

#include "chartmodel.h"

#include <QByteArray>
#include <QLocale>
#include <QSize>
#include <QString>
#include <optional>

class QChart;

enum class ChartImageFormat { Png, Svg };

inline constexpr auto kChartImageNameText = u"An image file name must end in .png or .svg";

/// The image format a file name asks for by its extension (".png" or ".svg", letter case
/// ignored); nothing for any other name.
std::optional<ChartImageFormat> ChartImageFormatFor(const QString& path);

/// A new Qt Charts chart of data, numbers in locale without digit grouping; the caller owns it.
QChart* CreateChart(const ChartData& data, const QLocale& locale);

/// The chart drawn at size (pixels) as the bytes of a PNG or SVG file. Needs a QApplication; the
/// offscreen platform serves.
QByteArray RenderChartImage(const ChartData& data, const QLocale& locale, QSize size,
                            ChartImageFormat format);

/// Writes the chart as the image its file name asks for, creating or replacing the file whole,
/// as the CSV export does. Raises "An image file name must end in .png or .svg" for any other
/// name, and the export's "Cannot create file ..." when the file cannot be written.
void SaveChartImage(const QString& path, const ChartData& data, const QLocale& locale, QSize size);
