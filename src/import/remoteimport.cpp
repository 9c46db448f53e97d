#include "remoteimport.h"

#include "feeschema.h"
#include "recordedimport.h"
#include "remotesource.h"

using namespace Qt::StringLiterals;

QList<RemoteItem> NewRemoteItems(FeeDatabase& db, const ServerFields& fields,
                                 const QList<RemoteItem>& items) {
    QStringList texts;
    for (const RemoteItem& item : items)
        texts << item.text;
    const QHash<QString, ImportedFile> recorded =
        CompleteRemoteRecord(db, RemoteSourceOf(fields), texts);
    QList<RemoteItem> fresh;
    for (const RemoteItem& item : items)
        if (!recorded.contains(item.text))
            fresh << item;
    return fresh;
}

QHash<QString, ImportedFile> RecordedRemoteItems(FeeDatabase& db, const ServerFields& fields,
                                                 const QStringList& itemTexts) {
    return CompleteRemoteRecord(db, RemoteSourceOf(fields), itemTexts);
}

RemoteImportOutcome ImportRemoteFiles(const QList<RemoteItem>& selected, const ServerFields& fields,
                                      FeeDatabase& db, OperatorMessages& messages,
                                      const StatusLine& status,
                                      const std::function<void()>& closeFeeTables, bool eachItem) {
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
            RecordRun recordRun(db); // outside, as for local files
            db.StartTransaction();
            recordRun.begin();
            const QString source = RemoteSourceOf(fields);
            AdoptRecordedSpellings(db, source); // one server written two ways is one source
            // Notes an item that is left out; true when the run goes on without it.
            const auto leftOut = [&](const RemoteItem& item) {
                outcome.failed = true;
                if (outcome.failedItem.isEmpty())
                    outcome.failedItem = item.text;
                ++outcome.failures;
                return eachItem;
            };
            RecordedImporter importer(db);
            int i = 0;
            for (const RemoteItem& item : selected) {
                ++i;
                status(u"Retrieving ("_s + QString::number(i) + u" of "_s + n + u"):  "_s +
                       item.text);
                if (item.text.isEmpty()) { // as a file without a name, never sent
                    messages.error(u"Error loading \"\": no file name"_s);
                    if (leftOut(item))
                        continue;
                    break;
                }
                ApiExchange exchange =
                    ExchangeApiCommand(url, FileCallFields(fields.password, item));
                ApiResponse& response = exchange.response;
                if (const QString cut = ApiValue(response, u"Cut"_s); !cut.isEmpty()) {
                    // Shorter than its length: as a file that cannot be read.
                    messages.error(u"Error loading "_s + item.text);
                    messages.cause(cut);
                    if (leftOut(item))
                        continue;
                    break;
                }
                if (!IsApiSuccess(response)) {
                    messages.error(ApiValue(response, u"Error"_s));
                    if (leftOut(item))
                        continue;
                    break;
                }
                response.removeFirst(); // the Result line
                // An answer that only the closing of the connection ended, and that ends inside
                // a block, may have been cut short: none of it is imported or recorded, so the
                // item comes again. An answer of a length it met, or chunked to its last chunk,
                // is whole, whatever its last block holds.
                if (exchange.end == AnswerEnd::Close && EndsInsideTournament(response)) {
                    messages.error(u"Error loading "_s + item.text);
                    messages.cause(u"The answer ends inside a tournament"_s);
                    if (leftOut(item))
                        continue;
                    break;
                }
                const QString shownAs = RecordedFileText(source, item.text);
                const auto import = [&] {
                    return importer.importLines(source, item.text, response, shownAs);
                };
                if (!eachItem) {
                    outcome.imported += import();
                    continue;
                }
                const OwnRunOutcome own = ImportOnItsOwn(db, item.text, import);
                outcome.imported += own.imported;
                if (!own.refusal.isEmpty()) {
                    messages.error(own.refusal);
                    leftOut(item);
                }
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
