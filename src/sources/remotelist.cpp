#include "remotelist.h"

#include <QHash>

QString RemoteItemName(const QString& date, const QString& name) {
    return QStringLiteral("TR") + date + u' ' + name + QStringLiteral(".txt");
}

RemoteItem RemoteItem::FromServer(const QString& date, const QString& name) {
    return {date, name, RemoteItemName(date, name)};
}

RemoteItem RemoteItem::FromText(const QString& text) {
    // Positions count from 1 in the item text: the date is characters 3 to 12, the name runs from
    // character 14 to the one before the final four (".txt").
    return {text.mid(2, 10), text.mid(13, qMax<qsizetype>(0, text.size() - 17)), text};
}

QList<RemoteItem> RemoteItemsOfAnswer(const ApiResponse& response) {
    // First value of every name, letter case folded: one pass instead of a scan per field, which
    // would make a long list quadratic.
    QHash<QString, QString> values;
    for (const QString& line : response) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).toCaseFolded();
        if (!values.contains(key))
            values.insert(key, line.mid(eq + 1));
    }
    const auto value = [&values](const QString& name) { return values.value(name.toCaseFolded()); };

    bool ok = false;
    qsizetype count = value(QStringLiteral("Files")).toInt(&ok);
    if (!ok || count < 0)
        count = 0;
    count = qMin(count, response.size());

    QList<RemoteItem> items;
    items.reserve(count);
    for (qsizetype i = 1; i <= count; ++i) {
        const QString index = QString::number(i);
        items.append(RemoteItem::FromServer(value(QStringLiteral("Date") + index),
                                            value(QStringLiteral("Name") + index)));
    }
    return items;
}

ApiRequest ListCallFields(const QString& password) {
    return {{QStringLiteral("Command"), QStringLiteral("TournamentsResults")},
            {QStringLiteral("Password"), password}};
}

ApiRequest FileCallFields(const QString& password, const RemoteItem& item) {
    ApiRequest fields = ListCallFields(password);
    fields.append({QStringLiteral("Date"), item.date});
    fields.append({QStringLiteral("Name"), item.name});
    return fields;
}

QList<RemoteItem> FetchRemoteList(const ServerFields& fields, OperatorMessages& messages,
                                  const StatusLine& status) {
    if (const auto missing = CheckServerFields(fields)) {
        messages.error(missing->message);
        return {};
    }
    status(QStringLiteral("Retrieving tournament result list ..."));
    ApiResponse response;
    QList<RemoteItem> items;
    bool ok = false;
    {
        BusyCursor busy;
        response = PostApiCommand(BuildApiUrl(fields), ListCallFields(fields.password));
        ok = IsApiSuccess(response);
        if (ok)
            items = RemoteItemsOfAnswer(response);
    }
    status(QString());
    if (!ok) {
        messages.error(ApiValue(response, QStringLiteral("Error")));
        return {};
    }
    if (items.isEmpty())
        messages.information(QStringLiteral("No files found"));
    return items;
}
