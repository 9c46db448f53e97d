#include "feedbfixture.h"
#include "filenames.h"
#include "importrun.h"
#include "newfiles.h"
#include "testsupport.h"

#include <QDir>
#include <QScopeGuard>
#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestImportRunFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runFilesInOrder_data();
    void runFilesInOrder();
    void runOverManyFilesHoldsNoStringPerFile();
};

void TestImportRunFiles::runFilesInOrder_data() {
    QTest::addColumn<QStringList>("entries"); // made in a temporary folder; "x/" is a folder
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("a folder in list order, results files only")
        << QStringList{"r/TR2.txt", "r/tr1.txt", "r/TR10.txt", "r/notes.txt", "r/TRx.txt/"}
        << QStringList{"r"} << QStringList{"r/tr1.txt", "r/TR10.txt", "r/TR2.txt"};
    QTest::newRow("files and folders in argument order")
        << QStringList{"a/TR1.txt", "b/TR2.txt", "b/TR3.txt", "c.txt"}
        << QStringList{"b/", "c.txt", "a", "missing.txt", "a/TR1.txt"}
        << QStringList{"b/TR2.txt", "b/TR3.txt", "c.txt", "a/TR1.txt", "missing.txt", "a/TR1.txt"};
    QTest::newRow("empty folders add nothing")
        << QStringList{"e/", "f/TR1.txt", "g/"} << QStringList{"e", "f", "g"}
        << QStringList{"f/TR1.txt"};
    // A byte that is not UTF-8 is held as DecodeFileName gives it, and goes back to that byte.
    const QString latin1 = u"n/TR"_s + QChar(char16_t(0xDC00 + 0xE9)) + u".txt"_s;
    QTest::newRow("names that are not UTF-8, and names outside ASCII")
        << QStringList{latin1, u"n/TRé.txt"_s, "n/TRe.txt"} << QStringList{"n"}
        << QStringList{"n/TRe.txt", u"n/TRé.txt"_s, latin1};
}

void TestImportRunFiles::runFilesInOrder() {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    // Qt cannot remove a name that is not UTF-8; the bytes of the names can.
    const auto removeTree = qScopeGuard(
        [&dir] { std::filesystem::remove_all(std::filesystem::path(dir.path().toStdString())); });
    const QString root = dir.path() + u'/';
    for (const QString& entry : entries) {
        const QString path = root + entry;
        QVERIFY(QDir().mkpath(path.endsWith(u'/') ? path : path.left(path.lastIndexOf(u'/'))));
        if (!path.endsWith(u'/')) {
            const int fd = ::creat(EncodeFileName(path).constData(), 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
    }
    for (QString& argument : arguments)
        argument.prepend(root);
    for (QString& path : expected)
        path.prepend(root);
    const ImportRunFiles files = RunFilesOf(arguments);
    QCOMPARE(files.size(), expected.size());
    QCOMPARE(files.paths(), expected);
    QCOMPARE(ResultsFilesOf(arguments), expected);
}

void TestImportRunFiles::runOverManyFilesHoldsNoStringPerFile() {
    // The server writes a file a tournament: a run over a folder of many files must not hold a
    // string, or more, for each of them, or its memory grows with the rows. Strings of the paths
    // took about 390 bytes a file; the names' bytes take about 60.
    constexpr int kFiles = 10000;
    FeeDbFixture fixture;
    const QString folder = fixture.folder() + u"/TourneyResults/"_s;
    for (int i = 1; i <= kFiles; ++i)
        WriteFileBytes(
            folder + u"TR2024-05-03 Sunday Deepstack Rebuy %1.txt"_s.arg(i, 6, 10, QChar(u'0')),
            ResultsBlock(i));
    RecordingMessages messages;
    QString lastStatus;
    const auto run = [&] {
        return ImportResultsFiles(RunFilesOf({folder}), fixture.db, messages,
                                  [&](const QString& status) {
                                      if (!status.isEmpty())
                                          lastStatus = status;
                                  },
                                  {});
    };
    // A first run readies the engine (its page cache, the statements); memory that it freed is
    // given back, so the second run counts what it holds itself.
    run();
    malloc_trim(0);
    ResetPeakMemory();
    const qint64 before = CurrentMemoryBytes();
    const ImportRunOutcome outcome = run();
    const qint64 peak = PeakMemoryBytes() - before;
    QCOMPARE(outcome.imported, kFiles);
    QCOMPARE(lastStatus, u"Updating database ..."_s);
    QCOMPARE(fixture.rows(u"SELECT count(*), min(TNumber), max(TNumber) FROM Master"_s),
             QStringList{u"%1|1|%1"_s.arg(kFiles)});
    qInfo("peak memory of the run %lld KiB, %lld bytes a file", peak >> 10, peak / kFiles);
    QVERIFY2(peak < qint64(kFiles) * 200, qPrintable(QString::number(peak)));
}

QTEST_GUILESS_MAIN(TestImportRunFiles)
#include "test_importrunfiles.moc"
