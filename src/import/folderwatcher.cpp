#include "folderwatcher.h"

#include "importrun.h"
#include "localfolder.h"
#include "newfiles.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <malloc.h>

using namespace Qt::StringLiterals;

namespace {

/// Thrown from the status line of a run when a stop was asked for, so that the run rolls back.
struct RunStopped {};

/// The operator messages of a watcher run: nothing to show, the run's outcome tells all.
class SilentMessages : public OperatorMessages {
public:
    bool show(MessageKind, const QString&) override { return true; }
};

/// Events of one write burst come close together; the folder is looked at once for all of them.
constexpr int kScanDelayMs = 100;
/// How many file names a log line shows.
constexpr qsizetype kNamesShown = 5;

QString FileCount(qsizetype n) {
    return n == 1 ? u"1 file"_s : QString::number(n) + u" files"_s;
}

QString TournamentCount(int n) {
    return n == 1 ? u"1 tournament"_s : QString::number(n) + u" tournaments"_s;
}

QString ErrorText(const std::exception& e) {
    if (const auto* error = dynamic_cast<const ZvError*>(&e))
        return error->message();
    return QString::fromLocal8Bit(e.what());
}

void SortByName(QStringList& paths) {
    std::sort(paths.begin(), paths.end(), ListedBefore);
}

} // namespace

FolderWatcher::FolderWatcher(FeeDatabase& db, Options options,
                             std::function<void(const QString&)> log,
                             std::function<bool()> stopRequested, QObject* parent)
    : QObject(parent), m_db(db), m_options(std::move(options)), m_log(std::move(log)),
      m_stopRequested(std::move(stopRequested)) {
    m_scanTimer.setSingleShot(true);
    m_dueTimer.setSingleShot(true);
    connect(&m_scanTimer, &QTimer::timeout, this, &FolderWatcher::scan);
    connect(&m_dueTimer, &QTimer::timeout, this, &FolderWatcher::runDue);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatcher::scheduleScan);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FolderWatcher::fileChanged);
}

bool FolderWatcher::start() {
    const QFileInfo folder(m_options.folder);
    if (!folder.isDir()) {
        m_log(u"not a folder: "_s + m_options.folder);
        return false;
    }
    m_folder = folder.absoluteFilePath();
    if (!m_watcher.addPath(m_folder)) {
        m_log(u"cannot follow the folder "_s + m_folder);
        return false;
    }
    if (!m_folder.endsWith(u'/'))
        m_folder += u'/';
    m_clock.start();

    // Every results file is a candidate; the run takes only those new or changed since their
    // recorded import. A file written less than the settle time ago waits for the rest of it.
    const qint64 now = m_clock.elapsed();
    const QDateTime wallNow = QDateTime::currentDateTimeUtc();
    scan();
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        const qint64 age = QFileInfo(it.key()).lastModified().msecsTo(wallNow);
        it->dueMs = now + std::clamp<qint64>(m_options.settleMs - age, 0, m_options.settleMs);
    }
    schedule();
    return true;
}

void FolderWatcher::scheduleScan() {
    if (m_scanTimer.isActive())
        return;
    m_scanAskedMs = m_clock.elapsed();
    m_scanTimer.start(kScanDelayMs);
}

void FolderWatcher::scan() {
    if (!QFileInfo(m_folder).isDir()) {
        m_log(u"the folder is gone: "_s + m_folder);
        m_pending.clear();
        m_dueTimer.stop();
        Q_EMIT folderGone();
        return;
    }
    const QStringList watchedList = m_watcher.files();
    const QSet<QString> watched(watchedList.begin(), watchedList.end());
    QStringList toWatch;
    QHash<QString, FileStamp> seen;
    // The settle time runs from the event, not from this look that waited for more of them.
    const qint64 due = m_scanAskedMs + m_options.settleMs;
    for (const QString& name : ListResultsFiles(m_folder)) {
        const QString file = path(name);
        // A file with a watch tells of its changes itself; one replaced by another (a rename
        // over it) lost its watch with the old file.
        const auto old = m_seen.constFind(file);
        if (old != m_seen.constEnd() && watched.contains(file)) {
            seen.insert(file, *old);
            continue;
        }
        if (!QFileInfo(file).isFile())
            continue;
        const FileStamp stamp = StampOf(file);
        seen.insert(file, stamp);
        if (!watched.contains(file))
            toWatch << file;
        if (old == m_seen.constEnd() || *old != stamp)
            note(file, stamp, due);
    }
    m_seen = std::move(seen);
    for (auto it = m_pending.begin(); it != m_pending.end();)
        it = m_seen.contains(it.key()) ? std::next(it) : m_pending.erase(it);
    for (auto it = m_setAside.begin(); it != m_setAside.end();)
        it = m_seen.contains(it.key()) ? std::next(it) : m_setAside.erase(it);

    // Changes inside a file show only on a watch of the file itself.
    if (!toWatch.isEmpty()) {
        const QStringList failed = m_watcher.addPaths(toWatch);
        if (!failed.isEmpty() && !m_watchLimitLogged) {
            m_watchLimitLogged = true;
            m_log(u"cannot follow changes inside %1 (the system's limit of watches?); new files "
                  "are still seen"_s.arg(FileCount(failed.size())));
        }
    }
    schedule();
}

void FolderWatcher::fileChanged(const QString& file) {
    const FileStamp stamp = StampOf(file);
    // Gone, or replaced by another file (the watch went with the old one): the look at the
    // folder sorts it out.
    if (!stamp.exists() || !m_watcher.files().contains(file))
        scheduleScan();
    if (!stamp.exists())
        return;
    const auto old = m_seen.constFind(file);
    if (old != m_seen.constEnd() && *old == stamp)
        return;
    m_seen.insert(file, stamp);
    note(file, stamp, m_clock.elapsed() + m_options.settleMs);
    schedule();
}

