#include "playerfees.h"

#include "filenumbers.h"
#include "playerline.h"

#include <cstring>

namespace {
/// Up to this many players a tournament's list is searched entry by entry.
constexpr size_t kLinearSearch = 48;
} // namespace

void PlayerFeeList::clear() {
    m_entries.clear();
    m_keys.resize(0); // keeps the buffers
    m_names.resize(0);
    m_index.clear();
}

QByteArrayView PlayerFeeList::nameUtf8(qsizetype i) const {
    const Entry& e = m_entries[size_t(i)];
    return QByteArrayView(m_names.constData() + e.nameStart, e.nameLength);
}

QStringView PlayerFeeList::keyOf(const Entry& e) const {
    return QStringView(m_keys.constData() + e.keyStart, e.keyLength);
}

qsizetype PlayerFeeList::find(QStringView key, quint32 hash) const {
    if (m_entries.size() > kLinearSearch)
        return m_index.value(key.toString(), -1);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        if (e.keyHash == hash && e.keyLength == key.size() &&
            std::memcmp(m_keys.constData() + e.keyStart, key.data(),
                        size_t(key.size()) * sizeof(QChar)) == 0)
            return qsizetype(i);
    }
    return -1;
}

void PlayerFeeList::add(QStringView rawName, double fee) {
    // The folded name, with ":" read as "=", goes to the end of the key buffer, where it stays
    // when the name is new. Plain ASCII folds here; anything else takes the full folding.
    const qsizetype keyStart = m_keys.size();
    m_keys.resize(keyStart + rawName.size());
    char16_t* key = reinterpret_cast<char16_t*>(m_keys.data()) + keyStart;
    quint32 hash = 2166136261u; // FNV-1a
    bool ascii = true;
    for (qsizetype i = 0; i < rawName.size(); ++i) {
        char16_t c = rawName[i].unicode();
        if (c >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        else if (c == u':')
            c = u'=';
        key[i] = c;
        hash = (hash ^ c) * 16777619u;
    }
    if (!ascii) {
        const QString folded = PlayerName(rawName).toCaseFolded();
        m_keys.resize(keyStart);
        m_keys.append(folded);
        hash = 2166136261u;
        for (const QChar c : folded)
            hash = (hash ^ c.unicode()) * 16777619u;
    }
    const QStringView keyView(m_keys.constData() + keyStart, m_keys.size() - keyStart);

    const qsizetype found = find(keyView, hash);
    if (found >= 0) {
        m_keys.resize(keyStart);
        Entry& entry = m_entries[size_t(found)];
        entry.total = RoundGeneral15(entry.total + fee);
        return;
    }

    Entry entry{hash, keyStart, keyView.size(), m_names.size(), 0, RoundGeneral15(fee)};
    if (ascii) {
        const qsizetype at = m_names.size();
        m_names.resize(at + rawName.size());
        char* out = m_names.data() + at;
        for (qsizetype i = 0; i < rawName.size(); ++i) {
            const char c = char(rawName[i].unicode());
            out[i] = c == ':' ? '=' : c;
        }
    } else {
        m_names.append(PlayerName(rawName).toUtf8());
    }
    entry.nameLength = m_names.size() - entry.nameStart;
    m_entries.push_back(entry);

    if (m_entries.size() > kLinearSearch) {
        if (m_index.isEmpty()) {
            for (size_t i = 0; i < m_entries.size(); ++i)
                m_index.insert(keyOf(m_entries[i]).toString(), qsizetype(i));
        } else {
            m_index.insert(keyOf(m_entries.back()).toString(), size() - 1);
        }
    }
}
