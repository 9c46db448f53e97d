#include "viewfind.h"

namespace {
inline char16_t foldLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}
} // namespace

QString FoldAsciiLetters(const QString& text) {
    QString folded = text;
    for (QChar& c : folded)
        c = QChar(foldLetter(c.unicode()));
    return folded;
}

bool ContainsFolded(QStringView line, QStringView foldedPattern) {
    const qsizetype m = foldedPattern.size();
    if (m == 0)
        return true;
    const qsizetype last = line.size() - m;
    const char16_t* l = reinterpret_cast<const char16_t*>(line.data());
    const char16_t* p = reinterpret_cast<const char16_t*>(foldedPattern.data());
    const char16_t first = p[0];
    // Plain search without building a folded copy of every line: a find runs over all lines of
    // a large file at once.
    for (qsizetype i = 0; i <= last; ++i) {
        if (foldLetter(l[i]) != first)
            continue;
        qsizetype k = 1;
        while (k < m && foldLetter(l[i + k]) == p[k])
            ++k;
        if (k == m)
            return true;
    }
    return false;
}

FindResult FindNextLine(const QStringList& lines, qsizetype selected, const QString& findText) {
    const QString pattern = FoldAsciiLetters(findText);
    const qsizetype n = lines.size();
    if (pattern.isEmpty() || n <= 1)
        return {};
    const qsizetype start = (selected >= 0 && selected < n) ? selected : -1;
    qsizetype i = start;
    do {
        ++i;
        if (i == n) {
            i = 0;
            if (start == -1)
                return {FindResult::NoMatch, -1};
        }
        if (ContainsFolded(lines.at(i), pattern))
            return {FindResult::Found, i};
    } while (i != start);
    return {FindResult::NoMatch, -1};
}

qsizetype CountTournamentLines(const QStringList& lines) {
    qsizetype count = 0;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("Tournament="), Qt::CaseSensitive))
            ++count;
    return count;
}

qsizetype CenteredTopLine(qsizetype found, int viewHeight, int itemHeight) {
    if (itemHeight <= 0)
        return qMax<qsizetype>(0, found);
    return qMax<qsizetype>(0, found - (viewHeight / 2) / itemHeight);
}
