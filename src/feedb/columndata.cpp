#include "columndata.h"

#include <algorithm>
#include <bit>

double ColumnData::real(qsizetype row) const {
    if (const OwnValue* odd = own.empty() ? nullptr : ownValue(row))
        return odd->real;
    return std::bit_cast<double>(values[size_t(row)]);
}

quint32 ColumnData::id(qsizetype row) const {
    if (const OwnValue* odd = own.empty() ? nullptr : ownValue(row))
        return odd->id;
    return quint32(values[size_t(row)]);
}

const OwnValue* ColumnData::ownValue(qsizetype row) const {
    if (!own.test(row))
        return nullptr;
    const auto it = std::lower_bound(owns.begin(), owns.end(), row,
                                     [](const OwnValue& v, qsizetype r) { return v.row < r; });
    return &*it;
}
