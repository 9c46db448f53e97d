#pragma once

#include <QByteArray>
#include <QString>

/// File names are bytes on Linux, and not every name is valid UTF-8. A name is held in a QString
/// with each byte that is not part of valid UTF-8 kept as the lone surrogate U+DC00 + byte (valid
/// text never decodes to a lone surrogate), so the name goes back to the very same bytes.

/// The text of a file name or path as the system gives it.
QString DecodeFileName(const QByteArray& bytes);
/// The bytes of a file name or path decoded by DecodeFileName (any other text in UTF-8).
QByteArray EncodeFileName(const QString& name);
/// The name as a user sees it: every kept byte shown as the replacement character U+FFFD.
QString DisplayFileName(const QString& name);
