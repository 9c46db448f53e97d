#pragma once

#include "growarray.h"

#include <QtGlobal>

#include <atomic>
#include <span>
#include <vector>

/// The 64-bit values of one result column (integers, the bit patterns of doubles, or text ids),
/// appended row by row and held in the most compact of three forms, chosen as they come:
/// - runs of equal values (value, end row), while runs are long on average (an ordered key such
///   as a tournament number repeated on each of its players' rows costs next to nothing);
/// - values below 65,536 in 16 bits each (text ids of a result with few distinct texts, small
///   numbers);
/// - a dictionary of up to 256 distinct values with an 8-bit code per row (fees, buy-ins:
///   columns of very few distinct values), then of up to 65,536 with a 16-bit code (dates);
/// - values below 2^32 in 32 bits each (text ids of a result with many distinct texts, such as
///   the players of a large Detail table; numbers of that size);
/// - plain 64-bit values.
/// A form gives way to the next once the values no longer suit it, so every column ends in the
/// smallest form its values allow without knowing them in advance.
class PackedValues {
public:
    PackedValues() = default;
    PackedValues(PackedValues&& other) noexcept;
    PackedValues& operator=(PackedValues&& other) noexcept;
    PackedValues(const PackedValues&) = delete;
    PackedValues& operator=(const PackedValues&) = delete;

    void push_back(quint64 value) {
        switch (m_form) {
        case Form::Runs:
            if (m_size > 0 && m_runValues[m_runValues.size() - 1] == value) {
                ++m_runEnds[m_runEnds.size() - 1];
                ++m_size;
                return;
            }
            pushRun(value);
            return;
        case Form::Small:
            if (value < kMaxCodes) {
                m_codes.push_back(quint16(value));
                ++m_size;
                return;
            }
            toWideOrPlain(value);
            push_back(value);
            return;
        case Form::Dict8:
        case Form::Dict:
            pushCode(value);
            return;
        case Form::Wide:
            if (value <= kMaxWide) {
                m_wide.push_back(quint32(value));
                ++m_size;
                return;
            }
            toPlain();
            push_back(value);
            return;
        case Form::Plain:
            m_plain.push_back(value);
            ++m_size;
            return;
        }
    }

    /// Appends n values, as many push_back calls would, in a loop made for the current form.
    void append(const quint64* values, size_t n);

    quint64 operator[](size_t row) const {
        switch (m_form) {
        case Form::Runs:
            return m_runValues[runOf(row)];
        case Form::Small:
            return m_codes[row];
        case Form::Dict8:
            return m_dict[m_bytes[row]];
        case Form::Dict:
            return m_dict[m_codes[row]];
        case Form::Wide:
            return m_wide[row];
        case Form::Plain:
            return m_plain[row];
        }
        return 0;
    }
    size_t size() const { return m_size; }

    /// Calls f(value, first row, row count) for each run of equal values, in row order.
    template <typename F> void forEachRun(F f) const;

    /// Drops what only appending needs (the dictionary's lookup table).
    void finish();

    enum class Form { Runs, Small, Dict8, Dict, Wide, Plain };
    Form form() const { return m_form; }
    /// In the runs form: the value of each run, and one past its last row.
    std::span<const quint64> runValues() const { return m_runValues; }
    std::span<const quint64> runEnds() const { return m_runEnds; }

private:
    static constexpr size_t kMaxCodes = 65536;
    static constexpr size_t kMaxByteCodes = 256;
    static constexpr quint64 kMaxWide = 0xFFFFFFFFu;

    void pushRun(quint64 value);
    void pushCode(quint64 value);
    size_t appendRuns(const quint64* values, size_t n);
    size_t appendSmall(const quint64* values, size_t n);
    size_t appendCodes(const quint64* values, size_t n);
    size_t appendByteCodes(const quint64* values, size_t n);
    /// From 8-bit to 16-bit codes, once the dictionary holds more than 256 values.
    void toDict16();
    size_t appendWide(const quint64* values, size_t n);
    void toDict();
    /// Leaves the small or dictionary form for the 32-bit form when the values so far and the
    /// next one fit it, else for the plain form.
    void toWideOrPlain(quint64 next);
    void toPlain();
    size_t runOf(size_t row) const;
    /// The code of a value found in its first slot of the dictionary's table (nearly always
    /// where it is); kMaxCodes otherwise.
    size_t firstSlotCode(quint64 value) const;
    /// The code of a value in the dictionary, adding it; kMaxCodes when the dictionary is full.
    size_t codeOf(quint64 value);
    void growTable();

    Form m_form = Form::Runs;
    size_t m_size = 0;
    GrowArray<quint64> m_runValues;
    GrowArray<quint64> m_runEnds;             ///< one past the last row of each run
    mutable std::atomic<size_t> m_lastRun{0}; ///< where the last lookup found its run
    std::vector<quint64> m_dict;
    std::vector<quint32> m_table; ///< open addressing: 0 empty, else code + 1
    // A value for each row: such arrays leave the heap only on their way to millions of rows.
    GrowArray<quint8> m_bytes;
    GrowArray<quint16> m_codes;
    GrowArray<quint32> m_wide;
    GrowArray<quint64> m_plain;
};

template <typename F> void PackedValues::forEachRun(F f) const {
    switch (m_form) {
    case Form::Runs: {
        size_t first = 0;
        for (size_t r = 0; r < m_runValues.size(); ++r) {
            f(m_runValues[r], first, m_runEnds[r] - first);
            first = m_runEnds[r];
        }
        return;
    }
    case Form::Small:
    case Form::Dict8:
    case Form::Dict:
    case Form::Wide:
    case Form::Plain: {
        size_t first = 0;
        while (first < m_size) {
            const quint64 value = (*this)[first];
            size_t end = first + 1;
            while (end < m_size && (*this)[end] == value)
                ++end;
            f(value, first, end - first);
            first = end;
        }
        return;
    }
    }
}
