#include "textstore.h"

#include "error.h"

#include <QHashFunctions>

#include <cstring>
#include <limits>

namespace {
constexpr qsizetype kInitialSlots = 1024;
}

TextStore::TextStore() {
    clear();
}

void TextStore::clear() {
    std::vector<char>().swap(m_arena);
    std::vector<Entry>().swap(m_entries);
    m_slots.assign(kInitialSlots, 0);
}

quint32 TextStore::hashOf(QByteArrayView bytes) {
    return quint32(qHashBits(bytes.data(), size_t(bytes.size()), 0));
}

qsizetype TextStore::slotOf(QByteArrayView bytes, quint32 hash) const {
    const qsizetype mask = qsizetype(m_slots.size()) - 1;
    qsizetype slot = qsizetype(hash) & mask;
    for (;;) {
        const quint32 held = m_slots[size_t(slot)];
        if (held == 0)
            return slot;
        const Entry& e = m_entries[held - 1];
        if (e.hash == hash && e.length == quint32(bytes.size()) &&
            (e.length == 0 || std::memcmp(m_arena.data() + e.offset, bytes.data(), e.length) == 0))
            return slot;
        slot = (slot + 1) & mask;
    }
}

quint32 TextStore::intern(QByteArrayView bytes) {
    const quint32 hash = hashOf(bytes);
    const qsizetype slot = slotOf(bytes, hash);
    if (m_slots[size_t(slot)] != 0)
        return m_slots[size_t(slot)] - 1;
    if (m_entries.size() >= std::numeric_limits<quint32>::max() - 1 ||
        bytes.size() > std::numeric_limits<quint32>::max())
        throw ZvError(QStringLiteral("Too many distinct values in one result"));
    const auto id = quint32(m_entries.size());
    m_entries.push_back({qsizetype(m_arena.size()), quint32(bytes.size()), hash});
    m_arena.insert(m_arena.end(), bytes.data(), bytes.data() + bytes.size());
    m_slots[size_t(slot)] = id + 1;
    if (m_entries.size() * 2 > m_slots.size())
        grow();
    return id;
}

qint64 TextStore::find(QByteArrayView bytes) const {
    const quint32 held = m_slots[size_t(slotOf(bytes, hashOf(bytes)))];
    return held == 0 ? -1 : qint64(held) - 1;
}

QByteArrayView TextStore::bytes(quint32 id) const {
    const Entry& e = m_entries[id];
    return QByteArrayView(m_arena.data() + e.offset, e.length);
}

void TextStore::grow() {
    std::vector<quint32> slots(m_slots.size() * 2, 0);
    const qsizetype mask = qsizetype(slots.size()) - 1;
    for (size_t id = 0; id < m_entries.size(); ++id) {
        qsizetype slot = qsizetype(m_entries[id].hash) & mask;
        while (slots[size_t(slot)] != 0)
            slot = (slot + 1) & mask;
        slots[size_t(slot)] = quint32(id + 1);
    }
    m_slots.swap(slots);
}
