#pragma once

#include "chartdata.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QLocale>
#include <vector>

/// Gathers what a chart shows from rows given one at a time, in one pass: equal labels are added
/// up (first-seen order breaks ties), and at the end the points are picked. Labels that are all
/// days "yyyy-MM-dd", or all months "yyyy-MM", make a time series of at most kMaxChartPoints
/// points, by the finest of day, month and year that fits; any other labels make a ranking of the
/// kRankingBars largest values, picked with a bounded heap, the rest named in the subtitle.
class ChartPicker {
public:
    /// A label as UTF-8 bytes that stay where they are until pick().
    void add(QByteArrayView label, double value);
    /// A label made on the fly: its bytes are copied when it is new.
    void addCopied(QByteArrayView label, double value);

    /// The points, shape and subtitle; a time series gets its unit appended to title
    /// ("Fees by Date, by month"). Numbers in the subtitle are in locale, with digit grouping.
    ChartData pick(const QString& title, bool wholeValues, const QLocale& locale) const;

private:
    /// A new label's slot, after its entry in the index.
    void noteNew(QByteArrayView label, double value);

    struct Slot {
        QByteArrayView label;
        double value = 0;
    };
    std::vector<Slot> m_slots;                ///< one per distinct label, in first-seen order
    QHash<QByteArrayView, qsizetype> m_index; ///< label -> slot number + 1
    /// The bytes of copied labels, in blocks that are filled but never grown, so they stay put.
    static constexpr qsizetype kBlockBytes = 1 << 20;
    std::vector<QByteArray> m_blocks;
    bool m_allDays = true;
    bool m_allMonths = true;
};

/// The day of a label "yyyy-MM-dd" (UTF-8), or the first day of the month of a label "yyyy-MM";
/// an invalid date for any other text.
QDate ChartDayOf(QByteArrayView label);
QDate ChartMonthOf(QByteArrayView label);
