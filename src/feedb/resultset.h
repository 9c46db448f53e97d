#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class FeeDatabase;

/// The kind of a result column: from its declared type by SQLite's affinity rules, or, for an
/// expression, from the storage class of its value in the first row (NULL or no row: Text).
enum class ColumnKind { Integer, Float, Text, Blob };

struct ResultColumn {
    QString name; ///< after the repeated-name rule ("Fees", "Fees_1", ...)
    ColumnKind kind = ColumnKind::Text;
};

/// A read-only snapshot of every row of one query, with a current row. Values are held per column
/// in the column's kind (an integer column holds 64-bit integers, a floating-point column doubles,
/// a text column interned full texts), each cell possibly NULL. Opening raises ZvError with the
/// database's message when the query fails; a closed set has no columns and no rows.
class ResultSet : public QObject {
    Q_OBJECT
public:
    explicit ResultSet(QObject* parent = nullptr);
    ~ResultSet() override;

    /// Runs the query, fetches every row and makes the first row current.
    void open(FeeDatabase& db, const QString& sql);
    /// Drops rows and columns.
    void close();
    bool isOpen() const;

    int columnCount() const;
    const ResultColumn& column(int index) const;
    qsizetype rowCount() const;

    bool isNull(qsizetype row, int column) const;
    qint64 integerAt(qsizetype row, int column) const; ///< Integer columns
    double realAt(qsizetype row, int column) const;    ///< Float columns
    QString textAt(qsizetype row, int column) const;   ///< Text columns (full text, never cut)
    QByteArray blobAt(qsizetype row, int column) const; ///< Blob columns
    /// The cell as a variant of its column's kind; an invalid QVariant for NULL.
    QVariant value(qsizetype row, int column) const;

    /// 0-based current row, -1 when there are no rows (or the set is closed).
    qsizetype currentRow() const;
    /// Moves the current row (clamped to the rows); emits currentRowChanged on every move
    /// request, also to the same row, like a dataset's after-scroll event.
    void setCurrentRow(qsizetype row);
    /// 1-based position and row count for the status lines; 0 and 0 without rows.
    qsizetype position() const { return currentRow() + 1; }

Q_SIGNALS:
    void currentRowChanged();
    /// Emitted after open and close, so views can reset.
    void reset();

private:
    struct Data;
    Data* d;
};
