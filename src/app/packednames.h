#pragma once

#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <memory>
#include <vector>

/// File names held as their bytes, one after the other in blocks of 64 KiB, each ended by a NUL
/// (a file name holds none): a folder of 500,000 names costs the bytes of the names and a pointer
/// each, not 500,000 strings. A block is never moved once made, so the list grows without copying
/// what it holds (a buffer that doubles would hold its old and new copies at once).
class PackedNames {
public:
    PackedNames() = default;
    PackedNames(PackedNames&&) noexcept = default;
    PackedNames& operator=(PackedNames&&) noexcept = default;

    /// Adds a name; its bytes as the system gives them.
    void append(QByteArrayView name);
    qsizetype size() const { return qsizetype(m_names.size()); }
    bool isEmpty() const { return m_names.empty(); }
    QByteArrayView bytes(qsizetype i) const { return QByteArrayView(m_names[size_t(i)]); }
    /// The name as DecodeFileName gives it.
    QString name(qsizetype i) const;

    /// Puts the names in the order of before(QByteArrayView, QByteArrayView), a strict weak order.
    template <typename Before> void sort(Before before) {
        std::sort(m_names.begin(), m_names.end(), [&](const char* a, const char* b) {
            return before(QByteArrayView(a), QByteArrayView(b));
        });
    }
    /// Keeps the names for which keep(QByteArrayView) is true, in their order.
    template <typename Keep> void keepOnly(Keep keep) {
        std::erase_if(m_names, [&](const char* name) { return !keep(QByteArrayView(name)); });
    }

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    qsizetype m_blockSize = 0; ///< of the last block
    qsizetype m_used = 0;      ///< bytes taken of the last block
    std::vector<const char*> m_names;
};
