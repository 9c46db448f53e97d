#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

/// The options of a command as "--name VALUE" or "--name=VALUE", each given at most once.
struct LongOptions {
    QHash<QString, QString> values; // by the option's name, dashes included

    bool given(const QString& name) const { return values.contains(name); }
    QString value(const QString& name) const { return values.value(name); }
};

/// Reads the arguments against the known option names. Sets help for -h or --help and stops
/// there. Returns the usage error (one line), empty when all is well.
QString ReadLongOptions(const QStringList& args, const QStringList& known, LongOptions& options,
                        bool& help);

/// The report options shared by the commands that run a report: --db, --report, --sql, --start
/// and --end.
QStringList ReportOptionNames();

/// The checks every report command makes of its options: one of --report and --sql, and a file
/// with --db. Returns the usage error, empty when all is well.
QString CheckReportOptions(const LongOptions& options);

/// The statement the report options name: --sql as given, or the catalogue entry of --report
/// composed with --start and --end.
struct ReportStatement {
    QString sql;
    int index = -1; // the catalogue entry; -1 for --sql
};

/// Composes the statement; returns the usage error (an unknown report, a date that is not a
/// calendar date, dates with --sql), empty when all is well.
QString ComposeReportStatement(const LongOptions& options, ReportStatement& statement);
