#include "packednames.h"

#include "filenames.h"

#include <cstring>

namespace {
constexpr qsizetype kBlockBytes = 64 * 1024;
}

void PackedNames::append(QByteArrayView name) {
    const qsizetype needed = name.size() + 1;
    if (m_blocks.empty() || m_used + needed > m_blockSize) {
        m_blockSize = std::max(kBlockBytes, needed);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size_t(m_blockSize)));
        m_used = 0;
    }
    char* const at = m_blocks.back().get() + m_used;
    std::memcpy(at, name.data(), size_t(name.size()));
    at[name.size()] = '\0';
    m_used += needed;
    m_names.push_back(at);
}

QString PackedNames::name(qsizetype i) const {
    return DecodeFileName(bytes(i).toByteArray());
}
