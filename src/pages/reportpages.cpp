#include "reportpages.h"

#include "error.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kSampleRows = 200; // the rows whose widths decide the columns'
constexpr qreal kMarginMm = 12;
constexpr qreal kPaddingMm = 1.4;
constexpr qreal kMaxColumnShare = 0.45; // of the page width, for any one column
constexpr int kBodyPoints = 8;

qreal Units(const QPagedPaintDevice& device, qreal mm) {
    return mm * device.logicalDpiX() / 25.4;
}

/// A value on one line: line ends and tabs inside it are painted as spaces.
QString OneLine(QString text) {
    for (QChar& c : text)
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    return text;
}
} // namespace

QPageSize::PageSizeId ReportPageSizeFor(const QLocale& locale) {
    static const QList<QLocale::Territory> kLetter = {
        QLocale::UnitedStates, QLocale::Canada,    QLocale::Mexico,           QLocale::Philippines,
        QLocale::Chile,        QLocale::Colombia,  QLocale::Venezuela,        QLocale::PuertoRico,
        QLocale::CostaRica,    QLocale::Guatemala, QLocale::Panama,           QLocale::ElSalvador,
        QLocale::Nicaragua,    QLocale::Belize,    QLocale::DominicanRepublic};
    return kLetter.contains(locale.territory()) ? QPageSize::Letter : QPageSize::A4;
}

ReportPagesWriter::ReportPagesWriter(QPagedPaintDevice& device, const ReportPageInfo& info,
                                     qint64 rows, bool keepLayout, ChartPainter chart)
    : ShownCellSink(info.locale), m_device(device), m_info(info), m_rows(rows),
      m_keepLayout(keepLayout), m_chart(std::move(chart)),
      m_font(QStringLiteral("DejaVu Sans"), kBodyPoints), m_bold(m_font) {
    m_bold.setBold(true);
}

ReportPagesWriter::~ReportPagesWriter() = default;

void ReportPagesWriter::start(const QList<ResultColumn>& columns) {
    for (const ResultColumn& column : columns)
        m_columns.append({OneLine(column.name),
                          column.kind == ColumnKind::Integer || column.kind == ColumnKind::Float});
}

void ReportPagesWriter::cell(const QString& shown, bool number) {
    m_cells.append(shown);
    m_numbers.append(number);
}

void ReportPagesWriter::endRow() {
    if (!m_laidOut) {
        m_sample.append(m_cells);
        m_sampleNumbers.append(m_numbers);
        if (m_sample.size() >= kSampleRows)
            layOut();
    } else {
        paintRow(m_cells, m_numbers);
    }
    m_cells.clear();
    m_numbers.clear();
}

void ReportPagesWriter::finish() {
    if (!m_laidOut)
        layOut();
    endPage();
    m_painter->end();
}

