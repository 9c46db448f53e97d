#include "packednames.h"

#include "filenames.h"

void PackedNames::append(QByteArrayView name) {
    m_starts.push_back(m_bytes.size());
    m_bytes.append(name);
    m_bytes.append('\0');
}

QString PackedNames::name(qsizetype i) const {
    return DecodeFileName(bytes(i).toByteArray());
}
