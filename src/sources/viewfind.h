#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

/// The text with the letters A to Z turned into a to z; no other character changes.
QString FoldAsciiLetters(const QString& text);

/// Whether the line holds the pattern anywhere, the line's letters A to Z compared as a to z.
/// The pattern must be folded already (FoldAsciiLetters).
bool ContainsFolded(QStringView line, QStringView foldedPattern);

/// What a find-next gave: not run at all (empty find text, or fewer than two lines), no line
/// matched, or the line found.
struct FindResult {
    enum Outcome { NotRun, NoMatch, Found } outcome = NotRun;
    qsizetype line = -1;
};

/// The viewer's find-next: runs from the line after the selected one to the last line, then from
/// the first line up to and including the selected line itself; with no line selected
/// (selected = -1) once from the first line to the last, without wrapping.
FindResult FindNextLine(const QStringList& lines, qsizetype selected, const QString& findText);

/// The number of lines that begin with "Tournament=" at their first character (case-sensitive).
qsizetype CountTournamentLines(const QStringList& lines);

/// The top line that puts a found line near the middle of a list viewHeight pixels high:
/// found - (viewHeight / 2) / itemHeight, never less than 0.
qsizetype CenteredTopLine(qsizetype found, int viewHeight, int itemHeight);
