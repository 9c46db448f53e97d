#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class FeeDatabase;
struct sqlite3_stmt;
struct sqlite3_value;

/// The kind of a result column: from its declared type by SQLite's affinity rules, or, for an
/// expression, from the storage class of its value in the first row (NULL or no row: Text).
enum class ColumnKind { Integer, Float, Text, Blob };

struct ResultColumn {
    QString name; ///< after the repeated-name rule ("Fees", "Fees_1", ...)
    ColumnKind kind = ColumnKind::Text;
};

/// The kind of a column with the declared type declType (SQLite's column affinity: "INT" ->
/// Integer; "CHAR", "CLOB", "TEXT" -> Text; "BLOB" -> Blob; any other declared type -> Float).
/// An empty declType means no declared type: the kind then follows storageClass (an SQLITE_*
/// type code of the first row's value; SQLITE_NULL, or 0 for no row, gives Text).
ColumnKind ColumnKindFor(const QString& declType, int storageClass);

/// The form in which a non-NULL value is held in a column of the given kind. A value that fits
/// takes the column's kind: any number in a Float column; an integer, or a whole float within the
/// 64-bit range, in an Integer column; any value in a Text column (as its text) or a Blob column
/// (as its bytes). A value that does not fit keeps its own form: a text in a number column stays
/// Text (a blob stays Blob), and a fraction in an Integer column stays Float.
/// storageClass is the value's SQLITE_* type code (sqlite3_value_type).
ColumnKind CellKindFor(ColumnKind column, int storageClass, sqlite3_value* value);

/// The names of result columns after the repeated-name rule: a name that repeats an earlier one,
/// letter case ignored, gets "_1" appended, or "_2" when that is taken too, and so on.
QStringList UniqueColumnNames(const QStringList& names);

/// The result columns of a prepared statement after its first step (hasRow: that step yielded a
/// row): names after the repeated-name rule, kinds from the declared types or the first row.
QList<ResultColumn> ResultColumnsOf(sqlite3_stmt* stmt, bool hasRow);

/// The rows of a query, read but not yet shown by a set (ResultSet::fetch, then ResultSet::show).
class FetchedRows {
public:
    FetchedRows();
    ~FetchedRows();
    FetchedRows(FetchedRows&& other) noexcept;
    FetchedRows& operator=(FetchedRows&& other) noexcept;

private:
    friend class ResultSet;
    struct Data;
    std::unique_ptr<Data> d;
};

/// A read-only snapshot of every row of one query, with a current row. Values are held per column
/// in the column's kind (an integer column holds 64-bit integers, a floating-point column doubles,
/// a text column indexes into a store where every distinct text is kept once), each cell possibly
/// NULL; the few values that do not fit their column keep their own form (CellKindFor). Texts
/// are kept whole. Opening raises ZvError with the database's message when the query
/// fails; a closed set has no columns and no rows.
///
/// A set can be linked to a master set on a key column (linkTo): it then shows only the rows
/// whose key equals the key of the master's current row, and follows every move of the master.
/// Row numbers, rowCount and the current row always refer to the rows shown.
class ResultSet : public QObject {
    Q_OBJECT
public:
    explicit ResultSet(QObject* parent = nullptr);
    ~ResultSet() override;

    /// Runs the query, fetches every row and makes the first row current. Raises ZvError (the
    /// set then stays closed) when the query fails or yields no result columns.
    void open(FeeDatabase& db, const QString& sql);
    /// open in two steps: fetch runs the query and reads every row, leaving the set as it is
    /// (it raises what open raises); show makes those rows the set's, as open does. A window
    /// that fills two views reads both first, so that it paints them once, together.
    FetchedRows fetch(FeeDatabase& db, const QString& sql) const;
    void show(FetchedRows rows);
    /// Drops rows and columns.
    void close();
    bool isOpen() const;

    int columnCount() const;
    const ResultColumn& column(int index) const;
    /// The first column with this name (letter case ignored), -1 when there is none.
    int columnIndex(const QString& name) const;
    /// The rows shown: all rows, or those of the master's current row when linked.
    qsizetype rowCount() const;
    /// Every row the query yielded, whatever the link shows.
    qsizetype totalRowCount() const;

    bool isNull(qsizetype row, int column) const;
    /// The form of the cell's value: its column's kind, or the value's own kind where it does not
    /// fit the column (CellKindFor). A NULL cell has its column's kind.
    ColumnKind cellKind(qsizetype row, int column) const;
    // The value of a cell of that kind (cellKind); 0 or empty for NULL and other kinds.
    qint64 integerAt(qsizetype row, int column) const;
    double realAt(qsizetype row, int column) const;
    QString textAt(qsizetype row, int column) const; ///< the full text, never cut
    QByteArray blobAt(qsizetype row, int column) const;
    /// The UTF-8 bytes of a Text cell or the bytes of a Blob cell, read in place: valid until
    /// the set is opened again or closed.
    QByteArrayView bytesAt(qsizetype row, int column) const;
    /// The cell as a variant of its kind (cellKind); an invalid QVariant for NULL.
    QVariant value(qsizetype row, int column) const;

    /// 0-based current row, -1 when there are no rows (or the set is closed).
    qsizetype currentRow() const;
    /// Moves the current row (clamped to the rows); emits currentRowChanged on every move
    /// request, also to the same row, like a dataset's after-scroll event.
    void setCurrentRow(qsizetype row);
    /// 1-based position and row count for the status lines; 0 and 0 without rows.
    qsizetype position() const { return currentRow() + 1; }

    /// Shows only the rows whose column keyField equals the keyField of master's current row,
    /// following every move of master; with no current master row no rows show. The link
    /// holds across open and close of either set; nullptr removes it.
    void linkTo(ResultSet* master, const QString& keyField);

Q_SIGNALS:
    void currentRowChanged();
    /// Emitted before and after open and close (columns and rows change), so views can reset.
    void aboutToReset();
    void reset();
    /// Emitted after close, once every view has reset: sets linked to this one follow it then.
    void closed();
    /// Emitted before and after a linked set changes the rows it shows (the columns stay).
    void rowsAboutToChange();
    void rowsChanged();

private:
    void followMaster();
    void applyLink();
    qsizetype sourceRow(qsizetype row) const;

    struct Data;
    std::unique_ptr<Data> d;
};
