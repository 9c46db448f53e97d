#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <vector>

/// Holds byte strings (the UTF-8 texts and the blobs of a result set) so that every distinct
/// value is kept once: a player name that fills a million cells costs its bytes once and four
/// bytes per cell. Ids are dense, starting at 0, in the order of first appearance.
class TextStore {
public:
    TextStore();

    /// The id of these bytes, storing them when they are new.
    quint32 intern(QByteArrayView bytes);
    /// The id of these bytes, or -1 when they are not stored.
    qint64 find(QByteArrayView bytes) const;
    QByteArrayView bytes(quint32 id) const;
    qsizetype size() const { return qsizetype(m_entries.size()); }
    void clear();

private:
    struct Entry {
        qsizetype offset;
        quint32 length;
        quint32 hash;
    };
    static quint32 hashOf(QByteArrayView bytes);
    qsizetype slotOf(QByteArrayView bytes, quint32 hash) const;
    void grow();

    std::vector<char> m_arena;
    std::vector<Entry> m_entries;
    std::vector<quint32> m_slots; ///< open addressing; 0 is empty, else id + 1
};
