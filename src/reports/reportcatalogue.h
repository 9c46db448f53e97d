#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

/// The entries of the report list, in list order (index 0 is "Clear").
const QStringList& ReportCaptions();

/// The index of a report named by its caption (letter case ignored) or by its list index as a
/// decimal number; -1 when it names no entry.
int FindReport(const QString& captionOrIndex);

/// A date of the date filter as statement text: always "yyyy-MM-dd", whatever the locale.
QString ReportDateText(const QDate& date);

/// The statement of a report entry with the date range worked into it. A missing date takes no
/// part; "Detail only" ignores both dates; "Clear" and an index outside the list give the empty
/// text. Nothing here can fail.
QString ComposeReportSQL(int index, const std::optional<QDate>& start,
                         const std::optional<QDate>& end);

/// Whether a statement is the one entry index composes for these dates, so that it may be
/// called by the entry's caption; an edited statement, or typed SQL, is not.
bool IsComposedReport(const QString& statement, int index, const std::optional<QDate>& start,
                      const std::optional<QDate>& end);
