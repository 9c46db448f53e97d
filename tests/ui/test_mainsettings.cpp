#include "TRView.h"
#include "mainwindowfixture.h"

#include <QFile>
#include <QScreen>

// Settings read at start and written at the close.
class TestMainSettings : public QObject, MainWindowFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpFolder(); }

    // Settings as found at start: window size and the remote tab's fields.
    void settingsAtStart_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("serverIP");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<QString>("password");
        const QByteArray s = "[ZVFee]\n";
        const QSize design(654, 442);
        QTest::newRow("stored size") << s + "MainWidth=800\nMainHeight=560\n"
                                     << QSize(784, 522) << "127.0.0.1" << false << "";
        QTest::newRow("zero width") << s + "MainWidth=0\nMainHeight=560\n"
                                    << QSize(654, 522) << "127.0.0.1" << false << "";
        QTest::newRow("negative width") << s + "MainWidth=-50\n"
                                        << design << "127.0.0.1" << false << "";
        QTest::newRow("abc width") << s + "MainWidth=abc\n" << design << "127.0.0.1" << false << "";
        QTest::newRow("below minimum") << s + "MainWidth=300\nMainHeight=200\n"
                                       << design << "127.0.0.1" << false << "";
        QTest::newRow("empty server kept") << s + "ServerIP=\n" << design << "" << false << "";
        QTest::newRow("remember without password") << s + "RememberPW=1\n"
                                                   << design << "127.0.0.1" << true << "";
        QTest::newRow("remember 2 counts") << s + "RememberPW=2\nPassword=pw\n"
                                           << design << "127.0.0.1" << true << "pw";
        QTest::newRow("password not remembered") << s + "RememberPW=0\nPassword=pw\n"
                                                 << design << "127.0.0.1" << false << "";
    }
    void settingsAtStart() {
        QFETCH(QByteArray, ini);
        QFETCH(QSize, size);
        QFETCH(QString, serverIP);
        QFETCH(bool, remember);
        QFETCH(QString, password);
        WriteFileBytes(settingsFile(), ini);
        auto form = start();
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(form->size(), size);
        QCOMPARE(form->ServerIP->text(), serverIP);
        QCOMPARE(form->RememberPW->isChecked(), remember);
        QCOMPARE(form->APIPW->text(), password);
    }

    void maximizedAtStartRestoresToStoredSize() {
        WriteFileBytes(settingsFile(), "[ZVFee]\nMainWidth=700\nMainHeight=500\nMainMax=1\n");
        auto form = start();
        QVERIFY(form->isMaximized());
        form->showNormal();
        QTRY_COMPARE(form->size(), QSize(684, 462));
    }

    // A settings value of another type is reported (a viewer's one too) once the window shows;
    // it stops nothing (the database opens) and every other value is read and applied. The close
    // writes the value in use in its place, but for the password's flag, kept as it was stored.
    void unreadableSettingAtStart_data() {
        QTest::addColumn<QByteArray>("line");   // replaces the value of its name
        QTest::addColumn<QString>("applied");   // main window, viewer: outer size; the password
        QTest::addColumn<QByteArray>("mended"); // its line after the close
        QTest::newRow("main width")
            << QByteArray("MainWidth = 1,2") << "670x500 max, 500x400 max, pw"
            << QByteArray("MainWidth=670");
        QTest::newRow("main maximized") << QByteArray("MainMax=\"x\" , y")
                                        << "800x500, 500x400 max, pw" << QByteArray("MainMax=0");
        const QByteArray variant =
            R"(RememberPW=@Variant(\0\0\0\x7f\0\0\0\x5QSize\0\0\0\x1\0\0\0\x2))";
        QTest::newRow("remember password") << variant << "800x500 max, 500x400 max, " << variant;
        QTest::newRow("viewer width")
            << QByteArray("ViewWidth=a, b") << "800x500 max, 600x400 max, pw"
            << QByteArray("ViewWidth=600");
    }
    void unreadableSettingAtStart() {
        QFETCH(QByteArray, line);
        QFETCH(QString, applied);
        QFETCH(QByteArray, mended);
        const QByteArray name = line.left(line.indexOf('=')).trimmed();
        QByteArray ini = "[ZVFee]\n";
        for (const char* value :
             {"MainWidth=800", "MainHeight=500", "MainMax=1", "ServerIP=poker.example.org",
              "RememberPW=1", "Password=pw", "ViewWidth=500", "ViewHeight=400", "ViewMax=1"})
            ini += (QByteArray(value).startsWith(name + '=') ? line : QByteArray(value)) + '\n';
        WriteFileBytes(settingsFile(), ini);
        auto form = start();
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QCOMPARE(m_messages.shown[0].second,
                 QStringLiteral("Invalid data type for '%1'").arg(QString::fromLatin1(name)));
        QVERIFY(form->isVisible());
        QVERIFY(form->db().isOpen());
        QCOMPARE(form->MasterSQL, QStringLiteral("SELECT * FROM Master ORDER BY TNumber;"));
        const auto sizeOf = [](int width, int height, QWidget* window) {
            return QStringLiteral("%1x%2%3").arg(width).arg(height).arg(
                window->windowState() & Qt::WindowMaximized ? " max" : "");
        };
        const QSize viewer = OuterSize(*form->TRViewForm);
        QCOMPARE(sizeOf(form->NormalWidth(), form->NormalHeight(), form.get()) + ", " +
                     sizeOf(viewer.width(), viewer.height(), form->TRViewForm) + ", " +
                     form->APIPW->text(),
                 applied);
        QCOMPARE(form->ServerIP->text(), QStringLiteral("poker.example.org"));

        form->TRViewForm->setModalRunner([](TTRViewForm& view) {
            view.show();
            view.close();
        });
        form->TRViewForm->ShowFile(QStringLiteral("TR1.txt"), {});
        QVERIFY(form->close());
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QVERIFY2(lines.contains(mended), qPrintable(lines.join('|')));
        QVERIFY(lines.contains("Password=pw"));
        QVERIFY(lines.contains("ServerIP=poker.example.org"));
    }

    // Three values that cannot be read: the database opens all the same, one box over the
    // window names all three, and the close mends the file but for the stored password.
    void threeUnreadableSettings() {
        WriteFileBytes(settingsFile(), "[ZVFee]\nMainWidth=800\nMainHeight=a, b\nRememberPW=1\n"
                                       "Password=p, q\nViewMax=@Variant(\\0\\0\\0\\x1\\x1)\n");
        TMainForm form(dbFile(), nullptr); // the real message boxes
        BoxAnswerer boxes;
        form.ShowAtStart();
        QTRY_COMPARE(boxes.texts.size(), 1);
        QCOMPARE(boxes.texts[0],
                 QStringLiteral("Invalid data type for 'MainHeight', 'Password' and 'ViewMax'"));
        QVERIFY(boxes.overShownWindow[0]);
        QVERIFY((boxes.centres[0] - form.geometry().center()).manhattanLength() < 4);
        QVERIFY(form.db().isOpen());
        QVERIFY(form.RememberPW->isChecked());

        QVERIFY(form.close());
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const char* line :
             {"MainWidth=800", "MainHeight=480", "RememberPW=1", "Password=p, q", "ViewMax=0"})
            QVERIFY2(lines.contains(line), qPrintable(line + (": " + lines.join('|'))));
    }

    // Sizes larger than the screen are cut to it when the window shows; restoring a window that
    // opened maximized gives the cut size.
    void sizesBeyondTheScreenAreCut_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("viewer");
        QTest::newRow("main") << QByteArray("MainWidth=999999\nMainHeight=999999\n") << false;
        QTest::newRow("main maximized")
            << QByteArray("MainWidth=999999\nMainHeight=999999\nMainMax=1\n") << false;
        QTest::newRow("viewer") << QByteArray("ViewWidth=999999\nViewHeight=999999\n") << true;
    }
    void sizesBeyondTheScreenAreCut() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, viewer);
        WriteFileBytes(settingsFile(), "[ZVFee]\n" + ini);
        auto form = start();
        QWidget* window = form.get();
        if (viewer) {
            window = form->TRViewForm;
            form->TRViewForm->setModalRunner([](TTRViewForm& view) { view.show(); });
            form->TRViewForm->ShowFile(QStringLiteral("TR1.txt"), {});
        }
        const QSize available = window->screen()->availableGeometry().size();
        if (!window->isMaximized())
            QCOMPARE(OuterSize(*window).boundedTo(available), OuterSize(*window));
        window->showNormal();
        QTRY_COMPARE(OuterSize(*window), available);
    }

    // What each way of closing writes.
    void settingsAtClose_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("expected"); // MainWidth, MainHeight, MainMax, Password
        QTest::newRow("design size") << "plain" << QStringList{"670", "480", "0", ""};
        QTest::newRow("resized") << "resized" << QStringList{"720", "530", "0", ""};
        QTest::newRow("maximized keeps the size before")
            << "maximized" << QStringList{"720", "530", "1", ""};
        QTest::newRow("minimized") << "minimized" << QStringList{"720", "530", "0", ""};
        QTest::newRow("remembered password") << "remember" << QStringList{"670", "480", "0", "pw"};
    }
    void settingsAtClose() {
        QFETCH(QString, how);
        QFETCH(QStringList, expected);
        auto form = start();
        form->APIPW->setText(QStringLiteral("pw"));
        form->ServerIP->setText(QStringLiteral("10.0.0.7"));
        if (how != QLatin1String("plain") && how != QLatin1String("remember"))
            form->resize(704, 492);
        if (how == QLatin1String("maximized"))
            form->showMaximized();
        if (how == QLatin1String("minimized"))
            form->showMinimized();
        if (how == QLatin1String("remember"))
            form->RememberPW->setChecked(true);
        QApplication::processEvents();
        QVERIFY(form->close());
        QCOMPARE((QStringList{stored("MainWidth"), stored("MainHeight"), stored("MainMax"),
                              stored("Password")}),
                 expected);
        QCOMPARE(stored("ServerIP"), QStringLiteral("10.0.0.7"));
        QCOMPARE(stored("RememberPW"), how == QLatin1String("remember") ? "1" : "0");
        QCOMPARE(stored("LastFolder"), QString());
    }

    // Once every value exists, cleared fields come back empty rather than with their defaults.
    void clearedFieldsStayClearedAfterAClose() {
        {
            auto form = start();
            form->ServerIP->clear();
            form->APIPath->clear();
            QVERIFY(form->close());
        }
        auto again = start();
        QVERIFY(again->ServerIP->text().isEmpty());
        QVERIFY(again->APIPath->text().isEmpty());
        QCOMPARE(again->FilePort->text(), QStringLiteral("8087"));
    }

    void settingsThatCannotBeWrittenAreReportedAndTheWindowCloses() {
        auto form = start();
        const QString blocker = m_dir->filePath(QStringLiteral("plainfile"));
        WriteFileBytes(blocker, "x");
        qputenv("XDG_CONFIG_HOME", blocker.toUtf8());
        QVERIFY(form->close());
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QCOMPARE(m_messages.shown[0].second, QStringLiteral("Cannot write the settings file ") +
                                                 blocker + "/Kestrelle/ZVFeeStats.ini.");
    }
};

QTEST_MAIN(TestMainSettings)
#include "test_mainsettings.moc"
