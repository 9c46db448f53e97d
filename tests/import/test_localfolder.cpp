#include "localfolder.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestLocalFolder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startFolder_data();
    void startFolder();
    void listing();
    void listingOrder_data();
    void listingOrder();
    void listingOfMissingFolderIsEmpty();
};

void TestLocalFolder::startFolder_data() {
    QTest::addColumn<QString>("lastFolder");   // relative to the temporary folder; "" for none
    QTest::addColumn<QStringList>("existing"); // folders under the application-data folder
    QTest::addColumn<QString>("expected"); // "program", or a path relative to the temporary folder

    const QStringList both = {"data/Zorvane 3/TourneyResults", "data/Zorvane/TourneyResults"};
    QTest::newRow("last folder exists") << "picked" << both << "picked";
    QTest::newRow("no last folder, Zorvane 3 exists")
        << "" << both << "data/Zorvane 3/TourneyResults";
    QTest::newRow("no last folder, only Zorvane exists")
        << "" << QStringList{"data/Zorvane/TourneyResults"} << "data/Zorvane/TourneyResults";
    QTest::newRow("deleted last folder skips Zorvane 3")
        << "deleted" << both << "data/Zorvane/TourneyResults";
    QTest::newRow("no candidate exists") << "" << QStringList{} << "program";
    QTest::newRow("deleted last folder, no candidate") << "deleted" << QStringList{} << "program";
    QTest::newRow("last folder through a link") << "link" << both << "link";
}

void TestLocalFolder::startFolder() {
    QFETCH(QString, lastFolder);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    QDir().mkpath(root + "picked");
    QVERIFY(QFile::link(root + "picked", root + "link"));
    for (const QString& folder : existing)
        QVERIFY(QDir().mkpath(root + folder));
    const QString program = QStringLiteral("/opt/zvfee/");
    const QString last = lastFolder.isEmpty() ? QString() : root + lastFolder;
    QCOMPARE(LocalStartFolder(last, root + "data", program),
             expected == u"program" ? program : root + expected);
}

void TestLocalFolder::listing() {
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    for (const char* name : {"TR2024-05-03 A.txt", "tr5.TXT", "Tr6.Txt", "TR.txt", "XTR1.txt",
                             "TR1.txt.bak", "TR1.csv", "notes.txt"})
        WriteFileBytes(root + name, "x");
    QVERIFY(QDir().mkpath(root + "TRx.txt"));                    // a folder that matches
    QVERIFY(QDir().mkpath(root + "TRdir"));                      // one that does not
    QVERIFY(QFile::link(root + "nowhere", root + "TRlink.txt")); // a broken link
    QCOMPARE(mkfifo(QFile::encodeName(root + "TRpipe.txt").constData(), 0600), 0);
    QStringList names = ListResultsFiles(root);
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (QStringList{"TR.txt", "TR2024-05-03 A.txt", "TRlink.txt", "TRpipe.txt",
                                 "TRx.txt", "Tr6.Txt", "tr5.TXT"}));
    // The same folder without the trailing delimiter lists the same.
    QCOMPARE(ListResultsFiles(dir.path()).size(), names.size());
}

void TestLocalFolder::listingOrder_data() {
    QTest::addColumn<QStringList>("created"); // in this order
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("by name") << QStringList{"TR04.txt", "TR03.txt", "TR06.txt", "TR05.txt"}
                             << QStringList{"TR03.txt", "TR04.txt", "TR05.txt", "TR06.txt"};
    QTest::newRow("letter case ignored") << QStringList{"tr2.txt", "TR1.txt", "Tr3.TXT"}
                                         << QStringList{"TR1.txt", "tr2.txt", "Tr3.TXT"};
    QTest::newRow("compared in upper case") << QStringList{"TRb.txt", "TR_a.txt", "TRa.txt"}
                                            << QStringList{"TRa.txt", "TRb.txt", "TR_a.txt"};
    QTest::newRow("digits one by one") << QStringList{"TR9.txt", "TR10.txt", "TR1.txt"}
                                       << QStringList{"TR1.txt", "TR10.txt", "TR9.txt"};
    QTest::newRow("equal but for letter case") << QStringList{"trx.txt", "TRX.txt", "TRx.txt"}
                                               << QStringList{"TRX.txt", "TRx.txt", "trx.txt"};
    QTest::newRow("outside ASCII in upper case")
        << QStringList{u"TRéb.txt"_s, u"TRÉa.txt"_s, "TRf.txt", "TRe.txt"}
        << QStringList{"TRe.txt", "TRf.txt", u"TRÉa.txt"_s, u"TRéb.txt"_s};
    QTest::newRow("dotless i is I in upper case")
        << QStringList{"TRj.txt", u"TRı.txt"_s, "TRi.txt"}
        << QStringList{"TRi.txt", u"TRı.txt"_s, "TRj.txt"};
}

void TestLocalFolder::listingOrder() {
    QFETCH(QStringList, created);
    QFETCH(QStringList, listed);
    QTemporaryDir dir;
    for (const QString& name : created)
        WriteFileBytes(dir.filePath(name), "x");
    QCOMPARE(ListResultsFiles(dir.path()), listed);
}

void TestLocalFolder::listingOfMissingFolderIsEmpty() {
    QTemporaryDir dir;
    QCOMPARE(ListResultsFiles(dir.filePath("missing")), QStringList{});
    QCOMPARE(ListResultsFiles(QString()), QStringList{});
    QCOMPARE(FilesLabelText(0), QStringLiteral("Files:  0"));
    QCOMPARE(FilesLabelText(12), QStringLiteral("Files:  12"));
}

QTEST_GUILESS_MAIN(TestLocalFolder)
#include "test_localfolder.moc"
