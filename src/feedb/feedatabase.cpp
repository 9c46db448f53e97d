#include "feedatabase.h"

#include "databasefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

const char* const kCreateMasterSql =
    "CREATE TABLE Master (TNumber INTEGER PRIMARY KEY, TName TEXT, Date TEXT, Time TEXT, Seconds "
    "INTEGER, Entrants INTEGER, Paid INTEGER, Bonus REAL, Multiply TEXT, BuyIn REAL, Fee REAL, "
    "RebuyFee TEXT);";
const char* const kCreateDetailSql =
    "CREATE TABLE Detail (TNumber INTEGER, Player TEXT, Fees REAL, PRIMARY KEY (TNumber, Player));";

namespace {
constexpr int kStepTries = 8;
constexpr auto kStepPause = std::chrono::milliseconds(10);

/// The system's text for an error number, starting in lower case as the messages continue it.
QString SystemReason(int error) {
    QString reason = QString::fromLocal8Bit(std::strerror(error));
    if (reason.size() > 1 && reason[0].isUpper() && reason[1].isLower())
        reason[0] = reason[0].toLower();
    return reason;
}

/// Why a file could not be opened: the system's reason when a system call failed (such as
/// "permission denied"), otherwise SQLite's.
QString OpenFailureReason(sqlite3* db, int rc, const QString& path, bool creating) {
    int error = db ? sqlite3_system_errno(db) : 0;
    // A create that the folder refuses is followed by a read-only open inside SQLite, whose
    // "no such file" is all it tells; the folder says why.
    if (creating && !QFileInfo::exists(path)) {
        const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
        if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
            error = errno;
    }
    return error != 0 ? SystemReason(error) : QString::fromUtf8(sqlite3_errstr(rc));
}

/// Why an existing path cannot be a database file: a folder, a device (reads of /dev/zero end in
/// "disk I/O error"), a FIFO (reads wait forever). Empty text for a regular file or no file.
QString NotAFileReason(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return QString();
    return S_ISDIR(info.st_mode) ? QStringLiteral("it is a folder")
                                 : QStringLiteral("it is not a regular file");
}

/// Why a write to the database file failed, when the system can tell: the file or its folder
/// (where the journal goes) that cannot be written. Empty text otherwise.
QString WriteFailureReason(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    if (::faccessat(AT_FDCWD, file.constData(), W_OK, AT_EACCESS) != 0)
        return QStringLiteral("the file cannot be written (%1)").arg(SystemReason(errno));
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return QStringLiteral("its folder cannot be written (%1), so no journal can be made there")
            .arg(SystemReason(errno));
    return QString();
}

/// The authorizer of a connection that reads only: ATTACH could create or write another file,
/// and neither it nor DETACH belongs in a report.
int RefuseAttach(void*, int action, const char*, const char*, const char*, const char*) {
    return action == SQLITE_ATTACH || action == SQLITE_DETACH ? SQLITE_DENY : SQLITE_OK;
}

bool isBusy(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}
} // namespace

DatabaseError::DatabaseError(QString message, int code, QString engineText)
    : ZvError(message), m_code(code & 0xff),
      m_engineText(engineText.isNull() ? std::move(message) : std::move(engineText)) {}

bool DatabaseError::busy() const {
    return isBusy(m_code);
}

void Statement::Finalize::operator()(sqlite3_stmt* stmt) const {
    sqlite3_finalize(stmt);
}

FeeDatabase::~FeeDatabase() {
    Close();
}

void FeeDatabase::setDatabaseName(const QString& path) {
    if (isOpen())
        throw ZvError(QStringLiteral("Cannot change the database name of an open database"));
    m_path = path;
}

