#pragma once

#include "feedatabase.h"

#include <QByteArrayView>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <memory>

/// An error in the text of a results file, with its place. message() is the text the window
/// shows; the command line and the watcher's log give placedMessage(): "FILE line 12 (tournament
/// 1207): MESSAGE".
class ResultsTextError : public ZvError {
public:
    ResultsTextError(const QString& message, QString place);
    /// "line 12 (tournament 1207)", or "line 12" before a tournament number was read.
    const QString& place() const { return m_place; }
    /// The file as its run names it; empty until the run sets it.
    const QString& file() const { return m_file; }
    void setFile(const QString& file) { m_file = file; }
    QString placedMessage() const;

private:
    QString m_place;
    QString m_file;
};

/// A tournament that would replace another tournament held under its number: the message names
/// both, and the run that meets it keeps nothing of the file.
class TournamentCollision : public ZvError {
public:
    using ZvError::ZvError;
};

/// Writes the tournaments of results files into the fee database. A tournament written again
/// replaces its Master row and its whole player list: the Detail rows of its number are deleted
/// before its players are written, also when an earlier block of the same file wrote them. The
/// statements are prepared when the first tournament is written and reused, rebound for every
/// row, until the importer goes, so a run of many files prepares them once. The importer opens no
/// transaction: its caller opens one for the run and commits it.
class ResultsImporter {
public:
    explicit ResultsImporter(FeeDatabase& db);
    ~ResultsImporter();
    ResultsImporter(const ResultsImporter&) = delete;
    ResultsImporter& operator=(const ResultsImporter&) = delete;

    /// Reads the lines of one results file (without line terminators) and writes one Master row
    /// per tournament with fee-paying entries and one Detail row per player of it. Returns the
    /// number of tournaments written. Raises ZvError for a start or stop field that is not an
    /// integer ("'%s' is not a valid integer value") or not a valid date and time ("'%s' is not a
    /// valid date and time") as a ResultsTextError with the place of the line, and for database
    /// errors; rows written before stay in the caller's transaction.
    int Import(const QStringList& lines);
    /// The same for the whole text of a results file, cut into lines as a line list would be
    /// (ForEachResultsLine), without making the list.
    int ImportText(QStringView text);
    /// The numbers of the tournaments that the last Import or ImportText wrote, in file order.
    const QList<qint32>& written() const;

    /// Called before each tournament is written, with its number and the UTF-8 of its name,
    /// date and time as they will be stored; it raises (TournamentCollision) to refuse it.
    using WriteCheck = std::function<void(qint32 number, QByteArrayView tname, QByteArrayView date,
                                          QByteArrayView time)>;
    void setWriteCheck(WriteCheck check) { m_check = std::move(check); }

private:
    struct Scan;
    struct Tournament;
    void handleLine(Scan& scan, QStringView line);
    /// Import for lines that forEachLine(f) hands to f one by one.
    template <typename ForEachLine> int importLines(ForEachLine forEachLine);
    void write(const Tournament& t);

    FeeDatabase& m_db;
    Statement m_master;
    Statement m_detail;
    Statement m_deleteDetail;
    QByteArray m_masterTexts[5];  // the Master row's texts in UTF-8 while it is written
    std::unique_ptr<Scan> m_scan; // kept between files: its buffers are reused
    WriteCheck m_check;
};

/// One results file's lines into the fee database; see ResultsImporter::Import.
int ImportResults(const QStringList& lines, FeeDatabase& db);

/// The statements that write a tournament and its players.
extern const char16_t* const kReplaceMasterSql;
extern const char16_t* const kReplaceDetailSql;
extern const char16_t* const kDeleteDetailSql;
