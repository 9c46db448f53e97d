#include "playerline.h"

namespace {

qsizetype separatorIn(QStringView token) {
    for (qsizetype i = 0; i < token.size(); ++i)
        if (token[i] == u'=' || token[i] == u':')
            return i;
    return -1;
}

} // namespace

PlayerLine ParsePlayerLine(QStringView line) {
    PlayerLine player;
    player.removed = line.contains(u" Removed");
    bool haveKo = false;
    bool haveAddOn = false;
    bool haveRebuys = false;
    qsizetype start = 0;
    bool first = true;
    while (start <= line.size()) {
        qsizetype end = line.indexOf(u' ', start);
        if (end < 0)
            end = line.size();
        const QStringView token = line.sliced(start, end - start);
        start = end + 1;
        const qsizetype sep = separatorIn(token);
        if (first) {
            first = false;
            if (sep >= 0) {
                player.name = token.sliced(sep + 1).toString();
                player.name.replace(u':', u'=');
            }
            continue;
        }
        if (sep < 0)
            continue;
        const QStringView key = token.first(sep);
        const QStringView value = token.sliced(sep + 1);
        if (!haveKo && key.compare(u"KO", Qt::CaseInsensitive) == 0) {
            player.ko = value;
            haveKo = true;
        } else if (!haveAddOn && key.compare(u"AddOn", Qt::CaseInsensitive) == 0) {
            player.addOn = value;
            haveAddOn = true;
        } else if (!haveRebuys && key.compare(u"Rebuys", Qt::CaseInsensitive) == 0) {
            player.rebuys = value;
            haveRebuys = true;
        }
    }
    return player;
}
