#include "error.h"
#include "settings.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {
/// A value read by the rule of its kind, as text, or the error it raised.
QString readAsText(const SettingsStore& store, Setting setting) {
    try {
        switch (SettingInfoOf(setting).kind) {
        case SettingKind::Integer:
            return QString::number(store.ReadInteger(setting));
        case SettingKind::Boolean:
            return store.ReadBool(setting) ? QStringLiteral("true") : QStringLiteral("false");
        case SettingKind::Text:
            return store.ReadText(setting);
        }
    } catch (const ZvError& e) {
        return QStringLiteral("error: ") + e.message();
    }
    return {};
}

Setting settingNamed(const QString& name) {
    for (int i = 0; i <= int(Setting::ViewMax); ++i)
        if (SettingName(Setting(i)) == name)
            return Setting(i);
    qFatal("no setting %s", qPrintable(name));
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    // The file holds exactly `content`; the value is then read by its kind's rule.
    void readingRules_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QByteArray s = "[ZVFee]\n";
        QTest::newRow("no file: integer default") << QByteArray() << "MainWidth"
                                                  << "0";
        QTest::newRow("no file: text default") << QByteArray() << "ServerIP"
                                               << "127.0.0.1";
        QTest::newRow("no file: port default") << QByteArray() << "FilePort"
                                               << "8087";
        QTest::newRow("no file: path default") << QByteArray() << "APIPath"
                                               << "api";
        QTest::newRow("no file: empty default") << QByteArray() << "Password"
                                                << "";
        QTest::newRow("no file: flag") << QByteArray() << "ViewMax"
                                       << "false";
        QTest::newRow("other section only") << QByteArray("[Other]\nServerIP=x\n") << "ServerIP"
                                            << "127.0.0.1";
        QTest::newRow("width stored") << s + "MainWidth=800\n"
                                      << "MainWidth"
                                      << "800";
        QTest::newRow("width negative") << s + "MainWidth=-20\n"
                                        << "MainWidth"
                                        << "-20";
        QTest::newRow("width abc") << s + "MainWidth=abc\n"
                                   << "MainWidth"
                                   << "0";
        QTest::newRow("width empty") << s + "MainWidth=\n"
                                     << "MainWidth"
                                     << "0";
        QTest::newRow("width too large") << s + "MainWidth=99999999999\n"
                                         << "MainWidth"
                                         << "0";
        QTest::newRow("flag 1") << s + "RememberPW=1\n"
                                << "RememberPW"
                                << "true";
        QTest::newRow("flag 2 is true") << s + "RememberPW=2\n"
                                        << "RememberPW"
                                        << "true";
        QTest::newRow("flag -1 is true") << s + "MainMax=-1\n"
                                         << "MainMax"
                                         << "true";
        QTest::newRow("flag 0") << s + "MainMax=0\n"
                                << "MainMax"
                                << "false";
        QTest::newRow("flag abc") << s + "MainMax=abc\n"
                                  << "MainMax"
                                  << "false";
        QTest::newRow("empty text kept") << s + "ServerIP=\n"
                                         << "ServerIP"
                                         << "";
        QTest::newRow("text as is") << s + "ServerIP=poker.example.org\n"
                                    << "ServerIP"
                                    << "poker.example.org";
        QTest::newRow("list is another type") << s + "ServerIP=a, b\n"
                                              << "ServerIP"
                                              << "error: Invalid data type for 'ServerIP'";
        QTest::newRow("list in an integer") << s + "ViewWidth=1,2\n"
                                            << "ViewWidth"
                                            << "error: Invalid data type for 'ViewWidth'";
        QTest::newRow("variant is another type") << s + "MainMax=@Variant(\\0\\0\\0\\x1\\x1)\n"
                                                 << "MainMax"
                                                 << "error: Invalid data type for 'MainMax'";
        QTest::newRow("byte array is another type") << s + "Password=@ByteArray(pw)\n"
                                                    << "Password"
                                                    << "error: Invalid data type for 'Password'";
    }
    void readingRules() {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        const QString path = file(QString::fromLatin1(QTest::currentDataTag()) + ".ini");
        if (!content.isEmpty())
            WriteFileBytes(path, content);
        SettingsStore store(path);
        QCOMPARE(readAsText(store, settingNamed(name)), expected);
        QCOMPARE(QFileInfo::exists(path), !content.isEmpty()); // reading never creates the file
    }

    // Texts the operator can type come back exactly as written, through a new store.
    void textRoundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("comma") << "a, b";
        QTest::newRow("at sign") << "@Variant(x)";
        QTest::newRow("quotes, equals, semicolon") << "p=\"w\";#x";
        QTest::newRow("non-ASCII") << QStringLiteral("\u00c4\u00df\u20ac/Tourney Results");
    }
    void textRoundTrip() {
        QFETCH(QString, text);
        const QString path = file(QStringLiteral("roundtrip.ini"));
        {
            SettingsStore store(path);
            store.WriteText(Setting::Password, text);
            store.Flush();
        }
        SettingsStore again(path);
        QCOMPARE(readAsText(again, Setting::Password), text);
    }

    // A value that is not written, kept or simply not set, keeps its stored text byte for byte,
    // although the settings writer would write it in a form of its own.
    void valuesNotWrittenKeepTheirStoredText_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name");
        QTest::newRow("list") << QByteArray("MainWidth = 1,2\n") << "MainWidth";
        QTest::newRow("variant")
            << QByteArray(R"(RememberPW=@Variant(\0\0\0\x7f\0\0\0\x5QSize\0\0\0\x1\0\0\0\x2))"
                          "\n")
            << "RememberPW";
        QTest::newRow("continued line") << QByteArray("LastFolder=a, \\\n  b\n") << "LastFolder";
        QTest::newRow("quoted, not kept") << QByteArray("Password=\"pw\"\n") << "";
    }
    void valuesNotWrittenKeepTheirStoredText() {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        const QString path = file(QStringLiteral("kept.ini"));
        WriteFileBytes(path, "[ZVFee]\n" + line + "ServerIP=old\n");
        {
            SettingsStore store(path);
            if (!name.isEmpty()) {
                const Setting kept = settingNamed(name);
                store.KeepAsStored({kept});
                if (SettingInfoOf(kept).kind == SettingKind::Text)
                    store.WriteText(kept, QStringLiteral("new"));
                else if (SettingInfoOf(kept).kind == SettingKind::Boolean)
                    store.WriteBool(kept, false);
                else
                    store.WriteInteger(kept, 7);
            }
            store.WriteText(Setting::ServerIP, QStringLiteral("new"));
            store.Flush();
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), "[ZVFee]\n" + line + "ServerIP=new\n");
    }

    void integersAndFlagsAreWrittenAsDecimalText() {
        const QString path = file(QStringLiteral("kinds.ini"));
        {
            SettingsStore store(path);
            store.WriteInteger(Setting::MainWidth, -12);
            store.WriteBool(Setting::MainMax, true);
            store.WriteBool(Setting::RememberPW, false);
            store.Flush();
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        QVERIFY2(content.contains("MainWidth=-12\n"), content.constData());
        QVERIFY2(content.contains("MainMax=1\n"), content.constData());
        QVERIFY2(content.contains("RememberPW=0\n"), content.constData());
        QVERIFY2(content.startsWith("[ZVFee]\n"), content.constData());
    }

    // The file may hold the API password: created, and tightened when found, owner-only.
    void fileIsOwnerOnly_data() {
        QTest::addColumn<bool>("existedWorldReadable");
        QTest::newRow("new file in a new folder") << false;
        QTest::newRow("existing readable file") << true;
    }
    void fileIsOwnerOnly() {
        QFETCH(bool, existedWorldReadable);
        const QString path = file(QString::fromLatin1(QTest::currentDataTag()) + "/Z.ini");
        if (existedWorldReadable) {
            WriteFileBytes(path, "[ZVFee]\nServerIP=x\n");
            QFile::setPermissions(path, QFileDevice::Permissions(0x6644));
        }
        SettingsStore store(path);
        store.WriteText(Setting::Password, QStringLiteral("secret"));
        store.Flush();
        const QFileDevice::Permissions granted = QFile::permissions(path);
        QCOMPARE(granted & QFileDevice::Permissions(0x6000), QFileDevice::Permissions(0x6000));
        QCOMPARE(granted & QFileDevice::Permissions(0x1077), QFileDevice::Permissions());
        QCOMPARE(SettingsStore(path).ReadText(Setting::Password), QStringLiteral("secret"));
    }

    void unwritableFileRaises() {
        // A folder in the path is a file: no rights make that writable.
        const QString blocker = file(QStringLiteral("plainfile"));
        WriteFileBytes(blocker, "x");
        SettingsStore store(blocker + "/Kestrelle/Z.ini");
        store.WriteText(Setting::ServerIP, QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(ZvError, store.Flush());
    }

    void defaultFileFollowsTheConfigFolder() {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        QCOMPARE(SettingsStore::DefaultFilePath(), m_dir.path() + "/Kestrelle/ZVFeeStats.ini");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
