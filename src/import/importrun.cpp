#include "importrun.h"

#include "feeschema.h"
#include "filenames.h"
#include "importedfiles.h"
#include "importresults.h"
#include "recordedimport.h"
#include "runcontrol.h"
#include "stringlist2.h"

#include <optional>

namespace {

/// The run of ImportResultsFiles over count files, file i being fileAt(i).
template <typename FileAt>
ImportRunOutcome importFiles(qsizetype count, FileAt fileAt, FeeDatabase& db,
                             OperatorMessages& messages, const StatusLine& status,
                             const std::function<void()>& closeFeeTables, ImportRunKind kind) {
    const bool eachFile = kind == ImportRunKind::EachFile;
    RequireFeeSchema(db); // a file that is not a fee database is left alone
    ImportRunOutcome outcome;
    const QString n = QString::number(count);
    {
        std::optional<BusyCursor> busy(std::in_place);
        RecordRun recordRun(db);
        db.StartTransaction();
        try {
            recordRun.begin();
            RecordedImporter importer(db);
            LocalSources sources;
            for (qsizetype i = 1; i <= count; ++i) {
                CheckRunCancelled(); // a cancel between files rolls the run back like an error
                const ImportRunFile file = fileAt(i - 1);
                status(QStringLiteral("Loading (%1 of %2):  %3")
                           .arg(QString::number(i), n, file.label));
                if (file.path.isEmpty()) { // never a file of the working folder
                    const QString error = QStringLiteral("Error loading \"\": no file name");
                    messages.error(error);
                    if (eachFile) {
                        outcome.failed.append({file.path, error});
                        continue;
                    }
                    outcome.unreadable = true;
                    break;
                }
                // The file's text goes to the importer line by line as a line list would hold
                // it (LoadFromFile reads the same way), without building the list.
                // Stamped before it is read: a write after the stamp shows as a change next time.
                const FileStamp stamp = StampOf(file.path);
                QString text;
                try {
                    text = ReadResultsText(file.path);
                } catch (const ResultsFileError& e) {
                    const QString error =
                        QStringLiteral("Error loading ") + DisplayFileName(file.path);
                    messages.error(error);
                    messages.cause(e.reason());
                    if (eachFile) {
                        outcome.failed.append(
                            {file.path, error + QStringLiteral(": ") + e.reason()});
                        continue;
                    }
                    outcome.unreadablePath = file.path;
                    outcome.unreadable = true;
                    break;
                }
                const LocalSource where = sources.of(file.path);
                const QString shownAs = DisplayFileName(file.path);
                const auto import = [&] {
                    return importer.importText(where.source, where.name, stamp, text, shownAs);
                };
                if (eachFile) {
                    const OwnRunOutcome own = ImportOnItsOwn(db, file.label, import);
                    outcome.imported += own.imported;
                    if (!own.refusal.isEmpty()) {
                        messages.error(own.refusal);
                        outcome.failed.append({file.path, own.refusal});
                    }
                    continue;
                }
                try {
                    outcome.imported += import();
                } catch (ResultsTextError& e) {
                    e.setFile(file.label);
                    throw;
                }
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

} // namespace

ImportRunOutcome ImportResultsFiles(const QList<ImportRunFile>& files, FeeDatabase& db,
                                    OperatorMessages& messages, const StatusLine& status,
                                    const std::function<void()>& closeFeeTables,
                                    ImportRunKind kind) {
    return importFiles(
        files.size(), [&files](qsizetype i) { return files[i]; }, db, messages, status,
        closeFeeTables, kind);
}

ImportRunOutcome ImportResultsFiles(const ImportRunFiles& files, FeeDatabase& db,
                                    OperatorMessages& messages, const StatusLine& status,
                                    const std::function<void()>& closeFeeTables,
                                    ImportRunKind kind) {
    return importFiles(
        files.size(),
        [&files](qsizetype i) {
            QString path = files.path(i);
            return ImportRunFile{path, path};
        },
        db, messages, status, closeFeeTables, kind);
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
        files.append({LocalFilePath(folder, item), DisplayFileName(item)});
    return ImportResultsFiles(files, db, messages, status, closeFeeTables);
}
