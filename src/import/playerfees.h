#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>
#include <vector>

/// The fees of one tournament's players: one entry per distinct name in order of first
/// occurrence. Names are merged ignoring letter case under the form first seen; a name may hold
/// "=" and stays whole. Each total behaves as the shortest general text with at most 15
/// significant digits that it is kept as, so 0.1 + 0.2 totals 0.3.
///
/// The names and their folded forms sit in two buffers that the list keeps from tournament to
/// tournament, so a player line costs no allocation of its own.
class PlayerFeeList {
public:
    void clear();
    /// Adds a fee to the entry of the player, making the entry when the name is new. rawName is
    /// the name as the line writes it, where ":" stands for "=".
    void add(QStringView rawName, double fee);

    qsizetype size() const { return qsizetype(m_entries.size()); }
    /// The name of an entry in UTF-8; valid until the list changes.
    QByteArrayView nameUtf8(qsizetype i) const;
    QString name(qsizetype i) const { return QString::fromUtf8(nameUtf8(i)); }
    double total(qsizetype i) const { return m_entries[size_t(i)].total; }

private:
    struct Entry {
        quint32 keyHash; // of the folded name, to rule out most names at once
        qsizetype keyStart;
        qsizetype keyLength;
        qsizetype nameStart;
        qsizetype nameLength;
        double total;
    };
    QStringView keyOf(const Entry& e) const;
    qsizetype find(QStringView key, quint32 hash) const;

    std::vector<Entry> m_entries;
    QString m_keys;     // the folded names, one after the other
    QByteArray m_names; // the names in UTF-8, one after the other
    /// Folded name -> entry, built once the list is too long to search one by one.
    QHash<QString, qsizetype> m_index;
};
