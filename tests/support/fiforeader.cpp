#include "fiforeader.h"

#include <QFile>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

FifoReader::FifoReader(const QString& path, int timeoutMs) {
    const QByteArray name = QFile::encodeName(path);
    if (::mkfifo(name.constData(), 0600) != 0)
        return;
    // Opened without blocking, so a writer finds a reader at once; no data and no hang-up is
    // reported until a writer has come.
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    if (m_fd < 0)
        return;
    m_thread = std::thread([this, timeoutMs] {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd poller{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&poller, 1, int(left.count())) <= 0)
                break;
            char chunk[65536];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n > 0)
                m_bytes.append(chunk, n);
            else if (n == 0) // the writer has closed
                break;
        }
    });
}

FifoReader::~FifoReader() {
    bytes();
}

QByteArray FifoReader::bytes() {
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return m_bytes;
}

bool IsFifo(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}
