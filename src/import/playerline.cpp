#include "playerline.h"

namespace {

/// Whether a key of a player line equals name ignoring letter case; name is a lower-case ASCII
/// word of the key's length. ASCII letters compare with their case bit masked; a key with other
/// characters takes the full case folding.
bool keyIs(const char16_t* key, qsizetype length, const char16_t* name) {
    char16_t difference = 0;
    for (qsizetype i = 0; i < length; ++i)
        difference |= char16_t((key[i] | 0x20) ^ name[i]);
    if (difference == 0)
        return true;
    for (qsizetype i = 0; i < length; ++i)
        if (key[i] >= 0x80)
            return QStringView(key, length)
                       .compare(QStringView(name, length), Qt::CaseInsensitive) == 0;
    return false;
}

bool startsWithRemoved(const char16_t* token, qsizetype length) {
    static constexpr char16_t kRemoved[] = u"Removed";
    if (length < 7)
        return false;
    for (int i = 0; i < 7; ++i)
        if (token[i] != kRemoved[i])
            return false;
    return true;
}

} // namespace

PlayerLine ParsePlayerLine(QStringView line) {
    PlayerLine player;
    bool haveKo = false;
    bool haveAddOn = false;
    bool haveRebuys = false;
    const char16_t* const text = line.utf16();
    const qsizetype size = line.size();
    // Tokens are cut at every blank; each one's first "=" or ":" splits it into key and value.
    qsizetype start = 0;
    bool first = true;
    while (start <= size) {
        qsizetype end = start;
        while (end < size && text[end] != u' ' && text[end] != u'=' && text[end] != u':')
            ++end;
        const qsizetype sep = end < size && text[end] != u' ' ? end : -1;
        if (sep >= 0)
            while (end < size && text[end] != u' ')
                ++end;
        const qsizetype next = end + 1;
        if (first) {
            first = false;
            if (sep >= 0)
                player.rawName = line.sliced(sep + 1, end - sep - 1);
            start = next;
            continue;
        }
        // " Removed" anywhere in the line is a token after a blank that begins with "Removed".
        if (!player.removed && startsWithRemoved(text + start, end - start))
            player.removed = true;
        if (sep >= 0) {
            const qsizetype keyLength = sep - start;
            const QStringView value = line.sliced(sep + 1, end - sep - 1);
            if (keyLength == 2 && !haveKo && keyIs(text + start, 2, u"ko")) {
                player.ko = value;
                haveKo = true;
            } else if (keyLength == 5 && !haveAddOn && keyIs(text + start, 5, u"addon")) {
                player.addOn = value;
                haveAddOn = true;
            } else if (keyLength == 6 && !haveRebuys && keyIs(text + start, 6, u"rebuys")) {
                player.rebuys = value;
                haveRebuys = true;
            }
        }
        start = next;
    }
    return player;
}

QString PlayerName(QStringView rawName) {
    QString name = rawName.toString();
    name.replace(u':', u'=');
    return name;
}
