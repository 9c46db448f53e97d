#pragma once

#include <QByteArray>
#include <QStringView>

/// Appends text in Windows-1252, the code page that stands in for the Windows ANSI code page.
/// Every character the code page lacks becomes one "?" (a character outside the basic plane
/// too, although it takes two UTF-16 units). Returns the number of characters written as "?".
qsizetype AppendWindows1252(QByteArray& out, QStringView text);

/// The text in Windows-1252; adds the number of characters written as "?" to *lost when given.
QByteArray ToWindows1252(QStringView text, qsizetype* lost = nullptr);
