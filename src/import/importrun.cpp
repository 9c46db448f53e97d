#include "importrun.h"

#include "importresults.h"
#include "stringlist2.h"

#include <optional>

ImportRunOutcome ImportResultsFiles(const QList<ImportRunFile>& files, FeeDatabase& db,
                                    OperatorMessages& messages, const StatusLine& status,
                                    const std::function<void()>& closeFeeTables) {
    ImportRunOutcome outcome;
    const QString n = QString::number(files.size());
    {
        std::optional<BusyCursor> busy(std::in_place);
        db.StartTransaction();
        try {
            ResultsImporter importer(db);
            int i = 0;
            for (const ImportRunFile& file : files) {
                ++i;
                status(QStringLiteral("Loading (%1 of %2):  %3")
                           .arg(QString::number(i), n, file.label));
                // The file's text goes to the importer line by line as a line list would hold
                // it (LoadFromFile reads the same way), without building the list.
                QString text;
                try {
                    text = ReadResultsText(file.path);
                } catch (const ZvError&) {
                    messages.error(QStringLiteral("Error loading ") + file.path);
                    outcome.unreadablePath = file.path;
                    break;
                }
                outcome.imported += importer.ImportText(text);
            }
            busy.reset();
            if (outcome.imported > 0 && closeFeeTables)
                closeFeeTables();
            status(QStringLiteral("Updating database ..."));
            db.Commit();
        } catch (...) {
            // Nothing of a failed run is kept, and the next run starts a transaction of its own.
            db.Rollback();
            throw;
        }
    }
    status(QString());
    messages.notice(QStringLiteral("Tournaments with fees imported:  ") +
                    QString::number(outcome.imported));
    return outcome;
}

QString LocalFilePath(const QString& folder, const QString& itemText) {
    return folder.endsWith(u'/') ? folder + itemText : folder + u'/' + itemText;
}

ImportRunOutcome ImportLocalFiles(const QString& folder, const QStringList& selectedItems,
                                  FeeDatabase& db, OperatorMessages& messages,
                                  const StatusLine& status,
                                  const std::function<void()>& closeFeeTables) {
    if (selectedItems.isEmpty()) {
        messages.error(QStringLiteral("No tournament result files selected"));
        return {};
    }
    QList<ImportRunFile> files;
    files.reserve(selectedItems.size());
    for (const QString& item : selectedItems)
        files.append({LocalFilePath(folder, item), item});
    return ImportResultsFiles(files, db, messages, status, closeFeeTables);
}
