#pragma once

#include <QByteArray>
#include <QString>
#include <thread>

/// A FIFO made at path, with a reader on a thread of its own that collects what the first writer
/// writes until it closes. It never blocks a test: a writer that never comes (the FIFO replaced
/// by a file, say) ends the reading after timeoutMs.
class FifoReader {
public:
    explicit FifoReader(const QString& path, int timeoutMs = 5000);
    ~FifoReader();
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;

    /// Waits for the reading to end; what was read.
    QByteArray bytes();

private:
    int m_fd = -1;
    QByteArray m_bytes;
    std::thread m_thread;
};

/// Whether path names a FIFO (not following symbolic links).
bool IsFifo(const QString& path);