void FolderWatcher::note(const QString& file, const FileStamp& stamp, qint64 dueMs) {
    const auto aside = m_setAside.constFind(file);
    if (aside != m_setAside.constEnd()) {
        if (*aside == stamp)
            return;
        m_setAside.erase(aside);
    }
    m_pending.insert(file, {stamp, dueMs});
}

void FolderWatcher::schedule() {
    if (m_pending.isEmpty()) {
        m_dueTimer.stop();
        return;
    }
    qint64 first = std::numeric_limits<qint64>::max();
    for (const Pending& p : std::as_const(m_pending))
        first = std::min(first, p.dueMs);
    m_dueTimer.start(int(std::clamp<qint64>(first - m_clock.elapsed(), 0, 24 * 3600 * 1000)));
}

void FolderWatcher::runDue() {
    const qint64 now = m_clock.elapsed();
    QStringList due;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->dueMs > now) {
            ++it;
            continue;
        }
        const FileStamp stamp = StampOf(it.key());
        if (!stamp.exists()) {
            it = m_pending.erase(it);
        } else if (stamp != it->stamp) { // changed without a word: wait for it to settle
            m_seen.insert(it.key(), stamp);
            *it = {stamp, now + m_options.settleMs};
            ++it;
        } else {
            due << it.key();
            it = m_pending.erase(it);
        }
    }
    if (!due.isEmpty()) {
        SortByName(due);
        importFiles(due);
        // A run of many files leaves much freed memory behind; a watcher then idles for hours.
        malloc_trim(0);
    }
    schedule();
}

void FolderWatcher::importFiles(QStringList paths) {
    const auto names = [this](const QStringList& files) {
        QStringList shown;
        for (qsizetype i = 0; i < files.size() && i < kNamesShown; ++i)
            shown << files[i].mid(m_folder.size());
        QString text = shown.join(u", "_s);
        if (files.size() > kNamesShown)
            text += u" and %1 more"_s.arg(files.size() - kNamesShown);
        return text;
    };
    const auto retryLater = [this](const QStringList& files) {
        const qint64 due = m_clock.elapsed() + m_options.retryMs;
        for (const QString& file : files)
            m_pending.insert(file, {StampOf(file), due});
    };

    while (!paths.isEmpty()) {
        qsizetype loading = -1; // the file of the run being read
        try {
            paths = NewOrChangedFiles(m_db, paths).paths;
            paths.removeIf([this](const QString& file) {
                const auto aside = m_setAside.constFind(file);
                return aside != m_setAside.constEnd() && *aside == StampOf(file);
            });
            if (paths.isEmpty())
                return;
            QList<ImportRunFile> run;
            for (const QString& file : std::as_const(paths))
                run.append({file, file});
            SilentMessages messages;
            const StatusLine status = [&](const QString& text) {
                if (!text.startsWith(u"Loading ("))
                    return;
                ++loading;
                if (m_stopRequested())
                    throw RunStopped();
            };
            const ImportRunOutcome outcome = ImportResultsFiles(run, m_db, messages, status, {});
            const qsizetype imported = outcome.unreadablePath.isEmpty() ? paths.size() : loading;
            QString line =
                u"imported %1, %2"_s.arg(FileCount(imported), TournamentCount(outcome.imported));
            if (imported > 0)
                line += u": "_s + names(paths.first(imported));
            if (outcome.unreadablePath.isEmpty()) {
                m_log(line);
                return;
            }
            // The files after an unreadable one were not read: they go again without it.
            m_setAside.insert(outcome.unreadablePath, StampOf(outcome.unreadablePath));
            m_log(line + u"; Error loading "_s + outcome.unreadablePath +
                  u" (set aside until it changes)"_s);
            paths = paths.mid(loading + 1);
        } catch (...) {
            if (m_stopRequested()) {
                m_log((loading < 0 ? u"stopped before the run of %1"_s
                                   : u"stopped; the run of %1 was rolled back"_s)
                          .arg(FileCount(paths.size())));
                Q_EMIT stopped();
                return;
            }
            try {
                throw;
            } catch (const DatabaseError& e) {
                m_log(u"not imported %1: %2; trying again in %3 s"_s.arg(
                    FileCount(paths.size()), e.message(),
                    QString::number(m_options.retryMs / 1000.0)));
                retryLater(paths);
                return;
            } catch (const std::exception& e) {
                if (loading < 0 || loading >= paths.size()) { // not the fault of a file
                    m_log(u"not imported %1: %2; trying again in %3 s"_s.arg(
                        FileCount(paths.size()), ErrorText(e),
                        QString::number(m_options.retryMs / 1000.0)));
                    retryLater(paths);
                    return;
                }
                // The file being read ended the run: it waits for a change, the others go again.
                const QString bad = paths.takeAt(loading);
                m_setAside.insert(bad, StampOf(bad));
                m_log(u"not imported %1: %2 (set aside until it changes)%3"_s.arg(
                    bad.mid(m_folder.size()), ErrorText(e),
                    paths.isEmpty() ? QString() : u"; the others go again"_s));
            } catch (...) {
                m_log(u"not imported %1; trying again in %2 s"_s.arg(
                    FileCount(paths.size()), QString::number(m_options.retryMs / 1000.0)));
                retryLater(paths);
                return;
            }
        }
    }
}
