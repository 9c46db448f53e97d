#pragma once

#include <QString>
#include <QStringView>

/// A start or stop moment of a tournament, as the "Start=" and "Stop=" lines give it.
struct ResultsMoment {
    qint64 day = 0;    // days since 0001-01-01
    qint32 second = 0; // second of the day

    /// Reads a date (year in characters 1 to 4, month 6 to 7, day 9 to 10) and a time (hour 1 to
    /// 2, minute 4 to 5, second 7 to 8); the separators are not examined. Raises
    /// "'%s' is not a valid integer value" for a field that is not an integer and
    /// "'%s' is not a valid date and time" (date and time joined by a blank) for fields that make
    /// no valid moment.
    static ResultsMoment FromText(QStringView date, QStringView time);
};

/// The whole seconds between two moments, whichever comes first.
qint64 SecondsBetween(const ResultsMoment& a, const ResultsMoment& b);
