#pragma once

#include "busy.h"
#include "resultset.h"

#include <QString>
#include <functional>

class FeeDatabase;
class OperatorMessages;

/// The query of the master view until the operator first re-sorts it.
inline constexpr auto kInitialMasterSql = u"SELECT * FROM Master ORDER BY TNumber;";
/// The query of the detail view; the link to the master picks the rows of one tournament.
inline constexpr auto kDetailSql = u"SELECT TNumber, Player, Fees FROM Detail;";
/// The column that links a detail row to its tournament.
inline constexpr auto kLinkField = u"TNumber";

/// The order of the master view. It lives for the run only.
struct MasterSortOrder {
    QString field = QStringLiteral("TNumber");
    bool descending = false;

    friend bool operator==(const MasterSortOrder&, const MasterSortOrder&) = default;
};

/// The order after a click on the title of the column named clicked: the same column flips the
/// direction, another column sorts ascending by it. Names compare exactly.
MasterSortOrder NextMasterSortOrder(const MasterSortOrder& current, const QString& clicked);

/// "SELECT * FROM Master ORDER BY " + field (+ " DESC"); the field goes in as it is, since it is
/// always the name of a result column of the master view.
QString MasterQueryFor(const MasterSortOrder& order);

/// "<what> record i of n": i the 1-based current row, n the rows shown (0 of 0 without rows).
QString RecordStatusText(const QString& what, const ResultSet& view);

/// The two result views of the fee database page: every tournament, and the fees of the players
/// of the current tournament. The detail view is linked to the master on TNumber. The query texts
/// and the order belong to the page and come in with each load.
class FeeViews : public QObject {
    Q_OBJECT
public:
    explicit FeeViews(QObject* parent = nullptr);

    ResultSet master{this};
    ResultSet detail{this};

    /// Closes both views, writes the two loading texts (painted at once by the status lines),
    /// then reads the master and the detail view under the busy cursor and shows them once both
    /// are read. Raises the error of a view that does not open; that view stays closed and its
    /// status line keeps its loading text.
    void load(FeeDatabase& db, const QString& masterSql, const QString& detailSql,
              const StatusLine& masterStatus, const StatusLine& detailStatus);
    /// Closes both views and blanks both status lines.
    void close(const StatusLine& masterStatus, const StatusLine& detailStatus);
};

/// The informative line of the box that confirms emptying.
inline constexpr auto kEmptyBackupLine =
    u"A backup copy is made first, beside the database (the last five are kept).";

/// Empties both fee tables once the operator confirms "Remove all records from database?":
/// closeViews first, then, under the busy cursor, a backup copy beside the database (the oldest
/// beyond five go), the record of imported files, "DELETE FROM Master" and "DELETE FROM Detail".
/// Returns false, having changed nothing, when the operator does not confirm. Raises "The
/// database was not emptied. " + the reason when the copy cannot be made (nothing is deleted
/// then), the error of a failing DELETE, and, before asking, RequireFeeSchema's error for a file
/// whose fee tables lack a column.
bool EmptyFeeDatabase(FeeDatabase& db, OperatorMessages& messages,
                      const std::function<void()>& closeViews);
