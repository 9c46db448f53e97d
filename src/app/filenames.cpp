#include "filenames.h"

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(QChar c) {
    return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF;
}

/// The length of the valid UTF-8 sequence at bytes[i] and its code point; 0 when none starts
/// there (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short).
int ValidSequence(const QByteArray& bytes, qsizetype i, char32_t& point) {
    const auto byte = [&](qsizetype k) { return uchar(bytes[k]); };
    const uchar lead = byte(i);
    int length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, point = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, point = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, point = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (byte(i + k) & 0x3F);
    }
    if (point < min || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString DecodeFileName(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t point = 0;
        const int length = ValidSequence(bytes, i, point);
        if (length == 0) {
            name += QChar(char16_t(kEscapeBase + uchar(bytes[i])));
            ++i;
            continue;
        }
        if (point > 0xFFFF) {
            const char32_t rest = point - 0x10000;
            name += QChar(char16_t(0xD800 + (rest >> 10)));
            name += QChar(char16_t(0xDC00 + (rest & 0x3FF)));
        } else {
            name += QChar(char16_t(point));
        }
        i += length;
    }
    return name;
}

QByteArray EncodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        // A lone low surrogate: not the second half of a pair.
        if (IsEscape(name[i]) && (i == 0 || !name[i - 1].isHighSurrogate())) {
            bytes += QStringView(name).sliced(runStart, i - runStart).toUtf8();
            bytes += char(name[i].unicode() - kEscapeBase);
            runStart = i + 1;
        }
    }
    bytes += QStringView(name).sliced(runStart).toUtf8();
    return bytes;
}

QString DisplayFileName(const QString& name) {
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (IsEscape(shown[i]) && (i == 0 || !shown[i - 1].isHighSurrogate()))
            shown[i] = QChar::ReplacementCharacter;
    return shown;
}
