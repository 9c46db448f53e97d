#include "packedvalues.h"

#include <algorithm>
#include <utility>

namespace {
/// Runs stay the form while they hold this many rows on average, once there are enough of
/// them to tell.
constexpr size_t kRowsPerRun = 4;
constexpr size_t kRunsToTell = 1024;

/// A slot for a value, mixed well enough in its low bits for the bit patterns of doubles, which
/// differ only in their upper bits (murmur3's finaliser).
size_t HashSlot(quint64 value, size_t mask) {
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdULL;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ULL;
    value ^= value >> 33;
    return size_t(value) & mask;
}
} // namespace

PackedValues::PackedValues(PackedValues&& other) noexcept {
    *this = std::move(other);
}

PackedValues& PackedValues::operator=(PackedValues&& other) noexcept {
    m_form = other.m_form;
    m_size = other.m_size;
    m_runValues = std::move(other.m_runValues);
    m_runEnds = std::move(other.m_runEnds);
    m_lastRun.store(0, std::memory_order_relaxed);
    m_dict = std::move(other.m_dict);
    m_table = std::move(other.m_table);
    m_bytes = std::move(other.m_bytes);
    m_codes = std::move(other.m_codes);
    m_wide = std::move(other.m_wide);
    m_plain = std::move(other.m_plain);
    other.m_form = Form::Runs;
    other.m_size = 0;
    return *this;
}

void PackedValues::pushRun(quint64 value) {
    if (m_runValues.size() >= kRunsToTell && m_runValues.size() * kRowsPerRun > m_size) {
        toDict();
        push_back(value);
        return;
    }
    m_runValues.push_back(value);
    m_runEnds.push_back(m_size + 1);
    ++m_size;
}

void PackedValues::pushCode(quint64 value) {
    const size_t code = codeOf(value);
    if (m_form == Form::Dict8) {
        if (code < kMaxByteCodes) {
            m_bytes.push_back(quint8(code));
            ++m_size;
            return;
        }
        toDict16();
    }
    if (code == kMaxCodes) {
        toWideOrPlain(value);
        push_back(value);
        return;
    }
    m_codes.push_back(quint16(code));
    ++m_size;
}

void PackedValues::append(const quint64* values, size_t n) {
    // Each loop stops where its form no longer suits the values; the rest goes on in the next.
    while (n > 0) {
        size_t done = 0;
        switch (m_form) {
        case Form::Runs:
            done = appendRuns(values, n);
            break;
        case Form::Small:
            done = appendSmall(values, n);
            break;
        case Form::Dict8:
            done = appendByteCodes(values, n);
            break;
        case Form::Dict:
            done = appendCodes(values, n);
            break;
        case Form::Wide:
            done = appendWide(values, n);
            break;
        case Form::Plain:
            std::copy(values, values + n, m_plain.reserveMore(n));
            m_plain.grown(n);
            m_size += n;
            done = n;
            break;
        }
        if (done == 0) { // the form changes with this value
            push_back(*values);
            done = 1;
        }
        values += done;
        n -= done;
    }
}

size_t PackedValues::appendRuns(const quint64* values, size_t n) {
    size_t i = 0;
    if (m_size > 0) {
        const quint64 last = m_runValues[m_runValues.size() - 1];
        while (i < n && values[i] == last)
            ++i;
        m_runEnds[m_runEnds.size() - 1] += i;
        m_size += i;
    }
    while (i < n) {
        if (m_runValues.size() >= kRunsToTell && m_runValues.size() * kRowsPerRun > m_size)
            return i; // no longer runs: push_back changes the form
        const quint64 value = values[i];
        size_t end = i + 1;
        while (end < n && values[end] == value)
            ++end;
        m_runValues.push_back(value);
        m_size += end - i;
        m_runEnds.push_back(m_size);
        i = end;
    }
    return n;
}

size_t PackedValues::appendSmall(const quint64* values, size_t n) {
    quint16* out = m_codes.reserveMore(n);
    size_t i = 0;
    for (; i < n && values[i] < kMaxCodes; ++i)
        out[i] = quint16(values[i]);
    m_codes.grown(i);
    m_size += i;
    return i;
}

size_t PackedValues::appendWide(const quint64* values, size_t n) {
    quint32* out = m_wide.reserveMore(n);
    size_t i = 0;
    for (; i < n && values[i] <= kMaxWide; ++i)
        out[i] = quint32(values[i]);
    m_wide.grown(i);
    m_size += i;
    return i;
}

size_t PackedValues::firstSlotCode(quint64 value) const {
    const quint32 entry = m_table[HashSlot(value, m_table.size() - 1)];
    return entry != 0 && m_dict[entry - 1] == value ? entry - 1 : kMaxCodes;
}

size_t PackedValues::appendCodes(const quint64* values, size_t n) {
    if (m_table.empty())
        return 0; // push_back makes the table
    quint16* out = m_codes.reserveMore(n);
    size_t i = 0;
    for (; i < n; ++i) {
        // The first slot holds the value nearly always: only a miss goes the long way.
        size_t code = firstSlotCode(values[i]);
        if (code == kMaxCodes && (code = codeOf(values[i])) == kMaxCodes)
            break;
        out[i] = quint16(code);
    }
    m_codes.grown(i);
    m_size += i;
    return i;
}

