#pragma once

#include <QtGlobal>
#include <ctime>

/// A file time in nanoseconds since the epoch, held at the ends of qint64 instead of wrapping:
/// a time past April 2262 (a file dated 2300) is the largest number, one before 1677 the
/// smallest.
qint64 FileTimeNs(const struct timespec& time);

/// a - b, held at the ends of qint64 instead of wrapping.
qint64 SaturatingDifference(qint64 a, qint64 b);
