#include "playerfees.h"

#include "filenumbers.h"

void PlayerFeeList::clear() {
    m_entries.clear();
    m_index.clear();
}

void PlayerFeeList::add(QStringView name, double fee) {
    QString key = name.toString().toCaseFolded();
    const auto found = m_index.constFind(key);
    if (found == m_index.cend()) {
        m_index.insert(std::move(key), m_entries.size());
        m_entries.append({name.toString(), RoundGeneral15(fee)});
        return;
    }
    Entry& entry = m_entries[*found];
    entry.total = RoundGeneral15(entry.total + fee);
}
