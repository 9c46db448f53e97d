#include "cliconsole.h"

#include "command.h"

#include <QRegularExpression>
#include <unistd.h>

namespace {
constexpr int kBarWidth = 20;
} // namespace

CliConsole::CliConsole() : CliConsole(isatty(STDERR_FILENO) == 1) {}

CliConsole::CliConsole(bool terminal) : m_terminal(terminal) {}

CliConsole::~CliConsole() {
    endStatus();
}

bool CliConsole::show(MessageKind kind, const QString& text) {
    endStatus();
    switch (kind) {
    case MessageKind::Error:
    case MessageKind::GeneralError:
        PrintErr(text + u'\n');
        return true;
    case MessageKind::Information:
    case MessageKind::Notice:
    case MessageKind::Confirmation:
        PrintOut(text + u'\n');
        return true;
    }
    return true;
}

void CliConsole::cause(const QString& text) {
    endStatus();
    PrintErr(text + u'\n');
}

StatusLine CliConsole::statusLine() {
    return [this](const QString& text) { status(text); };
}

void CliConsole::endStatus() {
    if (m_statusOpen)
        PrintErr(QStringLiteral("\n"));
    m_statusOpen = false;
}

void CliConsole::status(const QString& text) {
    if (!m_terminal) {
        if (!text.isEmpty())
            PrintErr(text + u'\n');
        return;
    }
    // Back to the start of the line and clear it, then the bar and the text.
    PrintErr(QStringLiteral("\r\x1b[K") + ProgressBar(text) + text);
    m_statusOpen = !text.isEmpty();
}

QString ProgressBar(const QString& statusText) {
    static const QRegularExpression loading(QStringLiteral("^Loading \\((\\d+) of (\\d+)\\):"));
    const QRegularExpressionMatch match = loading.match(statusText);
    if (!match.hasMatch())
        return QString();
    const qint64 i = match.captured(1).toLongLong();
    const qint64 n = match.captured(2).toLongLong();
    const int filled = n > 0 ? int(std::min<qint64>(kBarWidth, i * kBarWidth / n)) : 0;
    return u'[' + QString(filled, u'#') + QString(kBarWidth - filled, u'.') + QStringLiteral("] ");
}
