#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

/// The fees of one tournament's players: one entry per distinct name in order of first
/// occurrence. Names are merged ignoring letter case under the form first seen; a name may hold
/// "=" and stays whole. Each total behaves as the shortest general text with at most 15
/// significant digits that it is kept as, so 0.1 + 0.2 totals 0.3.
class PlayerFeeList {
public:
    struct Entry {
        QString name;
        double total = 0;
    };

    void clear();
    /// Adds a fee to the entry of the name, making the entry when the name is new.
    void add(QStringView name, double fee);
    const QList<Entry>& entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_index; // case-folded name -> entry
};
