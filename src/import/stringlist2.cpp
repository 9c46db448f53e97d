#include "stringlist2.h"

#include "error.h"

#include <QFile>
#include <QStringDecoder>

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

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    // The mark is already cut off; a second one is text, as the server wrote it.
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QString decodeAnsi(QByteArrayView bytes) {
    // Plain ASCII reads the same in every single-byte code page; Latin-1 decoding is the fast way.
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder("windows-1252", QStringConverter::Flag::ConvertInitialBom);
    if (!decoder.isValid()) // a Qt without ICU: Latin-1 is the closest single-byte reading
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
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
    const QChar* const begin = text.constData();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = begin[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(QString(begin + start, i - start));
        if (c == u'\r' && i + 1 < size && begin[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(QString(begin + start, size - start));
    return lines;
}

void TStringList2::SetFromBytes(const QByteArray& bytes) {
    QStringList::operator=(SplitResultsLines(DecodeResultsText(bytes)));
}

void TStringList2::LoadFromFile(const QString& path) {
    // A plain read-only open takes no lock on Linux: a writer holding the file open (even with an
    // advisory lock) does not keep us out.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ZvError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ZvError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    SetFromBytes(bytes);
}
