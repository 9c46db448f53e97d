#include "feeviews.h"

#include "backup.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "importedfiles.h"
#include "operatormessages.h"

MasterSortOrder NextMasterSortOrder(const MasterSortOrder& current, const QString& clicked) {
    if (clicked == current.field)
        return {current.field, !current.descending};
    return {clicked, false};
}

QString MasterQueryFor(const MasterSortOrder& order) {
    QString sql = QStringLiteral("SELECT * FROM Master ORDER BY ") + order.field;
    if (order.descending)
        sql += QStringLiteral(" DESC");
    return sql;
}

QString RecordStatusText(const QString& what, const ResultSet& view) {
    return what + QStringLiteral(" record ") + QString::number(view.position()) +
           QStringLiteral(" of ") + QString::number(view.rowCount());
}

FeeViews::FeeViews(QObject* parent) : QObject(parent) {
    detail.linkTo(&master, QString::fromUtf16(kLinkField));
}

void FeeViews::load(FeeDatabase& db, const QString& masterSql, const QString& detailSql,
                    const StatusLine& masterStatus, const StatusLine& detailStatus) {
    master.close();
    detail.close();
    masterStatus(QStringLiteral("Loading Master table ..."));
    detailStatus(QStringLiteral("Loading Detail table ..."));
    BusyCursor busy;
    // Both views are read before either is shown, so that the window paints them once.
    FetchedRows masterRows = master.fetch(db, masterSql);
    FetchedRows detailRows;
    try {
        detailRows = detail.fetch(db, detailSql);
    } catch (...) {
        master.show(std::move(masterRows)); // the detail view stays closed
        throw;
    }
    master.show(std::move(masterRows));
    detail.show(std::move(detailRows));
}

void FeeViews::close(const StatusLine& masterStatus, const StatusLine& detailStatus) {
    master.close();
    detail.close();
    masterStatus(QString());
    detailStatus(QString());
}

bool EmptyFeeDatabase(FeeDatabase& db, OperatorMessages& messages,
                      const std::function<void()>& closeViews) {
    RequireFeeSchema(db); // the rows of another program's tables are not ours to delete
    if (!messages.confirm(QStringLiteral("Remove all records from database?"),
                          QString::fromUtf16(kEmptyBackupLine)))
        return false;
    BusyCursor busy;
    try {
        BackUpBeside(db);
    } catch (const ZvError& e) {
        throw ZvError(QStringLiteral("The database was not emptied. ") + e.message());
    }
    PruneBackups(db.databaseName());
    closeViews();
    // The record goes first: should a DELETE fail after it, files are imported again (rows are
    // replaced), never skipped as imported while their rows are gone.
    ClearImportedFiles(db);
    db.Execute(QStringLiteral("DELETE FROM Master"));
    db.Execute(QStringLiteral("DELETE FROM Detail"));
    return true;
}
