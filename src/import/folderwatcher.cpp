#include "folderwatcher.h"

#include "importresults.h"
#include "importrun.h"
#include "localfolder.h"
#include "newfiles.h"

#include "filenames.h"
#include "filetime.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <malloc.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

/// Thrown from the status line of a run when a stop was asked for, so that the run rolls back.
struct RunStopped {};

/// The operator messages of a watcher run: nothing to show, the run's outcome tells all.
class SilentMessages : public OperatorMessages {
public:
    bool show(MessageKind, const QString&) override { return true; }
};

/// What the folder's watch tells of: every change of an entry, and the folder's own end.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB |
                                   IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF |
                                   IN_MOVE_SELF | IN_ONLYDIR;
/// How often a folder that went away is looked for.
constexpr int kFollowLookMs = 100;
/// The event time of the first look: none, the file's own time alone counts.
constexpr qint64 kNoEvent = std::numeric_limits<qint64>::min() / 2;

bool IsFolder(const QString& path) {
    struct stat st = {};
    return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// The stamp of a regular file (links followed); none for anything else.
FileStamp RegularFileStamp(const QString& path) {
    struct stat st = {};
    if (::stat(EncodeFileName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return StampOf(path);
}
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
    m_dueTimer.setSingleShot(true);
    connect(&m_dueTimer, &QTimer::timeout, this, &FolderWatcher::runDue);
    connect(&m_followTimer, &QTimer::timeout, this, &FolderWatcher::follow);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { scan(m_clock.elapsed()); });
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify >= 0) {
        m_events = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
        connect(m_events, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
    }
}

FolderWatcher::~FolderWatcher() {
    delete m_events;
    if (m_inotify >= 0)
        ::close(m_inotify);
}

bool FolderWatcher::start() {
    const QFileInfo folder(m_options.folder);
    if (!folder.isDir()) {
        m_log(u"not a folder: "_s + m_options.folder);
        return false;
    }
    m_folder = folder.absoluteFilePath();
    if (!m_folder.endsWith(u'/'))
        m_folder += u'/';
    m_clock.start();
    if (!watchFolder()) {
        m_log(u"cannot follow the folder "_s + m_folder);
        return false;
    }
    // Every results file is a candidate; the run takes only those new or changed since their
    // recorded import. A file written less than the settle time ago waits for the rest of it.
    scan(kNoEvent);
    return true;
}

bool FolderWatcher::watchFolder() {
    m_pollTimer.stop();
    if (!IsFolder(m_folder))
        return false;
    if (m_inotify >= 0)
        m_watch =
            ::inotify_add_watch(m_inotify, EncodeFileName(m_folder).constData(), kFolderEvents);
    if (m_watch < 0) { // no instance or no watch left: the system's limits
        const int interval = std::max(1000, m_options.retryMs);
        m_log(u"cannot watch the folder (%1); looking at all of it every %2 s"_s.arg(
            QString::fromLocal8Bit(std::strerror(m_inotify < 0 ? EMFILE : errno)),
            QString::number(interval / 1000.0)));
        m_pollTimer.start(interval);
    }
    return true;
}

void FolderWatcher::readEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool overflow = false;
    bool lost = false;
    QStringList touched;
    for (;;) {
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (const char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            p += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW)
                overflow = true;
            else if (event->wd != m_watch) // an earlier watch's last words
                continue;
            else if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))
                lost = true;
            else if (event->len > 0 &&
                     IsResultsFileName(QByteArrayView(static_cast<const char*>(event->name))))
                touched << m_folder + DecodeFileName(QByteArray(event->name));
        }
    }
    if (lost) {
        folderLost();
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (overflow) {
        m_log(u"the system dropped events of the folder; looking at all of it again"_s);
        scan(now);
        return;
    }
    touched.removeDuplicates();
    for (const QString& file : std::as_const(touched))
        fileEvent(file, now);
    schedule();
}

void FolderWatcher::folderLost() {
    if (m_followTimer.isActive())
        return;
    if (m_watch >= 0)
        ::inotify_rm_watch(m_inotify, m_watch); // a folder moved away keeps its watch
    m_watch = -1;
    m_pollTimer.stop();
    m_pending.clear();
    m_dueTimer.stop();
    m_lostMs = m_clock.elapsed();
    m_log(u"the folder went away: %1; looking for it"_s.arg(m_folder));
    m_followTimer.start(kFollowLookMs);
}