size_t PackedValues::appendByteCodes(const quint64* values, size_t n) {
    if (m_table.empty())
        return 0; // push_back makes the table
    quint8* out = m_bytes.reserveMore(n);
    size_t i = 0;
    for (; i < n; ++i) {
        const size_t code = firstSlotCode(values[i]);
        if (code == kMaxCodes)
            break; // a new value (or another in its first slot): push_back takes it
        out[i] = quint8(code);
    }
    m_bytes.grown(i);
    m_size += i;
    return i;
}

void PackedValues::toDict16() {
    GrowArray<quint8> bytes = std::move(m_bytes);
    m_bytes.clear();
    quint16* out = m_codes.reserveMore(bytes.size());
    std::copy(bytes.begin(), bytes.end(), out);
    m_codes.grown(bytes.size());
    m_form = Form::Dict;
}

size_t PackedValues::codeOf(quint64 value) {
    if (m_dict.size() * 4 >= m_table.size())
        growTable();
    const size_t mask = m_table.size() - 1;
    for (size_t slot = HashSlot(value, mask);; slot = (slot + 1) & mask) {
        const quint32 entry = m_table[slot];
        if (entry == 0) {
            if (m_dict.size() == kMaxCodes)
                return kMaxCodes;
            m_dict.push_back(value);
            m_table[slot] = quint32(m_dict.size());
            return m_dict.size() - 1;
        }
        if (m_dict[entry - 1] == value)
            return entry - 1;
    }
}

void PackedValues::growTable() {
    const size_t slots = std::max<size_t>(1024, m_table.size() * 2);
    m_table.assign(slots, 0);
    const size_t mask = slots - 1;
    for (size_t code = 0; code < m_dict.size(); ++code) {
        size_t slot = HashSlot(m_dict[code], mask);
        while (m_table[slot] != 0)
            slot = (slot + 1) & mask;
        m_table[slot] = quint32(code + 1);
    }
}

void PackedValues::toDict() {
    GrowArray<quint64> values = std::move(m_runValues);
    GrowArray<quint64> ends = std::move(m_runEnds);
    m_runValues.clear();
    m_runEnds.clear();
    const bool small =
        std::all_of(values.begin(), values.end(), [](quint64 v) { return v < kMaxCodes; });
    m_form = small ? Form::Small : Form::Dict8;
    m_size = 0;
    size_t row = 0;
    for (size_t r = 0; r < values.size(); ++r)
        for (; row < ends[r]; ++row)
            push_back(values[r]); // may go on to the plain form
}

void PackedValues::toWideOrPlain(quint64 next) {
    const bool fits = next <= kMaxWide && (m_form == Form::Small ||
                                           std::all_of(m_dict.begin(), m_dict.end(),
                                                       [](quint64 v) { return v <= kMaxWide; }));
    if (!fits) {
        toPlain();
        return;
    }
    GrowArray<quint16> codes = std::move(m_codes);
    m_codes.clear();
    quint32* out = m_wide.reserveMore(codes.size());
    for (size_t i = 0; i < codes.size(); ++i)
        out[i] = quint32(m_form == Form::Small ? codes[i] : m_dict[codes[i]]);
    m_wide.grown(codes.size());
    std::vector<quint64>().swap(m_dict);
    std::vector<quint32>().swap(m_table);
    m_form = Form::Wide;
}

void PackedValues::toPlain() {
    if (m_form == Form::Wide) {
        GrowArray<quint32> wide = std::move(m_wide);
        m_wide.clear();
        quint64* out = m_plain.reserveMore(wide.size());
        std::copy(wide.begin(), wide.end(), out);
        m_plain.grown(wide.size());
        m_form = Form::Plain;
        return;
    }
    GrowArray<quint16> codes = std::move(m_codes);
    m_codes.clear();
    for (const quint16 code : codes)
        m_plain.push_back(m_form == Form::Small ? code : m_dict[code]);
    std::vector<quint64>().swap(m_dict);
    std::vector<quint32>().swap(m_table);
    m_form = Form::Plain;
}

void PackedValues::finish() {
    std::vector<quint32>().swap(m_table);
}

size_t PackedValues::runOf(size_t row) const {
    // Rows are mostly read in order (a grid's paint, an export): the last run or the one after
    // it answers without a search.
    const size_t last = m_lastRun.load(std::memory_order_relaxed);
    const size_t runs = m_runEnds.size();
    if (last < runs && row < m_runEnds[last] && (last == 0 || row >= m_runEnds[last - 1]))
        return last;
    if (last + 1 < runs && row >= m_runEnds[last] && row < m_runEnds[last + 1]) {
        m_lastRun.store(last + 1, std::memory_order_relaxed);
        return last + 1;
    }
    const size_t run = size_t(std::upper_bound(m_runEnds.begin(), m_runEnds.end(), quint64(row)) -
                              m_runEnds.begin());
    m_lastRun.store(run, std::memory_order_relaxed);
    return run;
}
