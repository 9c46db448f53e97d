#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

/// The form fields of a request body (application/x-www-form-urlencoded): "+" is a blank, "%XX"
/// a byte, the bytes read as UTF-8. A name given twice keeps its first value.
QMap<QString, QString> DecodeFormBody(const QByteArray& body);

/// One results file of the served folder, named "TR" + date + " " + name + ".txt".
struct ServedResult {
    QString date;
    QString name;
};

/// What the demo server answers: the folder's results files through the TournamentsResults
/// command, in the answer format of the poker server (name=value lines, "Result=Ok" or
/// "Result=Error" with an "Error" line).
class ResultsFolder {
public:
    /// An empty password accepts every password.
    ResultsFolder(QString folder, QString password);

    /// The folder's results files, sorted by file name; read afresh on every call so that files
    /// added or removed while the server runs show at once.
    QList<ServedResult> results() const;

    /// The answer lines for the decoded form fields of one request.
    QList<QString> answer(const QMap<QString, QString>& fields) const;

    /// The answer lines joined with CR LF, encoded as UTF-8.
    static QByteArray answerBody(const QList<QString>& lines);

private:
    QList<QString> listAnswer() const;
    QList<QString> fileAnswer(const QString& date, const QString& name) const;

    QString m_folder;
    QString m_password;
};

/// The lines of a results file: the encoding taken from a byte-order mark (UTF-8, UTF-16 LE or
/// BE), else Windows-1252; cut at CR LF, CR and LF; a NUL ends the text.
QList<QString> ReadResultsLines(const QByteArray& bytes);
