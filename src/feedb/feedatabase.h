#pragma once

#include "databaselocation.h"
#include "error.h"

#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

/// A prepared statement, owned by whoever prepared it and finalized when it goes.
class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    sqlite3_stmt* get() const { return m_stmt.get(); }
    explicit operator bool() const { return bool(m_stmt); }

private:
    struct Finalize {
        void operator()(sqlite3_stmt* stmt) const;
    };
    std::unique_ptr<sqlite3_stmt, Finalize> m_stmt;
};

/// An error that SQLite reported, with its primary result code: the database's fault, not the
/// input's. A caller that can wait tries a busy() one again later.
class DatabaseError : public ZvError {
public:
    /// engineText: SQLite's own text, when the message says more around it.
    DatabaseError(QString message, int code, QString engineText = {});
    int code() const { return m_code; }
    /// SQLite's own text, without the file the message names.
    const QString& engineText() const { return m_engineText; }
    /// Another connection holds the database (busy or locked).
    bool busy() const;

private:
    int m_code;
    QString m_engineText;
};

/// The connection to the fee database file. Every failure raises ZvError with SQLite's own text
/// (as DatabaseError) or with the texts below; operations on a closed connection raise
/// "Cannot perform this operation on a closed database".
class FeeDatabase {
public:
    FeeDatabase() = default;
    ~FeeDatabase();
    FeeDatabase(const FeeDatabase&) = delete;
    FeeDatabase& operator=(const FeeDatabase&) = delete;

    /// The file path; may only change while the connection is closed.
    void setDatabaseName(const QString& path);
    const QString& databaseName() const { return m_path; }
    bool isOpen() const { return m_db != nullptr; }

    /// Opens the existing file for reading and writing, never creating it.
    /// Raises "Cannot open file %s" with the full path, also for a path that is not a regular file
    /// (a device such as /dev/zero, a FIFO, a folder). A write that fails because the file or
    /// its folder cannot be written raises "Cannot write the fee database "PATH": " + the cause.
    void Open();
    /// Opens the existing file for reading only, for reports: a statement that the engine does
    /// not call read-only (a change, a schema change, VACUUM, a PRAGMA that writes) is refused
    /// when it is prepared, with kNotReadOnlyText, and so is every ATTACH and DETACH
    /// (kNoAttachText); nothing of such a statement runs, and no file is written.
    void OpenReadOnly();
    /// True for a connection that OpenReadOnly opened.
    bool readsOnly() const { return m_readsOnly; }
    /// Raises kNotReadOnlyText when the connection reads only and the statement would write.
    void requireAllowed(const Statement& stmt) const;
    /// Creates a new empty database file at the path and opens it.
    void CreateDatabase();
    void Close();

    /// Runs every statement of the text; no result rows.
    void Execute(const QString& sql);
    /// Prepares one statement with "?" parameters.
    Statement Prepare16(const QString& sql);
    void Bind_Int(Statement& stmt, int index, qint32 value);
    /// A number read back from the database, which may lie outside 32 bits.
    void Bind_Int64(Statement& stmt, int index, qint64 value);
    void Bind_Double(Statement& stmt, int index, double value);
    /// Binds text; an empty text is bound as empty text, never as NULL.
    void Bind_Str16(Statement& stmt, int index, const QString& value);
    /// Binds text already in UTF-8, the database's own encoding, so nothing is converted when
    /// the statement runs (the import's many rows); empty text is bound as empty text. SQLite
    /// copies the text, unless inPlace: then it reads the text where it lies, which must stay
    /// unchanged until the statement has been stepped.
    void Bind_Utf8(Statement& stmt, int index, QByteArrayView value, bool inPlace = false);
    /// One step; true when it yielded a row. A busy or locked database is tried again 10 ms
    /// later, 8 tries in all, before its error is raised.
    bool Step(Statement& stmt);
    /// One step (with the same retries), then a reset so the statement can be bound and stepped
    /// again. The reset happens also when the step failed.
    bool StepAndReset(Statement& stmt);

    /// BEGIN DEFERRED TRANSACTION at the outermost level, otherwise one level deeper.
    void StartTransaction();
    /// One level back; "COMMIT TRANSACTION;" when leaving the outermost level; nothing when no
    /// transaction is open.
    void Commit();
    /// Leaves any open transaction, rolling back what it holds, and resets the level count.
    /// Never raises: it is called on failure paths.
    void Rollback() noexcept;
    int transactionLevel() const { return m_level; }

    /// The raw handle, for the result view reader of this library.
    sqlite3* handle() const { return m_db; }
    /// Raises the closed-database error when the connection is closed.
    void requireOpen() const;
    /// Raises ZvError with the connection's current SQLite message.
    [[noreturn]] void raiseLastError() const;

private:
    void openWith(int flags);
    /// The error of a failed call, with the file and the cause named where the engine's text
    /// names neither.
    DatabaseError errorFor(int rc, const QString& engineText) const;

    QString m_path;
    sqlite3* m_db = nullptr;
    int m_level = 0;
    bool m_readsOnly = false;
};

inline constexpr auto kNotReadOnlyText =
    u"The statement was not run: it would write, and a report only reads the fee database";
inline constexpr auto kNoAttachText =
    u"The statement was not run: a report only reads the fee database, and ATTACH or DETACH "
    u"would reach other files";

/// The two statements that create the fee tables.
extern const char* const kCreateMasterSql;
extern const char* const kCreateDetailSql;

/// Opens the file at path, or creates it with the two tables when no file exists there; an empty
/// file (0 bytes) counts as no file.
void OpenOrCreateFeeDatabase(FeeDatabase& db, const QString& path);
