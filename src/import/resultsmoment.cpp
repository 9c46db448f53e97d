#include "resultsmoment.h"

#include "error.h"
#include "filenumbers.h"

namespace {

qint32 field(QStringView text, qsizetype position, qsizetype length) {
    const QStringView part = text.mid(position, length);
    const std::optional<qint32> value = ParseFileInteger(part);
    if (!value)
        throw ZvError(QStringLiteral("'%1' is not a valid integer value").arg(part.toString()));
    return *value;
}

bool isLeapYear(qint64 year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(qint64 year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

/// Days from 0001-01-01 in the proleptic Gregorian calendar.
qint64 dayNumber(qint64 year, int month, int day) {
    const qint64 y = year - 1;
    qint64 days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        days += daysInMonth(year, m);
    return days + day - 1;
}

} // namespace

ResultsMoment ResultsMoment::FromText(QStringView date, QStringView time) {
    const qint32 year = field(date, 0, 4);
    const qint32 month = field(date, 5, 2);
    const qint32 day = field(date, 8, 2);
    const qint32 hour = field(time, 0, 2);
    const qint32 minute = field(time, 3, 2);
    const qint32 second = field(time, 6, 2);
    const bool valid = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                       day <= daysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
                       minute <= 59 && second >= 0 && second <= 59;
    if (!valid)
        throw ZvError(QStringLiteral("'%1 %2' is not a valid date and time")
                          .arg(date.toString(), time.toString()));
    return {dayNumber(year, month, day), hour * 3600 + minute * 60 + second};
}

qint64 SecondsBetween(const ResultsMoment& a, const ResultsMoment& b) {
    const qint64 difference = (b.day - a.day) * 86400 + (b.second - a.second);
    return difference < 0 ? -difference : difference;
}
