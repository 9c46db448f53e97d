#include "textstore.h"

#include "error.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
constexpr qsizetype kInitialSlots = 1024;
/// The slots of 2 MiB. Up to this size the table is kept at most a quarter full, which shortens
/// the probes for at most 1 MiB more; beyond it, at most half full.
constexpr size_t kSparseSlots = 2 * 1024 * 1024 / sizeof(quint64);
} // namespace

TextStore::TextStore() {
    clear();
}

namespace {
quint64 Load8(const char* p) {
    quint64 word;
    std::memcpy(&word, p, 8);
    return word;
}

quint64 Load4(const char* p) {
    quint32 word;
    std::memcpy(&word, p, 4);
    return word;
}

/// The bytes of a string of at most 8 bytes as one word that tells it from any other string of
/// that length: two overlapping 4-byte loads, or the first, middle and last byte of a shorter
/// one. Fixed-size loads and a branch that a column of similar texts predicts well cost far less
/// than a copy of a varying size. An empty value may come without any bytes at all (SQLite gives
/// a null pointer for an empty blob).
[[gnu::always_inline]] inline quint64 LoadShort(const char* p, qsizetype n) {
    if (n >= 4)
        return Load4(p) | (Load4(p + n - 4) << 32);
    if (n == 0)
        return 0;
    const auto byte = [p](qsizetype i) { return quint64(static_cast<unsigned char>(p[i])); };
    return byte(0) | (byte(n / 2) << 8) | (byte(n - 1) << 16);
}

quint64 Mix(quint64 h) {
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return h;
}

/// Equal bytes, for the short texts that fill most cells without a library call.
[[gnu::always_inline]] inline bool SameBytes(const char* a, const char* b, qsizetype n) {
    if (n <= 8)
        return LoadShort(a, n) == LoadShort(b, n);
    if (n <= 16)
        return Load8(a) == Load8(b) && Load8(a + n - 8) == Load8(b + n - 8);
    return std::memcmp(a, b, size_t(n)) == 0;
}
} // namespace

/// A fast hash of short byte strings (names, dates): it runs once per text cell, so it must cost
/// little more than reading the cell. Up to 16 bytes take two loads and two multiplications.
[[gnu::always_inline]] inline quint32 TextStore::hashOf(QByteArrayView bytes) {
    constexpr quint64 k1 = 0x9E3779B97F4A7C15ull;
    constexpr quint64 k2 = 0xBF58476D1CE4E5B9ull;
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    quint64 h = quint64(n) * k1;
    if (n <= 8)
        return quint32(Mix(h ^ (LoadShort(p, n) * k2)));
    if (n <= 16)
        return quint32(Mix(h ^ (Load8(p) * k2) ^ (Load8(p + n - 8) * k1)));
    for (qsizetype i = 0; i + 8 <= n; i += 8)
        h = Mix(h ^ (Load8(p + i) * k2));
    return quint32(Mix(h ^ (Load8(p + n - 8) * k1)));
}

[[gnu::always_inline]] inline qsizetype TextStore::slotOf(QByteArrayView bytes,
                                                          quint32 hash) const {
    const qsizetype mask = qsizetype(m_slots.size()) - 1;
    qsizetype slot = qsizetype(hash) & mask;
    for (;;) {
        const quint64 held = m_slots[size_t(slot)];
        if (held == 0)
            return slot;
        if (quint32(held >> 32) == hash) {
            const char* record = m_arena.data() + (quint32(held) - 1);
            quint32 length;
            std::memcpy(&length, record + 4, 4);
            if (length == quint32(bytes.size()) && SameBytes(record + 8, bytes.data(), length))
                return slot;
        }
        slot = (slot + 1) & mask;
    }
}

quint32 TextStore::intern(QByteArrayView bytes) {
    return intern(bytes, hashOf(bytes));
}