void FeeDatabase::openWith(int flags) {
    Close();
    if (const QString reason = NotAFileReason(m_path); !reason.isEmpty())
        throw DatabaseError(QStringLiteral("Cannot open file \"%1\": %2").arg(m_path, reason),
                            SQLITE_CANTOPEN);
    sqlite3* db = nullptr;
    // One thread uses the connection: no per-call mutex (it costs every column read).
    const int rc =
        sqlite3_open_v2(m_path.toUtf8().constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = OpenFailureReason(db, rc, m_path, (flags & SQLITE_OPEN_CREATE) != 0);
        sqlite3_close(db);
        throw DatabaseError(QStringLiteral("Cannot open file \"%1\": %2").arg(m_path, reason), rc);
    }
    sqlite3_extended_result_codes(db, 0);
    m_db = db;
    m_level = 0;
    m_readsOnly = (flags & SQLITE_OPEN_READONLY) != 0;
    if (m_readsOnly)
        sqlite3_set_authorizer(m_db, RefuseAttach, nullptr);
    NoteOpenDatabase(m_path);
}

void FeeDatabase::requireAllowed(const Statement& stmt) const {
    if (m_readsOnly && stmt && !sqlite3_stmt_readonly(stmt.get()))
        throw DatabaseError(QString::fromUtf16(kNotReadOnlyText), SQLITE_READONLY);
}

DatabaseError FeeDatabase::errorFor(int rc, const QString& engineText) const {
    const int primary = rc & 0xff;
    if (m_readsOnly && primary == SQLITE_AUTH) // only RefuseAttach refuses anything
        return DatabaseError(QString::fromUtf16(kNoAttachText), rc);
    if (!m_readsOnly && (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN)) {
        const QString reason = WriteFailureReason(m_path);
        return DatabaseError(QStringLiteral("Cannot write the fee database \"%1\": %2")
                                 .arg(m_path, reason.isEmpty() ? engineText : reason),
                             rc, engineText);
    }
    // The engine's texts of these name no file; with several databases about, the operator
    // needs to know which one.
    if (isBusy(primary))
        return DatabaseError(
            QStringLiteral("%1: another program is using \"%2\"").arg(engineText, m_path), rc,
            engineText);
    if (primary == SQLITE_FULL)
        return DatabaseError(
            QStringLiteral("Cannot write the fee database \"%1\": %2").arg(m_path, engineText), rc,
            engineText);
    if (primary == SQLITE_CORRUPT || primary == SQLITE_IOERR)
        return DatabaseError(
            (primary == SQLITE_CORRUPT
                 ? QStringLiteral("Cannot read the fee database \"%1\": %2")
                 : QStringLiteral("Cannot read or write the fee database \"%1\": %2"))
                .arg(m_path, engineText),
            rc, engineText);
    return DatabaseError(engineText, rc);
}

void FeeDatabase::Open() {
    openWith(SQLITE_OPEN_READWRITE);
}

void FeeDatabase::OpenReadOnly() {
    openWith(SQLITE_OPEN_READONLY);
}