void ReportPagesWriter::layOut() {
    m_laidOut = true;
    // Each column as wide as its title and the widest of the first rows, within a share of the
    // page; landscape when they do not fit across a portrait page.
    const qreal padding = Units(m_device, kPaddingMm);
    const QFontMetricsF body(m_font, &m_device);
    const QFontMetricsF titles(m_bold, &m_device);
    for (qsizetype c = 0; c < m_columns.size(); ++c) {
        qreal width = titles.horizontalAdvance(m_columns[c].title);
        for (const QStringList& row : std::as_const(m_sample))
            if (c < row.size())
                width = std::max(width, body.horizontalAdvance(OneLine(row[c])));
        // A little slack, so that a title or value measured to fit is never cut by a rounding.
        m_columns[c].width = width + 2 * padding + Units(m_device, 0.5);
    }
    qreal total = 0;
    for (const Column& column : std::as_const(m_columns))
        total += column.width;
    if (!m_keepLayout) {
        const QMarginsF margins(kMarginMm, kMarginMm, kMarginMm, kMarginMm);
        const QPageSize size(ReportPageSizeFor(m_info.locale));
        const qreal portrait =
            Units(m_device, size.size(QPageSize::Millimeter).width() - 2 * kMarginMm);
        const auto orientation = total > portrait ? QPageLayout::Landscape : QPageLayout::Portrait;
        m_device.setPageLayout(QPageLayout(size, orientation, margins, QPageLayout::Millimeter));
    }
    const QRectF area(
        QPointF(0, 0),
        m_device.pageLayout().paintRectPixels(m_device.logicalDpiX()).size().toSizeF());
    for (Column& column : m_columns)
        column.width = std::min(column.width, area.width() * kMaxColumnShare);
    total = 0;
    for (const Column& column : std::as_const(m_columns))
        total += column.width;
    if (total > area.width())
        for (Column& column : m_columns)
            column.width *= area.width() / total;

    m_rowHeight = body.lineSpacing() * 1.4;
    const qreal footHeight = body.lineSpacing() * 2.5;
    m_foot = area.height() - footHeight;

    // The first page's head: the title, the range, the number of rows and the time, then the
    // chart. How many rows fit there and on every other page gives the number of pages.
    m_painter = std::make_unique<QPainter>(&m_device);
    if (!m_painter->isActive())
        throw ZvError(QStringLiteral("The printer or file did not take the pages."));
    m_page = 1;
    QFont titleFont(m_font);
    titleFont.setPointSize(16);
    titleFont.setBold(true);
    QFont lineFont(m_font);
    lineFont.setPointSize(10);
    const QFontMetricsF titleMetrics(titleFont, &m_device);
    const QFontMetricsF lineMetrics(lineFont, &m_device);
    qreal y = 0;
    m_painter->setFont(titleFont);
    m_painter->drawText(QRectF(0, y, area.width(), titleMetrics.lineSpacing()),
                        Qt::AlignLeft | Qt::AlignVCenter,
                        titleMetrics.elidedText(m_info.title, Qt::ElideRight, area.width()));
    y += titleMetrics.lineSpacing() * 1.3;
    m_painter->setFont(lineFont);
    QStringList lines;
    if (const QString range = ReportRangeText(m_info); !range.isEmpty())
        lines << range;
    lines << ReportRowsText(m_rows, m_info.locale) << ReportMadeText(m_info);
    for (const QString& line : std::as_const(lines)) {
        m_painter->drawText(QRectF(0, y, area.width(), lineMetrics.lineSpacing()),
                            Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineMetrics.lineSpacing();
    }
    y += lineMetrics.lineSpacing() * 0.8;
    if (m_chart) {
        const QRectF chartArea(0, y, area.width(), area.height() * 0.4);
        m_painter->save();
        m_chart(*m_painter, chartArea);
        m_painter->restore();
        y = chartArea.bottom() + lineMetrics.lineSpacing();
    }
    const auto rowsFrom = [&](qreal top) {
        return std::max(1, int((m_foot - top - m_rowHeight) / m_rowHeight));
    };
    m_firstPageRows = rowsFrom(y);
    m_pageRows = rowsFrom(0);
    const qint64 rest = std::max<qint64>(0, m_rows - m_firstPageRows);
    m_pageCount = int(std::min<qint64>(1 + (rest + m_pageRows - 1) / m_pageRows, INT_MAX));
    m_y = y;
    beginPage();

    for (qsizetype r = 0; r < m_sample.size(); ++r)
        paintRow(m_sample[r], m_sampleNumbers[r]);
    m_sample.clear();
    m_sampleNumbers.clear();
}

/// The column titles at the top of the rows of a page, bold, with a line under them.
void ReportPagesWriter::beginPage() {
    const qreal padding = Units(m_device, kPaddingMm);
    const QFontMetricsF titles(m_bold, &m_device);
    m_painter->setFont(m_bold);
    qreal x = 0;
    for (const Column& column : std::as_const(m_columns)) {
        const QRectF box(x + padding, m_y, column.width - 2 * padding, m_rowHeight);
        m_painter->drawText(box,
                            (column.number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                            titles.elidedText(column.title, Qt::ElideRight, box.width()));
        x += column.width;
    }
    m_y += m_rowHeight;
    m_painter->setPen(QPen(Qt::black, Units(m_device, 0.3)));
    m_painter->drawLine(QPointF(0, m_y), QPointF(x, m_y));
    m_painter->setFont(m_font);
}

void ReportPagesWriter::paintRow(const QStringList& cells, const QList<bool>& numbers) {
    if (m_y + m_rowHeight > m_foot) {
        endPage();
        m_device.newPage();
        ++m_page;
        m_y = 0;
        beginPage();
    }
    const qreal padding = Units(m_device, kPaddingMm);
    const QFontMetricsF body(m_font, &m_device);
    qreal x = 0;
    for (qsizetype c = 0; c < m_columns.size() && c < cells.size(); ++c) {
        const qreal width = m_columns[c].width;
        const QRectF box(x + padding, m_y, width - 2 * padding, m_rowHeight);
        const QString text = OneLine(cells[c]);
        const bool fits = body.horizontalAdvance(text) <= box.width();
        m_painter->drawText(box, (numbers[c] ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                            fits ? text : body.elidedText(text, Qt::ElideRight, box.width()));
        x += width;
    }
    m_y += m_rowHeight;
}

void ReportPagesWriter::endPage() {
    const QRectF area(
        QPointF(0, 0),
        m_device.pageLayout().paintRectPixels(m_device.logicalDpiX()).size().toSizeF());
    m_painter->setFont(m_font);
    m_painter->drawText(
        QRectF(0, m_foot, area.width(), area.height() - m_foot), Qt::AlignCenter,
        QStringLiteral("Page %1 of %2").arg(m_page).arg(std::max(m_page, m_pageCount)));
}