template <typename ViewAt> void TextStore::internEach(size_t n, ViewAt viewAt, quint32* ids) {
    // A pipeline over the values: the slot of a value is fetched kSlotAhead values before its
    // record, and its record kRecordAhead values before it is interned, so that the waits for
    // memory overlap with the work on the values in between.
    constexpr size_t kRecordAhead = 4;
    constexpr size_t kSlotAhead = 4;
    constexpr size_t kRing = 16; // > kRecordAhead + kSlotAhead, a power of two
    quint32 hashes[kRing];
    for (size_t i = 0; i < n + kSlotAhead + kRecordAhead; ++i) {
        const size_t mask = m_slots.size() - 1; // interning may grow the table
        if (i < n) {
            hashes[i % kRing] = hashOf(viewAt(i));
            __builtin_prefetch(&m_slots[hashes[i % kRing] & mask]);
        }
        if (i >= kSlotAhead && i - kSlotAhead < n) {
            const quint32 hash = hashes[(i - kSlotAhead) % kRing];
            const quint64 held = m_slots[hash & mask];
            if (held != 0 && quint32(held >> 32) == hash)
                __builtin_prefetch(m_arena.data() + (quint32(held) - 1));
        }
        if (i >= kSlotAhead + kRecordAhead) {
            const size_t j = i - kSlotAhead - kRecordAhead;
            ids[j] = intern(viewAt(j), hashes[j % kRing]);
        }
    }
}

void TextStore::internAll(std::span<const QByteArrayView> values, quint32* ids) {
    internEach(
        values.size(), [values](size_t i) { return values[i]; }, ids);
}

void TextStore::internAll(const char* base, const quint64* offsets, const quint32* sizes, size_t n,
                          quint32* ids) {
    internEach(
        n, [=](size_t i) { return QByteArrayView(base + offsets[i], qsizetype(sizes[i])); }, ids);
}

[[gnu::always_inline]] inline quint32 TextStore::intern(QByteArrayView bytes, quint32 hash) {
    const qsizetype slot = slotOf(bytes, hash);
    if (const quint64 held = m_slots[size_t(slot)]) {
        quint32 id;
        std::memcpy(&id, m_arena.data() + (quint32(held) - 1), 4);
        return id;
    }
    return insert(bytes, hash, slot);
}

/// Stores new bytes in the empty slot their lookup ended at.
quint32 TextStore::insert(QByteArrayView bytes, quint32 hash, qsizetype slot) {
    const size_t offset = m_arena.size();
    if (m_offsets.size() >= std::numeric_limits<quint32>::max() - 1 ||
        offset + 8 + size_t(bytes.size()) >= std::numeric_limits<quint32>::max())
        throw ZvError(QStringLiteral("Too many distinct texts in one result"));
    const auto id = quint32(m_offsets.size());
    const auto length = quint32(bytes.size());
    char* record = m_arena.reserveMore(8 + length);
    std::memcpy(record, &id, 4);
    std::memcpy(record + 4, &length, 4);
    if (length > 0)
        std::memcpy(record + 8, bytes.data(), length);
    m_arena.grown(8 + length);
    m_offsets.push_back(quint32(offset));
    m_slots[size_t(slot)] = (quint64(hash) << 32) | (offset + 1);
    if (m_offsets.size() * (m_slots.size() <= kSparseSlots ? 4 : 2) > m_slots.size())
        grow();
    return id;
}

qint64 TextStore::find(QByteArrayView bytes) const {
    const quint64 held = m_slots[size_t(slotOf(bytes, hashOf(bytes)))];
    if (held == 0)
        return -1;
    quint32 id;
    std::memcpy(&id, m_arena.data() + (quint32(held) - 1), 4);
    return id;
}

QByteArrayView TextStore::bytes(quint32 id) const {
    const char* record = m_arena.data() + m_offsets[id];
    quint32 length;
    std::memcpy(&length, record + 4, 4);
    return QByteArrayView(record + 8, length);
}

void TextStore::clear() {
    m_arena.clear();
    m_offsets.clear();
    m_slots = emptySlots(kInitialSlots);
}

GrowArray<quint64> TextStore::emptySlots(size_t count) {
    GrowArray<quint64> slots;
    std::memset(slots.reserveMore(count), 0, count * sizeof(quint64));
    slots.grown(count);
    return slots;
}

void TextStore::grow() {
    GrowArray<quint64> slots = emptySlots(m_slots.size() * 2);
    const qsizetype mask = qsizetype(slots.size()) - 1;
    for (const quint64 held : m_slots) {
        if (held == 0)
            continue;
        qsizetype slot = qsizetype(held >> 32) & mask;
        while (slots[size_t(slot)] != 0)
            slot = (slot + 1) & mask;
        slots[size_t(slot)] = held;
    }
    m_slots.swap(slots);
}
