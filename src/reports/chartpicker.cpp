#include "chartpicker.h"

#include "reportcatalogue.h"

#include <algorithm>
#include <map>

namespace {

/// The number written by n ASCII digits at p, -1 when one of them is not a digit.
int DigitsAt(const char* p, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        value = value * 10 + (p[i] - '0');
    }
    return value;
}

QString YearText(int year) {
    return QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
}

int MonthNumber(const QDate& date) {
    return date.year() * 12 + date.month() - 1;
}

/// A locale that writes digit grouping whatever its options say.
QLocale Grouping(QLocale locale) {
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

struct DatedValue {
    QDate date;
    double value;
};

/// Every step from the first date to the last, those without a row at 0.
QList<ChartPoint> Filled(const std::vector<DatedValue>& values, QDate first, int count,
                         ChartUnit unit) {
    std::vector<double> sums(size_t(count), 0.0);
    for (const DatedValue& v : values) {
        const qint64 at = unit == ChartUnit::Day     ? first.daysTo(v.date)
                          : unit == ChartUnit::Month ? MonthNumber(v.date) - MonthNumber(first)
                                                     : v.date.year() - first.year();
        sums[size_t(at)] += v.value;
    }
    QList<ChartPoint> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        QDate date;
        QString label;
        if (unit == ChartUnit::Day) {
            date = first.addDays(i);
            label = ReportDateText(date);
        } else if (unit == ChartUnit::Month) {
            date = QDate(first.year(), first.month(), 1).addMonths(i);
            label = ReportDateText(date).left(7);
        } else {
            date = QDate(first.year() + i, 1, 1);
            label = YearText(date.year());
        }
        points.append({label, sums[size_t(i)], date});
    }
    return points;
}

/// Only the years with rows, or, when there are more than the points allowed, the decades.
QList<ChartPoint> Sparse(const std::vector<DatedValue>& values, ChartUnit& unit) {
    std::map<int, double> years;
    for (const DatedValue& v : values)
        years[v.date.year()] += v.value;
    std::map<int, double> buckets;
    unit = ChartUnit::Year;
    if (years.size() > size_t(kMaxChartPoints)) {
        unit = ChartUnit::Decade; // years 1 to 9999 make at most 1,000 decades
        for (const auto& [year, value] : years)
            buckets[year / 10] += value;
    } else {
        buckets = std::move(years);
    }
    QList<ChartPoint> points;
    points.reserve(qsizetype(buckets.size()));
    for (const auto& [key, value] : buckets) {
        const int year = unit == ChartUnit::Decade ? std::max(1, key * 10) : key;
        points.append({YearText(year), value, QDate(year, 1, 1)});
    }
    return points;
}

/// The finest of day, month and year that gives at most kMaxChartPoints points.
QList<ChartPoint> TimeSeries(const std::vector<DatedValue>& values, bool months, ChartUnit& unit) {
    const auto [low, high] = std::minmax_element(
        values.begin(), values.end(),
        [](const DatedValue& a, const DatedValue& b) { return a.date < b.date; });
    const QDate first = low->date, last = high->date;
    const qint64 days = first.daysTo(last) + 1;
    const int monthCount = MonthNumber(last) - MonthNumber(first) + 1;
    const int yearCount = last.year() - first.year() + 1;
    if (!months && days <= kMaxChartPoints)
        unit = ChartUnit::Day;
    else if (monthCount <= kMaxChartPoints)
        unit = ChartUnit::Month;
    else if (yearCount <= kMaxChartPoints)
        unit = ChartUnit::Year;
    else
        return Sparse(values, unit);
    const int count = unit == ChartUnit::Day     ? int(days)
                      : unit == ChartUnit::Month ? monthCount
                                                 : yearCount;
    return Filled(values, first, count, unit);
}

} // namespace

QString ChartUnitText(ChartUnit unit) {
    switch (unit) {
    case ChartUnit::Day:
        return QStringLiteral("day");
    case ChartUnit::Month:
        return QStringLiteral("month");
    case ChartUnit::Year:
        return QStringLiteral("year");
    case ChartUnit::Decade:
        return QStringLiteral("decade");
    case ChartUnit::None:
        break;
    }
    return QString();
}

QDate ChartDayOf(QByteArrayView label) {
    if (label.size() != 10 || label[4] != '-' || label[7] != '-')
        return QDate();
    const int year = DigitsAt(label.data(), 4);
    const int month = DigitsAt(label.data() + 5, 2);
    const int day = DigitsAt(label.data() + 8, 2);
    if (year < 0 || month < 0 || day < 0 || !QDate::isValid(year, month, day))
        return QDate();
    return QDate(year, month, day);
}

QDate ChartMonthOf(QByteArrayView label) {
    if (label.size() != 7 || label[4] != '-')
        return QDate();
    const int year = DigitsAt(label.data(), 4);
    const int month = DigitsAt(label.data() + 5, 2);
    if (year < 0 || month < 0 || !QDate::isValid(year, month, 1))
        return QDate();
    return QDate(year, month, 1);
}