void FeeDatabase::CreateDatabase() {
    openWith(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

void FeeDatabase::Close() {
    if (!m_db)
        return;
    sqlite3_close_v2(m_db);
    ForgetOpenDatabase(m_path);
    m_db = nullptr;
    m_level = 0;
    m_readsOnly = false;
}

void FeeDatabase::requireOpen() const {
    if (!m_db)
        throw DatabaseError(QStringLiteral("Cannot perform this operation on a closed database"),
                            SQLITE_MISUSE);
}

void FeeDatabase::raiseLastError() const {
    throw errorFor(sqlite3_errcode(m_db), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void FeeDatabase::Execute(const QString& sql) {
    requireOpen();
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        QString text = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(message);
        throw errorFor(rc, text);
    }
}

Statement FeeDatabase::Prepare16(const QString& sql) {
    requireOpen();
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare16_v2(m_db, sql.utf16(), int(sql.size() * sizeof(char16_t)), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        raiseLastError();
    }
    if (!stmt) // blanks or comments only: nothing to run
        throw ZvError(QStringLiteral("The SQL text holds no statement"));
    Statement prepared(stmt);
    requireAllowed(prepared);
    return prepared;
}

void FeeDatabase::Bind_Int(Statement& stmt, int index, qint32 value) {
    requireOpen();
    if (sqlite3_bind_int(stmt.get(), index, value) != SQLITE_OK)
        raiseLastError();
}

void FeeDatabase::Bind_Int64(Statement& stmt, int index, qint64 value) {
    requireOpen();
    if (sqlite3_bind_int64(stmt.get(), index, value) != SQLITE_OK)
        raiseLastError();
}

void FeeDatabase::Bind_Double(Statement& stmt, int index, double value) {
    requireOpen();
    if (sqlite3_bind_double(stmt.get(), index, value) != SQLITE_OK)
        raiseLastError();
}

void FeeDatabase::Bind_Str16(Statement& stmt, int index, const QString& value) {
    requireOpen();
    // A null QString has no buffer; bind through an empty literal so the value is '' not NULL.
    static const char16_t empty[1] = {0};
    const void* data = value.isEmpty() ? static_cast<const void*>(empty) : value.utf16();
    if (sqlite3_bind_text16(stmt.get(), index, data, int(value.size() * sizeof(char16_t)),
                            SQLITE_TRANSIENT) != SQLITE_OK)
        raiseLastError();
}

void FeeDatabase::Bind_Utf8(Statement& stmt, int index, QByteArrayView value, bool inPlace) {
    requireOpen();
    static const char empty[1] = {0};
    const char* data = value.isEmpty() ? empty : value.data();
    if (sqlite3_bind_text(stmt.get(), index, data, int(value.size()),
                          inPlace ? SQLITE_STATIC : SQLITE_TRANSIENT) != SQLITE_OK)
        raiseLastError();
}

bool FeeDatabase::Step(Statement& stmt) {
    requireOpen();
    int rc = SQLITE_OK;
    for (int attempt = 1; attempt <= kStepTries; ++attempt) {
        rc = sqlite3_step(stmt.get());
        if (!isBusy(rc) || attempt == kStepTries)
            break;
        std::this_thread::sleep_for(kStepPause);
    }
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // sqlite3_errmsg holds the step's message until the next call on the connection.
    const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_reset(stmt.get());
    throw errorFor(rc, text);
}

bool FeeDatabase::StepAndReset(Statement& stmt) {
    requireOpen();
    const bool row = Step(stmt); // on failure Step has reset the statement already
    if (sqlite3_reset(stmt.get()) != SQLITE_OK)
        raiseLastError();
    return row;
}

void FeeDatabase::StartTransaction() {
    requireOpen();
    if (m_level == 0)
        Execute(QStringLiteral("BEGIN DEFERRED TRANSACTION"));
    ++m_level;
}

void FeeDatabase::Commit() {
    requireOpen();
    if (m_level == 0)
        return;
    if (m_level == 1)
        Execute(QStringLiteral("COMMIT TRANSACTION;"));
    --m_level;
}

void FeeDatabase::Rollback() noexcept {
    m_level = 0;
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK TRANSACTION;", nullptr, nullptr, nullptr);
}

void OpenOrCreateFeeDatabase(FeeDatabase& db, const QString& path) {
    db.setDatabaseName(path);
    const QFileInfo file(path); // follows symbolic links
    if (file.exists()) {
        db.Open();
        // An empty file (an interrupted first start, a file made by hand) is a new database.
        // Its journal could hold a schema still: only one without any is given the tables.
        const auto hasSchema = [&db] {
            Statement objects = db.Prepare16(QStringLiteral("SELECT count(*) FROM sqlite_master"));
            return db.Step(objects) && sqlite3_column_int(objects.get(), 0) > 0;
        };
        if (file.size() > 0 || hasSchema())
            return;
    } else {
        db.CreateDatabase();
    }
    db.Execute(QString::fromLatin1(kCreateMasterSql));
    db.Execute(QString::fromLatin1(kCreateDetailSql));
}
