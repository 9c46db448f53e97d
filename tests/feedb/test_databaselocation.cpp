#include "databaselocation.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr auto kEveryone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
} // namespace

class TestDatabaseLocation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rule_data();
    void rule();
};

void TestDatabaseLocation::rule_data() {
    QTest::addColumn<bool>("fileThere");   // a ZVFee2.db3 beside the program already
    QTest::addColumn<bool>("writable");    // the program's folder is writable
    QTest::addColumn<bool>("installed");   // ../share/zvfeestats beside the program's folder
    QTest::addColumn<bool>("xdgDataHome"); // XDG_DATA_HOME set (else HOME decides)
    QTest::addColumn<QString>("expected"); // "beside", or the folder below the temporary one

    QTest::newRow("file beside the program, read-only folder")
        << true << false << false << true << "beside";
    QTest::newRow("file beside an installed program") << true << false << true << true << "beside";
    QTest::newRow("writable program folder") << false << true << false << true << "beside";
    QTest::newRow("read-only program folder")
        << false << false << false << true << "data/Kestrelle";
    QTest::newRow("installed program in a writable folder")
        << false << true << true << true << "data/Kestrelle";
    QTest::newRow("read-only program folder, XDG_DATA_HOME unset")
        << false << false << false << false << "home/.local/share/Kestrelle";
}

void TestDatabaseLocation::rule() {
    QFETCH(bool, fileThere);
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
    if (fileThere)
        WriteFileBytes(program + QStringLiteral("/ZVFee2.db3"), QByteArray());
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
        location = FeeDatabaseLocation(program);
    }
    qputenv("XDG_DATA_HOME", savedData);
    qputenv("HOME", savedHome);

    const QString folder = expected == u"beside" ? program : root.filePath(expected);
    QCOMPARE(location, folder + QStringLiteral("/ZVFee2.db3"));
    QVERIFY(QFileInfo(folder).isDir());
    if (expected != u"beside") { // made for the database, and private to its owner
        QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
    }
    QCOMPARE(QFile::exists(program + QStringLiteral("/ZVFee2.db3")), fileThere);
}

QTEST_GUILESS_MAIN(TestDatabaseLocation)
#include "test_databaselocation.moc"