void ChartPicker::noteNew(QByteArrayView label, double value) {
    m_slots.push_back({label, value});
    if (m_allDays && !ChartDayOf(label).isValid())
        m_allDays = false;
    if (m_allMonths && !ChartMonthOf(label).isValid())
        m_allMonths = false;
}

void ChartPicker::add(QByteArrayView label, double value) {
    // One look-up a row: a new label finds 0 in place and takes the next slot.
    qsizetype& slot = m_index[label];
    if (slot > 0) {
        m_slots[size_t(slot - 1)].value += value;
        return;
    }
    slot = qsizetype(m_slots.size()) + 1;
    noteNew(label, value);
}

void ChartPicker::addCopied(QByteArrayView label, double value) {
    // The bytes go into the block first, so that a new label takes them as its key in the one
    // look-up; a label seen before gives them back.
    if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < label.size()) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max<qsizetype>(kBlockBytes, label.size()));
    }
    QByteArray& block = m_blocks.back();
    const qsizetype at = block.size();
    block.append(label);
    const QByteArrayView kept(block.constData() + at, label.size());
    qsizetype& slot = m_index[kept];
    if (slot > 0) {
        m_slots[size_t(slot - 1)].value += value;
        block.truncate(at);
        return;
    }
    slot = qsizetype(m_slots.size()) + 1;
    noteNew(kept, value);
}

ChartData ChartPicker::pick(const QString& title, bool wholeValues, const QLocale& locale) const {
    ChartData chart;
    chart.title = title;
    chart.wholeValues = wholeValues;
    if (m_slots.empty())
        return chart;
    if (m_allDays || m_allMonths) {
        std::vector<DatedValue> values;
        values.reserve(m_slots.size());
        for (const Slot& slot : m_slots)
            values.push_back(
                {m_allDays ? ChartDayOf(slot.label) : ChartMonthOf(slot.label), slot.value});
        chart.points = TimeSeries(values, !m_allDays, chart.unit);
        chart.shape =
            chart.points.size() > kMaxTimeBars ? ChartShape::TimeLine : ChartShape::TimeBars;
        chart.title += QStringLiteral(", by ") + ChartUnitText(chart.unit);
        return chart;
    }

    // The largest values, equal values in first-seen order: a heap of the best so far whose
    // front is the worst of them.
    const auto better = [this](qsizetype a, qsizetype b) {
        const double va = m_slots[size_t(a)].value, vb = m_slots[size_t(b)].value;
        return va != vb ? va > vb : a < b;
    };
    std::vector<qsizetype> top;
    top.reserve(kRankingBars + 1);
    for (qsizetype i = 0; i < qsizetype(m_slots.size()); ++i) {
        if (top.size() < size_t(kRankingBars)) {
            top.push_back(i);
            std::push_heap(top.begin(), top.end(), better);
        } else if (better(i, top.front())) {
            std::pop_heap(top.begin(), top.end(), better);
            top.back() = i;
            std::push_heap(top.begin(), top.end(), better);
        }
    }
    std::sort_heap(top.begin(), top.end(), better);
    chart.shape = ChartShape::RankingBars;
    for (const qsizetype i : top)
        chart.points.append(
            {QString::fromUtf8(m_slots[size_t(i)].label), m_slots[size_t(i)].value, QDate()});

    const qsizetype others = qsizetype(m_slots.size()) - qsizetype(top.size());
    if (others > 0) {
        std::vector<qsizetype> shown = top;
        std::sort(shown.begin(), shown.end());
        double rest = 0;
        auto next = shown.begin();
        for (qsizetype i = 0; i < qsizetype(m_slots.size()); ++i) {
            if (next != shown.end() && *next == i)
                ++next;
            else
                rest += m_slots[size_t(i)].value;
        }
        chart.others = others;
        chart.othersValue = rest;
        chart.subtitle = RankingSubtitle(others, rest, wholeValues, locale);
    }
    return chart;
}

QString RankingSubtitle(qsizetype others, double othersValue, bool wholeValues,
                        const QLocale& locale) {
    if (others <= 0)
        return QString();
    const QLocale numbers = Grouping(locale);
    return QStringLiteral("and %1 %2: %3")
        .arg(numbers.toString(others),
             others == 1 ? QStringLiteral("other") : QStringLiteral("others"),
             numbers.toString(othersValue, 'f', wholeValues ? 0 : 2));
}

ChartData TopPoints(const ChartData& chart, qsizetype count, const QLocale& locale) {
    if (chart.shape != ChartShape::RankingBars || count >= chart.points.size())
        return chart;
    ChartData top = chart;
    count = std::max<qsizetype>(count, 0);
    for (qsizetype i = count; i < chart.points.size(); ++i)
        top.othersValue += chart.points[i].value;
    top.others += chart.points.size() - count;
    top.points.resize(count);
    top.subtitle = RankingSubtitle(top.others, top.othersValue, top.wholeValues, locale);
    return top;
}
