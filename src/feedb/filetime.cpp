#include "filetime.h"

#include <limits>

namespace {
constexpr qint64 kMost = std::numeric_limits<qint64>::max();
constexpr qint64 kLeast = std::numeric_limits<qint64>::min();
} // namespace

qint64 FileTimeNs(const struct timespec& time) {
    qint64 ns = 0;
    if (__builtin_mul_overflow(qint64(time.tv_sec), qint64(1000000000), &ns) ||
        __builtin_add_overflow(ns, qint64(time.tv_nsec), &ns))
        return time.tv_sec < 0 ? kLeast : kMost;
    return ns;
}

qint64 SaturatingDifference(qint64 a, qint64 b) {
    qint64 difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? kMost : kLeast;
    return difference;
}
