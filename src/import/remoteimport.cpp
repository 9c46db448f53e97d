#include "remoteimport.h"

#include "importresults.h"

using namespace Qt::StringLiterals;

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
    const QString url = BuildApiUrl(fields);
    RemoteImportOutcome outcome;
    outcome.ran = true;

    try {
        {
            BusyCursor busy;
            db.StartTransaction();
            ResultsImporter importer(db);
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
                outcome.imported += importer.Import(response);
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
