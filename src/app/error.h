#pragma once

#include <QString>
#include <exception>

/// An error raised with a message text for the operator. Operations raise it where they fail;
/// what no handler catches reaches the general error display of the window program (or the
/// standard error stream of the command-line program).
class ZvError : public std::exception {
public:
    explicit ZvError(QString message);
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override;

private:
    QString m_message;
    QByteArray m_utf8;
};

/// The text of the general error display: a full stop is appended unless the text is empty or
/// ends in "." or a character with a lower code (a blank, "!", ",", "-", ...).
QString WithFullStop(const QString& text);
