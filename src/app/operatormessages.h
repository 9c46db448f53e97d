#pragma once

#include <QString>

/// The kinds of message box the operator sees. Error, Information and Confirmation carry the
/// captions "Error", "Information" and "Confirm" with their icons; a Notice is captioned with the
/// application title and has no icon; GeneralError is the display of unexpected errors (application
/// title, error icon, text already passed through WithFullStop).
enum class MessageKind { Error, Information, Confirmation, Notice, GeneralError };

/// The seam through which every operation talks to the operator. The window shows modal message
/// boxes, the command-line program prints, tests record and pre-answer.
class OperatorMessages {
public:
    virtual ~OperatorMessages() = default;
    /// Shows one message and waits for it to be closed. Returns true when the operator answered
    /// OK (always true for kinds with a single OK button).
    virtual bool show(MessageKind kind, const QString& text) = 0;
    /// The same with a second, informative line under the text: a message box shows it apart,
    /// other front ends on the next line. By default the line is left out.
    virtual bool showWithLine(MessageKind kind, const QString& text, const QString& line) {
        Q_UNUSED(line);
        return show(kind, text);
    }

    void error(const QString& text) { show(MessageKind::Error, text); }
    void information(const QString& text) { show(MessageKind::Information, text); }
    bool confirm(const QString& text) { return show(MessageKind::Confirmation, text); }
    bool confirm(const QString& text, const QString& line) {
        return showWithLine(MessageKind::Confirmation, text, line);
    }
    void notice(const QString& text) { show(MessageKind::Notice, text); }
    /// The reason behind the error just shown ("Not a regular file"), for a front end that gives
    /// it apart: the command line prints it on the line after the error; a message box shows the
    /// error's own text only.
    virtual void cause(const QString& text) { Q_UNUSED(text); }
};

/// Caption of the box of a kind ("Error", "Information", "Confirm" or the application title).
QString MessageCaption(MessageKind kind);

/// The application title: caption of plain notices and of the general error display.
inline constexpr auto kApplicationTitle = u"ZV Fee Stats";
