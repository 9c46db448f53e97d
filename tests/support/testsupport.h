#pragma once

#include "operatormessages.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

/// Records every message shown and answers confirmations from a queue (OK when the queue is empty).
class RecordingMessages : public OperatorMessages {
public:
    bool show(MessageKind kind, const QString& text) override;
    /// Records the informative line in lines, then the message as show() does.
    bool showWithLine(MessageKind kind, const QString& text, const QString& line) override {
        lines << line;
        return show(kind, text);
    }

    QList<QPair<MessageKind, QString>> shown;
    QList<bool> answers;
    /// The causes given with the errors, in order.
    QStringList causes;
    /// The informative lines shown under messages, in order.
    QStringList lines;
    void cause(const QString& text) override { causes << text; }

    QStringList texts() const;
    void clear() {
        shown.clear();
        causes.clear();
        lines.clear();
    }
};

/// Full path of a fixture in tests/data.
QString TestDataPath(const QString& name);

/// One tournament block of a results file (CR LF line ends) with two players, alpha and bravo,
/// each paying the given entry fee; written when the fee is above 0.
QByteArray ResultsBlock(int number, const QByteArray& fee = "1",
                        const QByteArray& start = "2024-05-03 19:00:00");

/// Writes bytes to a file, creating folders; fails the running test when it cannot.
void WriteFileBytes(const QString& path, const QByteArray& bytes);

/// While it lives, the test runs with the effective user and group "nobody" when it runs as
/// root, so that folder permissions count as they do for an operator (root may write anywhere).
/// Whatever that user is to reach must be open to others.
class AsOrdinaryUser {
public:
    AsOrdinaryUser();
    ~AsOrdinaryUser();
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool m_switched = false;
};

/// Starts counting the peak resident memory of the test process afresh.
void ResetPeakMemory();
/// The peak resident memory of the test process since the last reset (or its start).
qint64 PeakMemoryBytes();
/// The resident memory of the test process now.
qint64 CurrentMemoryBytes();
/// A bound on memory in bytes, three times as large when the environment variable ZV_SANITIZE
/// is set (scripts/sanitize): the address sanitizer's shadow memory and its quarantine of freed
/// blocks count towards the peak.
qint64 MemoryBound(qint64 bytes);
