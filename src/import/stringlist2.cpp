#include "stringlist2.h"

#include "error.h"
#include "filedescriptor.h"
#include "filenames.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool startsWithBytes(const QByteArray& bytes, std::initializer_list<unsigned char> mark) {
    if (bytes.size() < qsizetype(mark.size()))
        return false;
    qsizetype i = 0;
    for (unsigned char b : mark)
        if (static_cast<unsigned char>(bytes[i++]) != b)
            return false;
    return true;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    // The mark is already cut off; a second one is text, as the server wrote it.
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

/// Windows-1252 as the system's decoder reads it. Bytes 00-7F and A0-FF are the characters of
/// the same code (checked when the table is built), so a Latin-1 decoding, which is fast, needs
/// only bytes 80-9F put right from the table.
struct AnsiTable {
    bool usable = false;
    char16_t high[32] = {}; // bytes 80-9F

    AnsiTable() {
        QStringDecoder decoder("windows-1252");
        if (!decoder.isValid())
            return;
        QByteArray all(256, Qt::Uninitialized);
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        const QString text = decoder.decode(all);
        if (decoder.hasError() || text.size() != 256)
            return;
        for (int b = 0; b < 256; ++b) {
            if (b >= 0x80 && b < 0xA0)
                high[b - 0x80] = text[b].unicode();
            else if (text[b].unicode() != b)
                return;
        }
        usable = true;
    }
};

/// Whether any byte lies in 80-9F, eight bytes at a time: most files have none.
bool hasBytes80To9F(QByteArrayView bytes) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const char* data = bytes.data();
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        // A byte b is in 80-9F when b & E0 is 80: XOR with 80 makes that byte zero.
        const std::uint64_t x = (word & (kHigh | kHigh >> 1 | kHigh >> 2)) ^ kHigh;
        if (((x - kOnes) & ~x & kHigh) != 0)
            return true;
    }
    for (; i < bytes.size(); ++i)
        if ((static_cast<unsigned char>(data[i]) & 0xE0) == 0x80)
            return true;
    return false;
}

QString decodeAnsi(QByteArrayView bytes) {
    static const AnsiTable table;
    if (!table.usable) {
        QStringDecoder decoder("windows-1252", QStringConverter::Flag::ConvertInitialBom);
        if (decoder.isValid())
            return decoder.decode(bytes);
        return QString::fromLatin1(bytes); // a Qt without ICU: the closest single-byte reading
    }
    QString text = QString::fromLatin1(bytes);
    if (!hasBytes80To9F(bytes))
        return text;
    const unsigned char* const data = reinterpret_cast<const unsigned char*>(bytes.data());
    char16_t* const out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if ((data[i] & 0xE0) == 0x80)
            out[i] = table.high[data[i] - 0x80];
    return text;
}

} // namespace

QString DecodeResultsText(const QByteArray& bytes) {
    QString text;
    if (startsWithBytes(bytes, {0xEF, 0xBB, 0xBF}))
        text = decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3));
    else if (startsWithBytes(bytes, {0xFF, 0xFE}))
        text = decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    else if (startsWithBytes(bytes, {0xFE, 0xFF}))
        text = decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    else
        text = decodeAnsi(bytes);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

QStringList SplitResultsLines(const QString& text) {
    QStringList lines;
    ForEachResultsLine(text, [&lines](QStringView line) { lines.append(line.toString()); });
    return lines;
}

void TStringList2::SetFromBytes(const QByteArray& bytes) {
    QStringList::operator=(SplitResultsLines(DecodeResultsText(bytes)));
}

ResultsFileError::ResultsFileError(const QString& what, const QString& path, const QString& reason)
    : ZvError(QStringLiteral("%1 \"%2\". %3").arg(what, path, reason)), m_reason(reason) {}

namespace {

/// The largest results file that is read: a real one holds a few hundred kilobytes at most.
constexpr qint64 kMaxFileBytes = qint64(256) << 20;

[[noreturn]] void raiseFileError(const char* what, const QString& path, const QString& reason) {
    throw ResultsFileError(QLatin1StringView(what), path, reason);
}

[[noreturn]] void raiseSystemError(const char* what, const QString& path, int error) {
    raiseFileError(what, path, QString::fromLocal8Bit(std::strerror(error)));
}

/// Refuses what is not a regular file (a folder, a FIFO, a device) and what is larger than a
/// results file can be.
void requireReadable(const struct stat& info, const QString& path) {
    if (S_ISDIR(info.st_mode))
        raiseSystemError("Cannot open file", path, EISDIR);
    if (!S_ISREG(info.st_mode))
        raiseFileError("Cannot open file", path, QStringLiteral("Not a regular file"));
    if (info.st_size > kMaxFileBytes)
        raiseFileError("Cannot read file", path, QStringLiteral("Larger than 256 MiB"));
}

/// The whole content of a file. A plain read-only open takes no lock: a writer holding the file
/// open (even with an advisory lock) does not keep us out. Only a regular file is opened, and
/// without blocking: the entry may change between the look and the open, and opening a FIFO
/// would wait for a writer for ever. Straight system calls: an import run opens thousands of
/// small files, and each saved call counts.
QByteArray readWholeFile(const QString& path) {
    const QByteArray name = EncodeFileName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) // follows links, as the open does
        raiseSystemError("Cannot open file", path, errno);
    requireReadable(info, path);
    // The one owner of the descriptor: every way out, a failed allocation too, closes it.
    const FileDescriptor file(
        ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen())
        raiseSystemError("Cannot open file", path, errno);
    if (::fstat(file.get(), &info) != 0)
        raiseSystemError("Cannot open file", path, errno);
    requireReadable(info, path);
    // The size is a hint only: the file may grow while the server writes it, but never past
    // the bound.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > kMaxFileBytes)
                raiseFileError("Cannot read file", path, QStringLiteral("Larger than 256 MiB"));
            bytes.resize(qsizetype(std::min(qint64(bytes.size()) * 2 + 4096, kMaxFileBytes + 1)));
        }
        const ssize_t n = ::read(file.get(), bytes.data() + used, size_t(bytes.size() - used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            raiseSystemError("Cannot read file", path, errno);
        if (n == 0)
            break;
        used += n;
    }
    bytes.truncate(used);
    return bytes;
}

} // namespace

QString ReadResultsText(const QString& path) {
    return DecodeResultsText(readWholeFile(path));
}

void TStringList2::LoadFromFile(const QString& path) {
    QStringList::operator=(SplitResultsLines(ReadResultsText(path)));
}
