#include "error.h"
#include "stringlist2.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kText = QStringLiteral("Tournament=Café Zoë €\r\nPlace1=Jürgen Rebuys:1\r\nStop=");
const QStringList kLines = {QStringLiteral("Tournament=Café Zoë €"),
                            QStringLiteral("Place1=Jürgen Rebuys:1"), QStringLiteral("Stop=")};

/// The file descriptors the test process holds open.
qsizetype OpenDescriptors() {
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::System | QDir::NoDotAndDotDot)
        .size();
}

QByteArray encoded(const char* encoding, const QString& text) {
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}

} // namespace

class TestStringList2 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodings_data();
    void encodings();
    void lineBreaks_data();
    void lineBreaks();
    void unreadableFileRaises_data();
    void unreadableFileRaises();
    void fileHeldOpenForWritingReads();
    void noRoomForTheTextClosesTheFile();

private:
    QTemporaryDir m_dir;
};

void TestStringList2::encodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("Windows-1252") << encoded("windows-1252", kText) << kLines;
    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF") + kText.toUtf8() << kLines;
    QTest::newRow("UTF-16 LE with mark")
        << QByteArray("\xFF\xFE") + encoded("UTF-16LE", kText) << kLines;
    QTest::newRow("UTF-16 BE with mark")
        << QByteArray("\xFE\xFF") + encoded("UTF-16BE", kText) << kLines;
    // Without a mark UTF-8 is taken for the single-byte code page: keys read, names do not.
    QTest::newRow("UTF-8 without mark")
        << QStringLiteral("Place1=Zoë").toUtf8()
        << QStringList{QString::fromUtf8("Place1=Zo\xC3\x83\xC2\xAB")};
    QTest::newRow("code page gaps keep their code")
        << QByteArray("\x81\x8D\x8F\x90\x9D")
        << QStringList{QStringLiteral("\u0081\u008D\u008F\u0090\u009D")};
    QTest::newRow("a second mark is text")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx") << QStringList{QStringLiteral("\uFEFFx")};
    QTest::newRow("NUL ends the text") << QByteArray("a\r\nb\0c\r\nd", 9) << QStringList{"a", "b"};
    QTest::newRow("NUL ends UTF-16 text")
        << QByteArray("\xFF\xFE") + encoded("UTF-16LE", QStringLiteral("a\nb")) +
               QByteArray("\0\0c\0", 4)
        << QStringList{"a", "b"};
    QTest::newRow("mark only") << QByteArray("\xFF\xFE") << QStringList{};
}

void TestStringList2::encodings() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    const QString path = m_dir.filePath(QStringLiteral("TRencodings.txt"));
    WriteFileBytes(path, bytes);
    TStringList2 list;
    list.LoadFromFile(path);
    QCOMPARE(static_cast<const QStringList&>(list), lines);
}

void TestStringList2::lineBreaks_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    const QStringList abc = {"a", "b", "c"};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc") << abc;
    QTest::newRow("LF") << QByteArray("a\nb\nc") << abc;
    QTest::newRow("CR") << QByteArray("a\rb\rc") << abc;
    QTest::newRow("mixed") << QByteArray("a\rb\nc") << abc;
    QTest::newRow("final break adds no line") << QByteArray("a\r\nb\r\nc\r\n") << abc;
    QTest::newRow("final CR adds no line") << QByteArray("a\rb\rc\r") << abc;
    QTest::newRow("two final breaks add one empty line")
        << QByteArray("a\nb\nc\n\n") << QStringList{"a", "b", "c", ""};
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("blank lines kept") << QByteArray("a\r\n\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("one break") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("blanks stay") << QByteArray(" a \n") << QStringList{" a "};
}

void TestStringList2::lineBreaks() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    const QString path = m_dir.filePath(QStringLiteral("TRbreaks.txt"));
    WriteFileBytes(path, bytes);
    TStringList2 list;
    list.LoadFromFile(path);
    QCOMPARE(static_cast<const QStringList&>(list), lines);
}