void FolderWatcher::follow() {
    if (watchFolder()) {
        m_followTimer.stop();
        m_log(u"following the folder again: "_s + m_folder);
        m_seen.clear(); // another folder: every file in it is looked at
        scan(m_clock.elapsed());
        return;
    }
    if (m_clock.elapsed() - m_lostMs < kFollowMs)
        return;
    m_followTimer.stop();
    m_log(u"the folder is gone: "_s + m_folder);
    Q_EMIT folderGone();
}

qint64 FolderWatcher::dueFor(const FileStamp& stamp, qint64 eventMs) const {
    // The modification time on the watcher's clock; a time to come counts as now.
    const qint64 now = m_clock.elapsed();
    const qint64 ageMs =
        SaturatingDifference(QDateTime::currentMSecsSinceEpoch() * 1000000, stamp.modifiedNs) /
        1000000;
    return std::max(eventMs, now - std::max<qint64>(ageMs, 0)) + m_options.settleMs;
}

void FolderWatcher::scan(qint64 eventMs) {
    if (!IsFolder(m_folder)) {
        folderLost();
        return;
    }
    QHash<QString, FileStamp> seen;
    for (const QString& name : ListResultsFiles(m_folder)) {
        const QString file = path(name);
        const FileStamp stamp = RegularFileStamp(file);
        if (!stamp.exists())
            continue;
        seen.insert(file, stamp);
        const auto old = m_seen.constFind(file);
        if (old == m_seen.constEnd() || *old != stamp)
            note(file, stamp, dueFor(stamp, eventMs));
    }
    m_seen = std::move(seen);
    for (auto it = m_pending.begin(); it != m_pending.end();)
        it = m_seen.contains(it.key()) ? std::next(it) : m_pending.erase(it);
    for (auto it = m_setAside.begin(); it != m_setAside.end();)
        it = m_seen.contains(it.key()) ? std::next(it) : m_setAside.erase(it);
    schedule();
}

void FolderWatcher::fileEvent(const QString& file, qint64 eventMs) {
    const FileStamp stamp = RegularFileStamp(file);
    if (!stamp.exists()) { // gone, or not a file to read
        m_seen.remove(file);
        m_pending.remove(file);
        m_setAside.remove(file);
        return;
    }
    const auto old = m_seen.constFind(file);
    if (old != m_seen.constEnd() && *old == stamp)
        return;
    m_seen.insert(file, stamp);
    note(file, stamp, dueFor(stamp, eventMs));
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
    const auto name = [this](const QString& file) {
        return DisplayFileName(file.mid(m_folder.size()));
    };
    const auto names = [&name](const QStringList& files) {
        QStringList shown;
        for (qsizetype i = 0; i < files.size() && i < kNamesShown; ++i)
            shown << name(files[i]);
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

    bool loading = false; // the run got to its files
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
            run.append({file, name(file)});
        SilentMessages messages;
        // A stop is heeded before every file and before the commit: the last file too.
        const StatusLine status = [&](const QString& text) {
            const bool file = text.startsWith(u"Loading (");
            if (!file && !text.startsWith(u"Updating database"))
                return;
            loading = loading || file;
            if (m_stopRequested())
                throw RunStopped();
        };
        // Each file stands alone: one that cannot be imported waits for a change, and the others
        // are imported without it.
        const ImportRunOutcome outcome =
            ImportResultsFiles(run, m_db, messages, status, {}, ImportRunKind::EachFile);
        QStringList imported = paths;
        for (const FailedFile& failed : outcome.failed) {
            imported.removeOne(failed.path);
            m_setAside.insert(failed.path, StampOf(failed.path));
            const QString shown = name(failed.path);
            // A fault in the text begins with the file's name and its place.
            m_log((failed.message.startsWith(shown + u' ')
                       ? u"not imported "_s + failed.message
                       : u"not imported %1: %2"_s.arg(shown, failed.message)) +
                  u" (set aside until it changes)"_s);
        }
        if (!imported.isEmpty())
            m_log(u"imported %1, %2: %3"_s.arg(FileCount(imported.size()),
                                               TournamentCount(outcome.imported), names(imported)));
    } catch (...) {
        if (m_stopRequested()) {
            m_log((loading ? u"stopped; the run of %1 was rolled back"_s
                           : u"stopped before the run of %1"_s)
                      .arg(FileCount(paths.size())));
            Q_EMIT stopped();
            return;
        }
        QString why;
        try {
            throw;
        } catch (const std::exception& e) { // the database's fault (busy, locked), or the run's
            why = u": "_s + ErrorText(e);
        } catch (...) {
        }
        m_log(u"not imported %1%2; trying again in %3 s"_s.arg(
            FileCount(paths.size()), why, QString::number(m_options.retryMs / 1000.0)));
        retryLater(paths);
    }
}
