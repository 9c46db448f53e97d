#include "databasefiles.h"
#include "error.h"
#include "feedatabase.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestDatabaseFiles : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        // data/fees.db3 with a hard link and a symbolic link; the folder linked as well.
        WriteFileBytes(path(u"data/fees.db3"_s), "database");
        WriteFileBytes(path(u"data/copy.db3"_s), "database");
        QVERIFY(::link(QFile::encodeName(path(u"data/fees.db3"_s)).constData(),
                       QFile::encodeName(path(u"hard.db3"_s)).constData()) == 0);
        QVERIFY(QFile::link(u"data/fees.db3"_s, path(u"link.db3"_s)));
        QVERIFY(QFile::link(path(u"data"_s), path(u"linked"_s)));
        QVERIFY(QFile::link(u"data/fees.db3-shm"_s, path(u"dangling"_s)));
        QVERIFY(QFile::link(u"dangling"_s, path(u"chain"_s)));
    }

    void isDatabaseFile_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("database");
        QTest::addColumn<bool>("refused");
        const QString db = u"data/fees.db3"_s;
        QTest::newRow("the file") << db << db << true;
        QTest::newRow("a symbolic link to it") << u"link.db3"_s << db << true;
        QTest::newRow("a hard link to it") << u"hard.db3"_s << db << true;
        QTest::newRow("through a linked folder") << u"linked/fees.db3"_s << db << true;
        QTest::newRow("a dotted path") << u"data/../data/./fees.db3"_s << db << true;
        QTest::newRow("its journal, not made yet") << u"data/fees.db3-journal"_s << db << true;
        QTest::newRow("its wal through a linked folder") << u"linked/fees.db3-wal"_s << db << true;
        QTest::newRow("a dangling link to its shm") << u"dangling"_s << db << true;
        QTest::newRow("a link to that link") << u"chain"_s << db << true;
        QTest::newRow("database opened through a link")
            << u"data/fees.db3-wal"_s << u"link.db3"_s << true;
        QTest::newRow("a copy") << u"data/copy.db3"_s << db << false;
        QTest::newRow("a name beside it") << u"data/fees.db3.csv"_s << db << false;
        QTest::newRow("a longer suffix") << u"data/fees.db3-journal.csv"_s << db << false;
        QTest::newRow("the same name elsewhere") << u"fees.db3"_s << db << false;
    }
    void isDatabaseFile() {
        QFETCH(QString, target);
        QFETCH(QString, database);
        QFETCH(bool, refused);
        QCOMPARE(IsDatabaseFile(path(target), path(database)), refused);
    }

    // Only a database that is open counts, and only while it is.
    void refusedWhileTheDatabaseIsOpen() {
        const QString file = path(u"open.db3"_s);
        const QString link = path(u"open-link.csv"_s);
        QVERIFY(QFile::link(file, link));
        const auto error = [&] {
            try {
                RefuseOutputOntoDatabase(link);
            } catch (const ZvError& e) {
                return e.message();
            }
            return QString();
        };
        FeeDatabase db;
        OpenOrCreateFeeDatabase(db, file);
        QCOMPARE(error(), u"Cannot write \"%1\": it is the fee database."_s.arg(link));
        db.Close();
        QCOMPARE(error(), QString());
    }
};

QTEST_GUILESS_MAIN(TestDatabaseFiles)
#include "test_databasefiles.moc"
