#include "windows1252.h"

#include <QStringEncoder>
#include <array>

namespace {
/// The byte of each character of the basic plane, asked of the converter the first time the
/// character is met: the converter writes 0x1A for a character it cannot map (and reports an
/// error), where our files want "?".
class ByteTable {
public:
    char byteFor(char16_t c) {
        qint16& known = m_bytes[c];
        if (known < 0)
            known = lookUp(c);
        return char(known);
    }

private:
    static qint16 lookUp(char16_t c) {
        if (QChar::isSurrogate(c))
            return '?';
        QStringEncoder encoder("windows-1252");
        const QByteArray bytes = encoder.encode(QStringView(&c, 1));
        if (encoder.hasError() || bytes.size() != 1)
            return '?';
        return qint16(quint8(bytes[0]));
    }

    std::array<qint16, 0x10000> m_bytes = [] {
        std::array<qint16, 0x10000> bytes;
        bytes.fill(-1);
        return bytes;
    }();
};

ByteTable& table() {
    static ByteTable instance;
    return instance;
}
} // namespace

qsizetype AppendWindows1252(QByteArray& out, QStringView text) {
    qsizetype lost = 0;
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* dest = out.data() + start;
    const char16_t* src = text.utf16();
    const char16_t* const end = src + text.size();
    while (src != end) {
        const char16_t c = *src++;
        if (c < 0x80) {
            *dest++ = char(c);
        } else if (QChar::isHighSurrogate(c) && src != end && QChar::isLowSurrogate(*src)) {
            ++src; // one code point, one "?"
            *dest++ = '?';
            ++lost;
        } else {
            const char b = table().byteFor(c);
            lost += b == '?';
            *dest++ = b;
        }
    }
    out.truncate(dest - out.data());
    return lost;
}

QByteArray ToWindows1252(QStringView text, qsizetype* lost) {
    QByteArray out;
    const qsizetype count = AppendWindows1252(out, text);
    if (lost)
        *lost += count;
    return out;
}
