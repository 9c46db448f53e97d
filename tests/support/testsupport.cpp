#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <unistd.h>

bool RecordingMessages::show(MessageKind kind, const QString& text) {
    shown.append({kind, text});
    if (kind != MessageKind::Confirmation)
        return true;
    return answers.isEmpty() ? true : answers.takeFirst();
}

QStringList RecordingMessages::texts() const {
    QStringList out;
    for (const auto& m : shown)
        out << m.second;
    return out;
}

QString TestDataPath(const QString& name) {
    return QStringLiteral(ZV_TEST_DATA_DIR "/") + name;
}

void WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        QFAIL(qPrintable(QStringLiteral("cannot write ") + path));
}

QByteArray ResultsBlock(int number, const QByteArray& fee, const QByteArray& start) {
    return "Tournament=T" + QByteArray::number(number) +
           "\r\nNumber=" + QByteArray::number(number) + "\r\nBuyIn=10+" + fee +
           "\r\nPrizeBonus=0\r\nMultiplyBonus=No\r\nEntrants=2\r\nRebuyFee=No\r\nStart=" + start +
           "\r\nPlace1=alpha\r\nPlace2=bravo\r\nStop=2024-05-03 20:00:00\r\n";
}

AsOrdinaryUser::AsOrdinaryUser() {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() != 0)
        return;
    m_switched = ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
    if (!m_switched)
        qFatal("cannot switch to the user nobody");
}

AsOrdinaryUser::~AsOrdinaryUser() {
    if (m_switched && (::seteuid(0) != 0 || ::setegid(0) != 0))
        qFatal("cannot switch back to root");
}

void ResetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

namespace {
qint64 ProcessStatusBytes(QByteArrayView field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
} // namespace

qint64 PeakMemoryBytes() {
    return ProcessStatusBytes("VmHWM:");
}

qint64 CurrentMemoryBytes() {
    return ProcessStatusBytes("VmRSS:");
}

qint64 MemoryBound(qint64 bytes) {
    return qEnvironmentVariableIsSet("ZV_SANITIZE") ? 3 * bytes : bytes;
}
