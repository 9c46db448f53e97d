#include "databaselocation.h"
#include "profiledatabases.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr auto kEveryone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
} // namespace

class TestDatabaseLocation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rule_data();
    void rule();
    void knownProfiles();
};

void TestDatabaseLocation::rule_data() {
    QTest::addColumn<QString>("profile");   // empty: the default database
    QTest::addColumn<QString>("fileThere"); // the database file beside the program already
    QTest::addColumn<bool>("writable");     // the program's folder is writable
    QTest::addColumn<bool>("installed");    // ../share/zvfeestats beside the program's folder
    QTest::addColumn<bool>("xdgDataHome");  // XDG_DATA_HOME set (else HOME decides)
    QTest::addColumn<QString>("expected");  // "beside", or the folder below the temporary one

    const QString none, db = "ZVFee2.db3", profileDb = "ZVFee2-club2.db3";
    QTest::newRow("file beside the program, read-only folder")
        << none << db << false << false << true << "beside";
    QTest::newRow("file beside an installed program")
        << none << db << false << true << true << "beside";
    QTest::newRow("writable program folder") << none << none << true << false << true << "beside";
    QTest::newRow("read-only program folder")
        << none << none << false << false << true << "data/Kestrelle";
    QTest::newRow("installed program in a writable folder")
        << none << none << true << true << true << "data/Kestrelle";
    QTest::newRow("read-only program folder, XDG_DATA_HOME unset")
        << none << none << false << false << false << "home/.local/share/Kestrelle";
    QTest::newRow("a profile's database, read-only folder")
        << none << profileDb << false << false << true << "data/Kestrelle";

    QTest::newRow("profile, writable program folder")
        << "club2" << none << true << false << true << "beside";
    QTest::newRow("profile, installed program")
        << "club2" << none << true << true << true << "data/Kestrelle";
    QTest::newRow("profile, read-only folder, XDG_DATA_HOME unset")
        << "club2" << none << false << false << false << "home/.local/share/Kestrelle";
    QTest::newRow("profile beside a default database there")
        << "club2" << db << false << true << true << "beside";
    QTest::newRow("profile's own file there")
        << "club2" << profileDb << false << true << true << "beside";
}

void TestDatabaseLocation::rule() {
    QFETCH(QString, profile);
    QFETCH(QString, fileThere);
    QFETCH(bool, writable);
    QFETCH(bool, installed);
    QFETCH(bool, xdgDataHome);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const QDir root(dir.path());
    const QString program = root.filePath(QStringLiteral("bin"));
    QVERIFY(root.mkpath(QStringLiteral("bin")) && root.mkpath(QStringLiteral("data")) &&
            root.mkpath(QStringLiteral("home")));
    if (installed)
        QVERIFY(root.mkpath(QStringLiteral("share/zvfeestats/samples")));
    if (!fileThere.isEmpty())
        WriteFileBytes(program + u'/' + fileThere, QByteArray());
    // The ordinary user below reaches everything; only the program folder may be closed to it.
    QVERIFY(QFile::setPermissions(dir.path(), kEveryone));
    for (const char* folder : {"data", "home"})
        QVERIFY(QFile::setPermissions(root.filePath(QLatin1String(folder)),
                                      kEveryone | QFile::WriteGroup | QFile::WriteOther));
    QVERIFY(QFile::setPermissions(program, writable
                                               ? kEveryone | QFile::WriteGroup | QFile::WriteOther
                                               : kEveryone & ~QFile::WriteOwner));

    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    if (xdgDataHome)
        qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toUtf8());
    else
        qunsetenv("XDG_DATA_HOME");
    qputenv("HOME", root.filePath(QStringLiteral("home")).toUtf8());
    QString location;
    {
        AsOrdinaryUser ordinary;
        location = ProfileDatabaseLocation(program, profile);
    }
    qputenv("XDG_DATA_HOME", savedData);
    qputenv("HOME", savedHome);

    const QString folder = expected == u"beside" ? program : root.filePath(expected);
    QCOMPARE(location, folder + (profile.isEmpty() ? QStringLiteral("/ZVFee2.db3")
                                                   : u"/ZVFee2-"_s + profile + u".db3"_s));
    QVERIFY(QFileInfo(folder).isDir());
    if (expected != u"beside") { // made for the database, and private to its owner
        QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
    }
    QCOMPARE(QFile::exists(program + QStringLiteral("/ZVFee2.db3")), fileThere == u"ZVFee2.db3");
}

// Profiles are known by their database or settings file; the default files, backups, journals
// and names that cannot be a profile's are none.
void TestDatabaseLocation::knownProfiles() {
    QTemporaryDir dir;
    const QString program = dir.filePath(u"bin"_s);
    const QString config = dir.filePath(u"config"_s);
    for (const QString& name :
         {u"ZVFee2.db3"_s, u"ZVFee2-club2.db3"_s, u"ZVFee2-a.b.db3"_s,
          u"ZVFee2-20240501-120000.db3.bak"_s, u"ZVFee2-club2-20240501-120000.db3.bak"_s,
          u"ZVFee2-club4.db3-journal"_s, u"ZVFee2-.db3"_s, u"ZVFee2-.hidden.db3"_s,
          u"ZVFee2-a b.db3"_s, u"ZVFee2.db3.XXXXXX.part"_s})
        WriteFileBytes(program + u'/' + name, QByteArray());
    for (const QString& name : {u"ZVFeeStats.ini"_s, u"ZVFeeStats-club3.ini"_s,
                                u"ZVFeeStats-club2.ini"_s, u"ZVFeeStats-x.ini.bak"_s})
        WriteFileBytes(config + u"/Kestrelle/"_s + name, QByteArray());
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    const QStringList known = KnownProfiles(program);
    qputenv("XDG_CONFIG_HOME", savedConfig);
    QCOMPARE(known, (QStringList{u"a.b"_s, u"club2"_s, u"club3"_s}));
}

QTEST_GUILESS_MAIN(TestDatabaseLocation)
#include "test_databaselocation.moc"
