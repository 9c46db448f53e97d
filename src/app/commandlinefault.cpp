#include "commandlinefault.h"

#include <QCommandLineParser>

QString CommandLineFault(const QCommandLineParser& parser, const QStringList& arguments) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& name = unknown.first();
        for (const QString& arg : arguments.mid(1)) {
            const QString option = arg.section(u'=', 0, 0);
            if (option == QStringLiteral("--") + name || option == QChar(u'-') + name)
                return QStringLiteral("unknown option '%1'").arg(option);
        }
    }
    QString fault = parser.errorText();
    if (fault.endsWith(u'.'))
        fault.chop(1);
    if (!fault.isEmpty())
        fault[0] = fault[0].toLower();
    return fault;
}
