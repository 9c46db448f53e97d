#pragma once

#include "feedatabase.h"
#include "importedfiles.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>

/// Keeps the fee database up to date with a results folder. Every "TR*.txt" file that is new or
/// changed since its recorded import is imported once it has not changed for the settle time,
/// so a file the server is still writing is never read half-way. Files that settle together go
/// in one run, each file on its own in it; each run logs one line, and one more for each file
/// it left out.
///
/// A run that the database refuses (busy, locked, or any database error) is rolled back whole
/// and its files are tried again after the retry time. A file that cannot be imported (a bad
/// start or stop, a tournament whose number the database holds for another tournament, a file
/// that cannot be read) is left out and set aside until it changes; the others are imported
/// without it. When stopRequested turns true during a run, up to its commit, the run is rolled
/// back whole and stopped() follows.
///
/// The folder is followed through one inotify watch, which tells of every file in it by name.
/// The settle time runs from a file's own last change: due = max(event, modification) + settle.
/// When the system drops events (its queue overflowed), the whole folder is looked at again; when
/// it gives no watch at all (its limit), the folder is looked at every retry time instead. A
/// folder that is deleted or moved away is looked for at its path again, and followed anew
/// when it comes back within kFollowMs; else folderGone() follows.
class FolderWatcher : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString folder;
        int settleMs = 5000;
        int retryMs = 5000;
    };
    FolderWatcher(FeeDatabase& db, Options options, std::function<void(const QString&)> log,
                  std::function<bool()> stopRequested, QObject* parent = nullptr);
    ~FolderWatcher() override;

    /// How long a folder that went away is waited for.
    static constexpr int kFollowMs = 5000;

    /// Begins to follow the folder; every file that is new or changed is due once it is older
    /// than the settle time. False (and a log line) when the folder cannot be followed.
    bool start();

Q_SIGNALS:
    /// The folder went away: nothing more can be followed.
    void folderGone();
    /// A run ended because a stop was asked for.
    void stopped();

private:
    struct Pending {
        FileStamp stamp;
        qint64 dueMs = 0; // on m_clock
    };

    bool watchFolder();
    void readEvents();
    void folderLost();
    void follow();
    void scan(qint64 eventMs);
    void fileEvent(const QString& path, qint64 eventMs);
    qint64 dueFor(const FileStamp& stamp, qint64 eventMs) const;
    void look(const QString& path, const FileStamp& stamp, qint64 eventMs);
    void note(const QString& path, const FileStamp& stamp, qint64 dueMs);
    void schedule();
    void runDue();
    void importFiles(QStringList paths);
    QString path(const QString& name) const { return m_folder + name; }

    FeeDatabase& m_db;
    Options m_options;
    QString m_folder; // absolute, ending in "/"
    std::function<void(const QString&)> m_log;
    std::function<bool()> m_stopRequested;
    int m_inotify = -1;
    int m_watch = -1; // the folder's watch; -1 while there is none
    QSocketNotifier* m_events = nullptr;
    QTimer m_pollTimer;   // looks at the folder while the system gives no watch
    QTimer m_followTimer; // looks for a folder that went away
    QTimer m_dueTimer;
    QElapsedTimer m_clock;
    qint64 m_lostMs = 0;                  // on m_clock: when the folder went away
    QHash<QString, FileStamp> m_seen;     // every results file and its stamp when last looked at
    QHash<QString, Pending> m_pending;    // files waiting to settle
    QHash<QString, FileStamp> m_setAside; // files that ended a run, as they were then
};
