#pragma once

#include "reportsink.h"

#include <QString>
#include <optional>

/// The format a name gives ("csv", "tsv", "json", "xlsx", "html" or "htm", "pdf", letter case
/// ignored), as zvfee report's --format takes it; nothing for any other name.
std::optional<ReportFormat> ReportFormatNamed(const QString& name);

/// The extension of a format's files, without the dot ("xlsx", "html").
QString ReportFormatExtension(ReportFormat format);

/// The format a file's name asks for by its extension, letter case ignored: ".csv", ".tsv",
/// ".json", ".xlsx", ".html", ".htm" or ".pdf"; nothing for any other name (".txt", no extension).
/// The window's export and zvfee report both follow it, so that a file holds what its name says.
std::optional<ReportFormat> ReportFormatForFileName(const QString& path);
