#include "resultsfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

QMap<QString, QString> DecodeFormBody(const QByteArray& body) {
    const auto decode = [](const QByteArray& text) {
        QByteArray bytes;
        bytes.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = text.at(i);
            if (c == '+') {
                bytes += ' ';
            } else if (c == '%' && i + 2 < text.size()) {
                bool ok = false;
                const int byte = text.mid(i + 1, 2).toInt(&ok, 16);
                if (ok) {
                    bytes += char(byte);
                    i += 2;
                } else {
                    bytes += c;
                }
            } else {
                bytes += c;
            }
        }
        return QString::fromUtf8(bytes);
    };
    QMap<QString, QString> fields;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        const QString name = decode(eq < 0 ? pair : pair.left(eq));
        if (!fields.contains(name))
            fields.insert(name, eq < 0 ? QString() : decode(pair.mid(eq + 1)));
    }
    return fields;
}

QList<QString> ReadResultsLines(const QByteArray& bytes) {
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(bytes.mid(3));
    else if (bytes.startsWith("\xFF\xFE"))
        text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    else if (bytes.startsWith("\xFE\xFF"))
        text = QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    else
        text = QStringDecoder("windows-1252").decode(bytes);
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);

    QList<QString> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

ResultsFolder::ResultsFolder(QString folder, QString password)
    : m_folder(std::move(folder)), m_password(std::move(password)) {}

QList<ServedResult> ResultsFolder::results() const {
    QDir dir(m_folder);
    dir.setNameFilters({u"TR*.txt"_s});
    dir.setFilter(QDir::Files | QDir::CaseSensitive);
    dir.setSorting(QDir::Name);
    QList<ServedResult> results;
    for (const QString& file : dir.entryList()) {
        // "TR" + date + " " + name + ".txt": the date runs up to the first blank.
        const QString middle = file.mid(2, file.size() - 6);
        const qsizetype blank = middle.indexOf(u' ');
        if (blank < 0)
            continue;
        results.append({middle.left(blank), middle.mid(blank + 1)});
    }
    return results;
}

QList<QString> ResultsFolder::answer(const QMap<QString, QString>& fields) const {
    const QString command = fields.value(u"Command"_s);
    if (command != u"TournamentsResults")
        return {u"Result=Error"_s, command.isEmpty() ? u"Error=No command given"_s
                                                     : u"Error=Unknown command: "_s + command};
    if (!m_password.isEmpty() && fields.value(u"Password"_s) != m_password)
        return {u"Result=Error"_s, u"Error=Invalid API password"_s};
    if (fields.contains(u"Date"_s) || fields.contains(u"Name"_s))
        return fileAnswer(fields.value(u"Date"_s), fields.value(u"Name"_s));
    return listAnswer();
}

QList<QString> ResultsFolder::listAnswer() const {
    const QList<ServedResult> all = results();
    QList<QString> lines{u"Result=Ok"_s, u"Files="_s + QString::number(all.size())};
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QString index = QString::number(i + 1);
        lines.append(u"Date"_s + index + u'=' + all.at(i).date);
        lines.append(u"Name"_s + index + u'=' + all.at(i).name);
    }
    return lines;
}

QList<QString> ResultsFolder::fileAnswer(const QString& date, const QString& name) const {
    const QString file = u"TR"_s + date + u' ' + name + u".txt"_s;
    const QList<QString> notFound{u"Result=Error"_s,
                                  u"Error=Tournament results not found: "_s + file};
    // The file name starts with "TR", so it can only leave the folder through a separator.
    if (file.contains(u'/') || file.contains(QChar(0)))
        return notFound;
    const QString path = QDir(m_folder).filePath(file);
    if (!QFileInfo(path).isFile())
        return notFound;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return {u"Result=Error"_s, u"Error=Cannot read "_s + file};
    QList<QString> lines{u"Result=Ok"_s};
    lines.append(ReadResultsLines(in.readAll()));
    return lines;
}

QByteArray ResultsFolder::answerBody(const QList<QString>& lines) {
    QByteArray body;
    for (const QString& line : lines)
        body += line.toUtf8() + "\r\n";
    return body;
}
