#pragma once

#include <QByteArray>
#include <QStringView>

/// Appends text in Windows-1252, the code page that stands in for the Windows ANSI code page.
/// Every character the code page lacks becomes one "?" (a character outside the basic plane
/// too, although it takes two UTF-16 units).
void AppendWindows1252(QByteArray& out, QStringView text);

QByteArray ToWindows1252(QStringView text);
