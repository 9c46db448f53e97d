#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <vector>

/// File names held as their bytes, one after the other in one buffer, each ended by a NUL (a
/// file name holds none): a folder of 500,000 names costs the bytes of the names and one offset
/// each, not 500,000 strings.
class PackedNames {
public:
    /// Adds a name; its bytes as the system gives them.
    void append(QByteArrayView name);
    qsizetype size() const { return qsizetype(m_starts.size()); }
    bool isEmpty() const { return m_starts.empty(); }
    QByteArrayView bytes(qsizetype i) const {
        return QByteArrayView(m_bytes.constData() + m_starts[size_t(i)]);
    }
    /// The name as DecodeFileName gives it.
    QString name(qsizetype i) const;

    /// Puts the names in the order of before(QByteArrayView, QByteArrayView), a strict weak order.
    template <typename Before> void sort(Before before) {
        std::sort(m_starts.begin(), m_starts.end(), [&](qsizetype a, qsizetype b) {
            return before(QByteArrayView(m_bytes.constData() + a),
                          QByteArrayView(m_bytes.constData() + b));
        });
    }
    /// Keeps the names for which keep(QByteArrayView) is true, in their order.
    template <typename Keep> void keepOnly(Keep keep) {
        std::erase_if(m_starts, [&](qsizetype start) {
            return !keep(QByteArrayView(m_bytes.constData() + start));
        });
    }

private:
    QByteArray m_bytes;
    std::vector<qsizetype> m_starts;
};
