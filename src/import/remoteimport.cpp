#include "remoteimport.h"

#include "feeschema.h"
#include "importresults.h"

using namespace Qt::StringLiterals;

QString RemoteSourceOf(const ServerFields& fields) {
    return TrimBlanksAndControls(fields.host) + u':' + TrimBlanksAndControls(fields.port) + u'/' +
           TrimBlanksAndControls(fields.path);
}

QList<RemoteItem> NewRemoteItems(FeeDatabase& db, const ServerFields& fields,
                                 const QList<RemoteItem>& items) {
    const QHash<QString, ImportedFile> recorded = ReadImportedFiles(db, RemoteSourceOf(fields));
    QList<RemoteItem> fresh;
    for (const RemoteItem& item : items)
        if (!recorded.contains(item.text))
            fresh << item;
    return fresh;
}

QHash<QString, ImportedFile> RecordedRemoteItems(FeeDatabase& db, const ServerFields& fields,
                                                 const QStringList& itemTexts) {
    QHash<QString, ImportedFile> recorded;
    if (itemTexts.isEmpty())
        return recorded;
    const QHash<QString, ImportedFile> all =
        ReadImportedFiles(db, RemoteSourceOf(fields), itemTexts);
    for (const QString& text : itemTexts)
        if (const auto file = all.constFind(text); file != all.constEnd())
            recorded.insert(text, *file);
    return recorded;
}

RemoteImportOutcome ImportRemoteFiles(const QList<RemoteItem>& selected, const ServerFields& fields,
                                      FeeDatabase& db, OperatorMessages& messages,
                                      const StatusLine& status,
                                      const std::function<void()>& closeFeeTables) {
    if (selected.isEmpty()) {
        messages.error(u"No tournament result files selected"_s);
        return {};
    }
    const QString n = QString::number(selected.size());
    if (const auto missing = CheckServerFields(fields)) {
        messages.show(missing->field == ServerField::Host ? MessageKind::Information
                                                          : MessageKind::Error,
                      missing->message);
        return {};
    }
    RequireFeeSchema(db); // a file that is not a fee database is left alone
    const QString url = BuildApiUrl(fields);
    RemoteImportOutcome outcome;
    outcome.ran = true;

    try {
        {
            BusyCursor busy;
            const bool recordExists = HasImportedFiles(db); // outside, as for local files
            db.StartTransaction();
            if (!recordExists)
                CreateImportedFiles(db);
            ResultsImporter importer(db);
            ImportedFilesWriter record(db);
            const QString source = RemoteSourceOf(fields);
            int i = 0;
            for (const RemoteItem& item : selected) {
                ++i;
                status(u"Retrieving ("_s + QString::number(i) + u" of "_s + n + u"):  "_s +
                       item.text);
                ApiResponse response = PostApiCommand(url, FileCallFields(fields.password, item));
                if (!IsApiSuccess(response)) {
                    messages.error(ApiValue(response, u"Error"_s));
                    outcome.failedItem = item.text;
                    break;
                }
                response.removeFirst(); // the Result line
                const int written = importer.Import(response);
                outcome.imported += written;
                record.record(source, item.text, {{}, written, QDateTime::currentDateTimeUtc()});
            }
        }
        if (outcome.imported > 0 && closeFeeTables)
            closeFeeTables();
        status(u"Updating database ..."_s);
        db.Commit();
    } catch (...) {
        // Nothing of a failed run stays: the connection leaves the transaction and its level.
        db.Rollback();
        throw;
    }
    status(QString());
    messages.notice(u"Tournaments with fees imported:  "_s + QString::number(outcome.imported));
    return outcome;
}
