#include "partfile.h"

#include "error.h"
#include "filedescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// The part files that a signal removes. The handler reads only these fixed arrays: it may run
/// at any moment, so it allocates nothing and calls only unlink and raise.
constexpr int kSlots = 4;
struct Slot {
    std::atomic<bool> armed{false};
    char path[PATH_MAX] = {};
    char journal[PATH_MAX] = {}; // the engine's journal of a part it writes
};
static_assert(std::atomic<bool>::is_always_lock_free);
Slot g_slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM};
std::mutex g_mutex; // guards what follows, never taken in the handler
int g_armedCount = 0;
bool g_installed[2] = {false, false};
struct sigaction g_previous[2];

extern "C" void RemovePartsAndEnd(int signal) {
    for (Slot& slot : g_slots)
        if (slot.armed.load(std::memory_order_acquire)) {
            ::unlink(slot.path);
            ::unlink(slot.journal);
        }
    // SA_RESETHAND has put the default action back: the signal, blocked while this runs, ends
    // the program as soon as the handler returns.
    ::raise(signal);
}

/// Takes the signals over while the first part file is armed, unless the program handles or
/// ignores them itself (it then ends through its own paths, where the owners remove their parts).
void InstallHandler() {
    for (int i = 0; i < 2; ++i) {
        struct sigaction current {};
        if (::sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
            (current.sa_flags & SA_SIGINFO))
            continue;
        struct sigaction action {};
        action.sa_handler = RemovePartsAndEnd;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        g_installed[i] = ::sigaction(kSignals[i], &action, &g_previous[i]) == 0;
    }
}

void RestoreHandler() {
    for (int i = 0; i < 2; ++i) {
        if (!g_installed[i])
            continue;
        // A signal that already ran the handler has reset the action to the default itself.
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
        g_installed[i] = false;
    }
}

constexpr char kJournal[] = "-journal";

int Arm(const QByteArray& path) {
    if (path.size() + qsizetype(sizeof kJournal) > PATH_MAX)
        return -1; // removed by its owner or the next stale-part sweep only
    const std::lock_guard lock(g_mutex);
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = g_slots[i];
        if (slot.armed.load(std::memory_order_relaxed))
            continue;
        std::memcpy(slot.path, path.constData(), size_t(path.size()) + 1);
        std::memcpy(slot.journal, path.constData(), size_t(path.size()));
        std::memcpy(slot.journal + path.size(), kJournal, sizeof kJournal);
        slot.armed.store(true, std::memory_order_release);
        if (g_armedCount++ == 0)
            InstallHandler();
        return i;
    }
    return -1;
}

void Disarm(int index) {
    if (index < 0)
        return;
    const std::lock_guard lock(g_mutex);
    g_slots[index].armed.store(false, std::memory_order_release);
    if (--g_armedCount == 0)
        RestoreHandler();
}

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

PartFile::PartFile(const QString& dest) : m_dest(dest) {
    const QByteArray base = QFile::encodeName(dest) + ".XXXXXX.part";
    // A sweep of stale parts by another program may take the new file's lock, or remove it, in
    // the moment before its lock is held: then another name is taken.
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        QByteArray name = base;
        const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
        if (fd < 0)
            throw ZvError(SystemReason(errno));
        struct stat info {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0) {
            m_fd = fd;
            m_path = QFile::decodeName(name);
            m_journal = m_path + QLatin1StringView(kJournal);
            m_slot = Arm(name);
        } else {
            ::close(fd);
        }
    }
    if (m_fd < 0)
        throw ZvError(SystemReason(EEXIST));
}

PartFile::~PartFile() {
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
    // A part that the engine wrote with a journal (VACUUM INTO) may leave it behind on failure.
    ::unlink(QFile::encodeName(m_journal).constData());
    Disarm(m_slot);
    ::close(m_fd);
}

void PartFile::commit() {
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_dest).constData()) !=
        0)
        throw ZvError(SystemReason(errno));
    m_path.clear();
}

QString PartNamePattern(const QString& destPattern) {
    return destPattern + QStringLiteral("\\.[A-Za-z0-9]{6}\\.part");
}

void RemoveStaleParts(const QString& folder, const QString& namePattern) {
    const QRegularExpression name(
        QRegularExpression::anchoredPattern(QStringLiteral("(%1)(-journal)?").arg(namePattern)));
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch match = name.match(entry);
        if (!match.hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(entry));
        if (match.hasCaptured(2)) { // a journal goes with its part, or alone when that is gone
            if (!QFileInfo::exists(dir.filePath(match.captured(1))))
                ::unlink(path.constData());
            continue;
        }
        const FileDescriptor part(
            ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        // Only a regular file that no running copy holds locked.
        if (part.isOpen() && ::fstat(part.get(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(part.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.constData());
            ::unlink((path + kJournal).constData());
        }
    }
}
