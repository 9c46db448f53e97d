#include "error.h"

ZvError::ZvError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

const char* ZvError::what() const noexcept { return m_utf8.constData(); }

QString WithFullStop(const QString& text) {
    if (text.isEmpty() || text.back().unicode() <= u'.')
        return text;
    return text + u'.';
}
