#include "reportoptions.h"

#include "reportcatalogue.h"

#include <QDate>
#include <optional>

QString ReadLongOptions(const QStringList& args, const QStringList& known, LongOptions& options,
                        bool& help) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == u"--help" || arg == u"-h") {
            help = true;
            return QString();
        }
        const QString name = arg.section(u'=', 0, 0);
        if (!known.contains(name)) {
            return arg.startsWith(u'-') ? QStringLiteral("unknown option \"%1\"").arg(arg)
                                        : QStringLiteral("unexpected argument \"%1\"").arg(arg);
        }
        if (options.given(name))
            return QStringLiteral("%1 given twice").arg(name);
        if (arg.contains(u'='))
            options.values.insert(name, arg.section(u'=', 1));
        else if (i + 1 < args.size())
            options.values.insert(name, args[++i]);
        else
            return QStringLiteral("%1 needs a value").arg(name);
    }
    return QString();
}

QStringList ReportOptionNames() {
    return {QStringLiteral("--db"), QStringLiteral("--report"), QStringLiteral("--sql"),
            QStringLiteral("--start"), QStringLiteral("--end")};
}

QString CheckReportOptions(const LongOptions& options) {
    if (options.given(QStringLiteral("--report")) == options.given(QStringLiteral("--sql")))
        return QStringLiteral("give either --report or --sql");
    if (options.given(QStringLiteral("--db")) && options.value(QStringLiteral("--db")).isEmpty())
        return QStringLiteral("--db needs a file");
    return QString();
}

namespace {

/// A date of the filter, exactly "yyyy-MM-dd" and a real calendar date; none when not given.
std::optional<QDate> ParseDate(const QString& text, bool& valid) {
    valid = true;
    if (text.isEmpty())
        return std::nullopt;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    valid = date.isValid() && ReportDateText(date) == text;
    return date;
}

} // namespace

QString ComposeReportStatement(const LongOptions& options, ReportStatement& statement) {
    const QString start = options.value(QStringLiteral("--start"));
    const QString end = options.value(QStringLiteral("--end"));
    if (options.given(QStringLiteral("--sql"))) {
        if (!start.isEmpty() || !end.isEmpty())
            return QStringLiteral("--start and --end go with --report only");
        statement = {options.value(QStringLiteral("--sql")), -1};
        return QString();
    }
    const QString report = options.value(QStringLiteral("--report"));
    const int index = FindReport(report);
    if (index < 0)
        return QStringLiteral("no report \"%1\"").arg(report);
    bool startValid = true, endValid = true;
    const auto startDate = ParseDate(start, startValid);
    const auto endDate = ParseDate(end, endValid);
    if (!startValid || !endValid)
        return QStringLiteral("a date must be a calendar date written yyyy-MM-dd, such as "
                              "2024-03-01");
    statement = {ComposeReportSQL(index, startDate, endDate), index};
    return QString();
}
