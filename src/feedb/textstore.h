#pragma once

#include "growarray.h"

#include <QByteArrayView>
#include <QtGlobal>

#include <span>
#include <vector>

/// Holds byte strings (the UTF-8 texts and the blobs of a result set) so that every distinct
/// value is kept once: a player name that fills a million cells costs its bytes once and four
/// bytes per cell. Ids are dense, starting at 0, in the order of first appearance.
class TextStore {
public:
    TextStore();

    /// The id of these bytes, storing them when they are new.
    quint32 intern(QByteArrayView bytes);
    /// The ids of many values at once (ids[i] for values[i]), as intern gives them one by one.
    /// Once the table has outgrown the processor's cache, a lookup is two waits for memory (the
    /// slot, then the record); a batch starts the loads of all its lookups before it needs
    /// them, so the waits overlap.
    void internAll(std::span<const QByteArrayView> values, quint32* ids);
    /// The same for n values in one block: value i is the sizes[i] bytes at base + offsets[i].
    void internAll(const char* base, const quint64* offsets, const quint32* sizes, size_t n,
                   quint32* ids);
    /// The id of these bytes, or -1 when they are not stored.
    qint64 find(QByteArrayView bytes) const;
    QByteArrayView bytes(quint32 id) const;
    qsizetype size() const { return qsizetype(m_offsets.size()); }
    void clear();

private:
    static quint32 hashOf(QByteArrayView bytes);
    quint32 intern(QByteArrayView bytes, quint32 hash);
    qsizetype slotOf(QByteArrayView bytes, quint32 hash) const;
    template <typename ViewAt> void internEach(size_t n, ViewAt viewAt, quint32* ids);
    [[gnu::noinline]] quint32 insert(QByteArrayView bytes, quint32 hash, qsizetype slot);
    void grow();
    /// A table of this many empty slots.
    static GrowArray<quint64> emptySlots(size_t count);

    /// Records of [id: 4 bytes][length: 4 bytes][the bytes], one per distinct value. A lookup
    /// touches one slot and one record, so it stays quick when the table has left the cache.
    GrowArray<char> m_arena;
    GrowArray<quint32> m_offsets; ///< record offset by id
    /// Open addressing: 0 is empty, else the value's hash in the upper half and its record
    /// offset + 1 in the lower half, so a probe skips other values without reading their records.
    GrowArray<quint64> m_slots;
};
