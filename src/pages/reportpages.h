#pragma once

#include "reportpage.h"
#include "shownsink.h"

#include <QFont>
#include <QList>
#include <QPageLayout>
#include <QStringList>
#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPainter;
class QRectF;

/// Draws the report's chart into the given rectangle of the first page.
using ChartPainter = std::function<void(QPainter& painter, const QRectF& area)>;

/// The page size of the locale: Letter where it is the custom (the United States, Canada,
/// Mexico and a few other countries of the Americas, the Philippines), A4 everywhere else.
QPageSize::PageSizeId ReportPageSizeFor(const QLocale& locale);

/// Paints a report's rows as pages onto a paged device (a PDF writer, a printer), row by row as
/// they come: the first page holds the title, the range, the number of rows and the chart, and
/// every page the column titles and "Page N of M" at its foot. Values are as the grid shows them,
/// numbers to the right; a text too long for its column is cut with "…". The column widths come
/// from the titles and the first rows; the pages are landscape when the columns need it (unless
/// the device's orientation is kept, as a printer's chosen one is). Only those first rows are
/// held, so the memory stays the same whatever the number of rows.
class ReportPagesWriter : public ShownCellSink {
public:
    /// rows: the number of rows that will come, for "Page N of M". keepLayout: paint on the
    /// device's own page layout (a printer's) instead of the locale's size and the orientation
    /// the columns need.
    ReportPagesWriter(QPagedPaintDevice& device, const ReportPageInfo& info, qint64 rows,
                      bool keepLayout = false, ChartPainter chart = {});
    ~ReportPagesWriter() override;

    void start(const QList<ResultColumn>& columns) override;
    void endRow() override;
    void finish() override;

    /// The pages painted; known once the first page is.
    int pageCount() const { return m_pageCount; }

protected:
    void cell(const QString& shown, bool number) override;

private:
    struct Column {
        QString title;
        bool number = false;
        qreal width = 0; // in device units
    };
    void layOut();
    void beginPage();
    void paintRow(const QStringList& cells, const QList<bool>& numbers);
    void endPage();

    QPagedPaintDevice& m_device;
    ReportPageInfo m_info;
    qint64 m_rows;
    bool m_keepLayout;
    ChartPainter m_chart;
    std::unique_ptr<QPainter> m_painter;
    QList<Column> m_columns;
    QFont m_font;
    QFont m_bold;
    QStringList m_cells;
    QList<bool> m_numbers;
    QList<QStringList> m_sample; // the first rows, held until the layout is made
    QList<QList<bool>> m_sampleNumbers;
    bool m_laidOut = false;
    qreal m_rowHeight = 0;
    qreal m_y = 0;    // where the next row goes
    qreal m_foot = 0; // where the rows end
    int m_page = 0;
    int m_pageCount = 1;
    int m_firstPageRows = 0;
    int m_pageRows = 0;
};