void TestStringList2::unreadableFileRaises_data() {
    QTest::addColumn<QString>("name"); // in the test folder, made as the row says; or a path
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "TRmissing.txt"
                             << "No such file or directory";
    QTest::newRow("a folder") << "TRfolder.txt"
                              << "Is a directory";
    QTest::newRow("no permission") << "TRlocked.txt"
                                   << "Permission denied";
    QTest::newRow("a FIFO") << "TRpipe.txt"
                            << "Not a regular file";
    QTest::newRow("a link to a FIFO") << "TRpipelink.txt"
                                      << "Not a regular file";
    QTest::newRow("a device") << "/dev/null"
                              << "Not a regular file";
    QTest::newRow("larger than 256 MiB") << "TRhuge.txt"
                                         << "Larger than 256 MiB";
}

void TestStringList2::unreadableFileRaises() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString path = name.startsWith(u'/') ? name : m_dir.filePath(name);
    const QByteArray fifo = QFile::encodeName(m_dir.filePath(QStringLiteral("TRpipe.txt")));
    if (!QFileInfo::exists(fifo)) {
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("TRfolder.txt"))));
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        QVERIFY(QFile::link(QString::fromLocal8Bit(fifo), m_dir.filePath("TRpipelink.txt")));
    }
    if (name == u"TRlocked.txt") {
        if (geteuid() == 0)
            QSKIP("the superuser reads every file");
        WriteFileBytes(path, "Tournament=x");
        QFile::setPermissions(path, QFileDevice::WriteOwner);
    }
    if (name == u"TRhuge.txt") { // sparse: no disk space taken
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize((qint64(256) << 20) + 1));
    }
    // Should the open wait for a writer of the FIFO, one comes after a second, so that a
    // reader that blocks fails this test instead of hanging it.
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 20 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!done)
            ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK));
    });
    TStringList2 list{"kept"};
    const qsizetype descriptors = OpenDescriptors();
    QString message = QStringLiteral("no error raised");
    QString raisedReason;
    try {
        list.LoadFromFile(path);
    } catch (const ResultsFileError& e) {
        message = e.message();
        raisedReason = e.reason();
    }
    done = true;
    writer.join();
    QCOMPARE(OpenDescriptors(), descriptors);
    QVERIFY2(message.contains(path), qPrintable(message));
    QCOMPARE(raisedReason, reason);
}

// The server keeps a results file open for writing while it runs; reading must not need a lock.
void TestStringList2::fileHeldOpenForWritingReads() {
    const QString path = m_dir.filePath(QStringLiteral("TRopen.txt"));
    WriteFileBytes(path, "Tournament=Open\r\n");
    QProcess writer;
    // Opens the file for appending, takes an exclusive lock on it, writes a line and waits.
    writer.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("exec 3>>\"$0\"; flock -x 3; printf 'Number=9\\r\\n' >&3; "
                                 "echo ready; exec sleep 30"),
                  path});
    QVERIFY(writer.waitForStarted());
    QVERIFY(writer.waitForReadyRead(10000));
    QCOMPARE(writer.readAll(), QByteArray("ready\n"));

    TStringList2 list;
    list.LoadFromFile(path);
    QCOMPARE(static_cast<const QStringList&>(list), (QStringList{"Tournament=Open", "Number=9"}));
    writer.kill();
    writer.waitForFinished();
}

// A file whose text finds no memory: the allocation fails, and the file is closed all the same.
void TestStringList2::noRoomForTheTextClosesTheFile() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer reserves far more address space than a limit leaves");
#else
    const QString path = m_dir.filePath(QStringLiteral("TRlarge.txt"));
    QFile large(path); // sparse: no disk space taken
    QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(qint64(200) << 20));
    large.close();
    QFile status(QStringLiteral("/proc/self/statm"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const qint64 mapped = status.readAll().split(' ').first().toLongLong() * ::getpagesize();
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_AS, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = rlim_t(mapped + (qint64(64) << 20));
    const qsizetype descriptors = OpenDescriptors();
    bool noMemory = false;
    QCOMPARE(setrlimit(RLIMIT_AS, &limited), 0);
    try {
        TStringList2 list;
        list.LoadFromFile(path);
    } catch (const std::bad_alloc&) {
        noMemory = true;
    }
    setrlimit(RLIMIT_AS, &old);
    QVERIFY(noMemory);
    QCOMPARE(OpenDescriptors(), descriptors);
#endif
}

QTEST_GUILESS_MAIN(TestStringList2)
#include "test_stringlist2.moc"
