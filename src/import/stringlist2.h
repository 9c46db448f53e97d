#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "charscan.h"
#include "error.h"

/// A results file that cannot be read. The message names the file and the reason; reason() is
/// the reason alone: the system's text, "Not a regular file" (a FIFO, a device) or "Larger than
/// 256 MiB".
class ResultsFileError : public ZvError {
public:
    ResultsFileError(const QString& what, const QString& path, const QString& reason);
    const QString& reason() const noexcept { return m_reason; }

private:
    QString m_reason;
};

/// A line list that reads a results file the way the poker server writes it.
class TStringList2 : public QStringList {
public:
    using QStringList::QStringList;

    /// Replaces the lines with those of the file at path. The file is read whole, without any
    /// lock, so a file that the server still holds open for writing reads all the same.
    /// Encoding: a byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE), else Windows-1252 (the stand-in
    /// for the ANSI code page). A NUL ends the text; lines end at CR LF, CR or LF, and a final
    /// line break adds no empty line. Raises ResultsFileError when the file cannot be opened or
    /// read, is not a regular file, or is larger than 256 MiB.
    void LoadFromFile(const QString& path);

    /// Replaces the lines with those of the given file content (same rules as LoadFromFile).
    void SetFromBytes(const QByteArray& bytes);
};

/// The text of a results file's bytes: byte-order mark decides the encoding, else Windows-1252;
/// the text ends at the first NUL.
QString DecodeResultsText(const QByteArray& bytes);

/// Reads the text of a results file (whole, without a lock, encoding and NUL as LoadFromFile).
/// Raises ResultsFileError as LoadFromFile does.
QString ReadResultsText(const QString& path);

/// Calls lineFunction(QStringView) for every line of text: lines end at CR LF, lone CR and lone
/// LF; a break at the very end adds no line.
template <typename LineFunction>
void ForEachResultsLine(QStringView text, LineFunction&& lineFunction) {
    const char16_t* const data = text.utf16();
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size) {
        const qsizetype end = FindLineBreak(data, start, size);
        lineFunction(text.sliced(start, end - start));
        if (end == size)
            return;
        start = end + (data[end] == u'\r' && end + 1 < size && data[end + 1] == u'\n' ? 2 : 1);
    }
}

/// Cuts text into lines at CR LF, lone CR and lone LF; a break at the very end adds no line.
QStringList SplitResultsLines(const QString& text);
