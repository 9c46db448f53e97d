#include "Main.h"
#include "TRView.h"
#include "error.h"
#include "sqlmemo.h"
#include "testservers.h"
#include "testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <httplib.h>
#include <memory>
#include <sqlite3.h>
#include <stdexcept>

namespace {
QStringList columnsOf(FeeDatabase& db, const QString& table) {
    Statement st = db.Prepare16(QStringLiteral("SELECT * FROM ") + table);
    QStringList names;
    for (int i = 0; i < sqlite3_column_count(st.get()); ++i)
        names << QString::fromUtf8(sqlite3_column_name(st.get(), i));
    return names;
}

/// The control that holds the keyboard focus: the named control that the focus widget is or
/// belongs to (a tab strip to its page control, a picker's text to its picker).
QString focusedControl() {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            return w->objectName();
    return QStringLiteral("<none>");
}

/// Answers every message box the window shows with OK, noting what its text label holds and
/// whether the label renders it as plain text.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            texts << label->text();
            plain << (label->textFormat() == Qt::PlainText);
            centres << box->geometry().center();
            overShownWindow << (box->parentWidget() && box->parentWidget()->isVisible());
            box->accept();
        });
        m_timer.start(5);
    }
    QStringList texts;
    QList<bool> plain;
    QList<QPoint> centres;
    QList<bool> overShownWindow;

private:
    QTimer m_timer;
};
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;

    QString settingsFile() const {
        return m_dir->filePath(QStringLiteral("Kestrelle/ZVFeeStats.ini"));
    }
    QString dbFile() const { return m_dir->filePath(QStringLiteral("ZVFee2.db3")); }
    QString stored(const char* name) const {
        return QSettings(settingsFile(), QSettings::IniFormat)
            .value(QStringLiteral("ZVFee/") + QLatin1String(name), QStringLiteral("<missing>"))
            .toString();
    }
    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>(dbFile(), &m_messages);
        form->ShowAtStart();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        return form;
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_messages.clear();
    }

    void firstStartWithNothing() {
        auto form = start();
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(form->size(), QSize(654, 442));
        QVERIFY(!form->isMaximized());
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        // Centred but for the platform's frame, which is not known before the window shows.
        QVERIFY((form->geometry().center() - screenCentre).manhattanLength() <= 6);
        QCOMPARE(form->windowTitle(), QStringLiteral("Zorvane - Tourney Fee Stats 2.05"));

        QCOMPARE(form->ServerIP->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form->FilePort->text(), QStringLiteral("8087"));
        QCOMPARE(form->APIPath->text(), QStringLiteral("api"));
        QVERIFY(!form->RememberPW->isChecked());
        QVERIFY(form->APIPW->text().isEmpty());
        QVERIFY(form->LastFolder.isEmpty());

        QVERIFY(form->db().isOpen());
        QCOMPARE(columnsOf(form->db(), QStringLiteral("Master")),
                 QStringList({"TNumber", "TName", "Date", "Time", "Seconds", "Entrants", "Paid",
                              "Bonus", "Multiply", "BuyIn", "Fee", "RebuyFee"}));
        QCOMPARE(columnsOf(form->db(), QStringLiteral("Detail")),
                 QStringList({"TNumber", "Player", "Fees"}));
        QCOMPARE(form->SortField, QStringLiteral("TNumber"));
        QVERIFY(!form->SortDescending);
        QCOMPARE(form->MasterSQL, QStringLiteral("SELECT * FROM Master ORDER BY TNumber;"));
        QCOMPARE(form->DetailSQL, QStringLiteral("SELECT TNumber, Player, Fees FROM Detail;"));

        for (QTableView* grid : {form->MasterGrid, form->DetailGrid, form->ReportGrid})
            QVERIFY(!grid->model() || grid->model()->rowCount() == 0);
        for (QLabel* status :
             {form->TRStatus, form->MasterStatus, form->DetailStatus, form->ReportStatus})
            QVERIFY(status->text().isEmpty());
        QCOMPARE(form->PageControl1->currentWidget(), form->TournamentResultsPage);
        QCOMPARE(form->PageControl2->currentWidget(), form->LocalPage);
        QVERIFY(!form->StartDate->isEnabled() && !form->EndDate->isEnabled());
        QCOMPARE(form->StartDate->text().trimmed(), QString());
        QCOMPARE(form->ReportList->count(), 11);
        QCOMPARE(form->ReportList->currentText(), QStringLiteral("Clear"));
        QCOMPARE(form->APIPW->echoMode(), QLineEdit::Password);
        QVERIFY(form->LocalFolder->isReadOnly());
    }

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

    // Texts from outside reach the operator as they are: markup in them is shown, not rendered.
    void messageBoxesShowPlainText_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("server error text") << "server";
        QTest::newRow("file path") << "path";
        QTest::newRow("engine error") << "sql";
    }
    void messageBoxesShowPlainText() {
        QFETCH(QString, source);
        const QByteArray markup = "<b>Wrong</b> <a href=\"http://example.org\">click here</a>";
        InTestServer server([&](const httplib::Request&, httplib::Response& response) {
            response.set_content(("Result=Error\r\nError=" + markup + "\r\n").toStdString(),
                                 "text/plain");
        });
        auto form = start();
        form->setMessages(nullptr); // the real message boxes
        BoxAnswerer boxes;
        QString expected;
        if (source == QLatin1String("server")) {
            form->PageControl2->setCurrentWidget(form->RemotePage);
            form->FilePort->setText(QString::number(server.port()));
            form->APIPW->setText(QStringLiteral("pw"));
            form->RefreshBtn->click();
            expected = QString::fromUtf8(markup);
        } else if (source == QLatin1String("path")) {
            form->LocalFolder->setText(m_dir->filePath(QStringLiteral("<b>results</b>")));
            form->TRLocalList->addItem(QStringLiteral("TR<i>1</i>.txt"));
            form->LoadTRBtn->click();
            expected = QStringLiteral("Error loading ") + form->LocalFolder->text() +
                       QStringLiteral("/TR<i>1</i>.txt");
        } else {
            form->PageControl1->setCurrentWidget(form->ReportPage);
            form->SQLMemo->setPlainText(QStringLiteral("SELECT * FROM \"<b>x</b>\""));
            form->LoadSQLBtn->click();
            expected = QStringLiteral("no such table: <b>x</b>.");
        }
        QCOMPARE(boxes.texts, QStringList{expected});
        QCOMPARE(boxes.plain, QList<bool>{true});
    }

    // F1 shows what a support mail needs, as text that can be selected; both windows carry the
    // program's icon.
    void aboutBoxAndIcon() {
        auto form = start();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), Qt::Key_F1);
        auto* box = form->findChild<QMessageBox*>(QStringLiteral("AboutBox"));
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().contains("Fee database: " + dbFile() +
                                      "\nSettings file: " + settingsFile() + "\n"),
                 qPrintable(box->text()));
        QVERIFY(box->text().endsWith(u"GNU General Public License, version 3 or later."));
        QVERIFY(box->textInteractionFlags() & Qt::TextSelectableByMouse);
        box->close();
        const QList<QSize> sizes{{48, 48}, {128, 128}, {256, 256}};
        QCOMPARE(form->windowIcon().availableSizes(), sizes);
        QCOMPARE(form->TRViewForm->windowIcon().availableSizes(), sizes);
    }

    void databaseThatCannotBeCreated() {
        const QString blocked = m_dir->filePath(QStringLiteral("no/such/folder/ZVFee2.db3"));
        TMainForm form(blocked, &m_messages);
        form.ShowAtStart();
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QCOMPARE(m_messages.shown[0].second,
                 "Cannot open file \"" + blocked + "\": no such file or directory.");
        QVERIFY(form.isVisible());
        QVERIFY(!form.db().isOpen());
    }

    // A file whose Master lacks a column: one clear error at start, the window opens with its
    // start-up done, and "Empty" refuses the file without asking.
    void foreignDatabaseAtStart() {
        {
            FeeDatabase other;
            OpenOrCreateFeeDatabase(other, dbFile());
            other.Execute(QStringLiteral("ALTER TABLE Master DROP COLUMN RebuyFee"));
        }
        auto form = start();
        const QString error = "Cannot use the fee database \"" + dbFile() +
                              "\": table Master has no column RebuyFee.";
        QCOMPARE(m_messages.texts(), QStringList{error});
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QVERIFY(form->db().isOpen());
        QCOMPARE(form->MasterSQL, QStringLiteral("SELECT * FROM Master ORDER BY TNumber;"));
        form->EmptyDBBtn->click();
        QCOMPARE(m_messages.texts(), (QStringList{error, error}));
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

    void minimumSize() {
        auto form = start();
        form->resize(100, 100);
        QApplication::processEvents();
        QCOMPARE(form->size(), QSize(654, 442));
        QCOMPARE(form->minimumSize() + kDesignFrame, QSize(670, 480));
    }

    // Errors no handler handles reach the general error display; the window carries on.
    void handlerErrorsReachTheGeneralErrorDisplay_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("operator error") << 0 << "no such table: Master"
                                        << "no such table: Master.";
        QTest::newRow("ends in full stop") << 0 << "Done."
                                           << "Done.";
        QTest::newRow("ends in blank") << 0 << "Odd "
                                       << "Odd ";
        QTest::newRow("ends in !") << 0 << "Stop!"
                                   << "Stop!";
        QTest::newRow("empty") << 0 << ""
                               << "";
        QTest::newRow("standard exception") << 1 << "bad value"
                                            << "bad value.";
    }
    void handlerErrorsReachTheGeneralErrorDisplay() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        auto form = start();
        auto* button = new QPushButton(form.get());
        int calls = 0;
        form->connectHandler(button, &QPushButton::clicked, [&] {
            if (++calls == 1) {
                if (kind == 0)
                    throw ZvError(text);
                throw std::runtime_error(text.toStdString());
            }
        });
        button->click();
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QCOMPARE(m_messages.shown[0].second, shown);
        button->click(); // the next event still works
        QCOMPARE(calls, 2);
        QCOMPARE(m_messages.shown.size(), 1);
    }

    void busyCursorIsRestoredOnEveryPath() {
        auto form = start();
        form->runGuarded([] {
            BusyCursor busy;
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            throw ZvError(QStringLiteral("failed"));
        });
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(m_messages.texts(), QStringList{"failed."});
    }

    void enterInsertsNoLineBreakInTheSqlBox() {
        auto form = start();
        form->PageControl1->setCurrentWidget(form->ReportPage);
        form->SQLMemo->setFocus();
        QTest::keyClicks(form->SQLMemo, QStringLiteral("SELECT"));
        QTest::keyClick(form->SQLMemo, Qt::Key_Return);
        QTest::keyClick(form->SQLMemo, Qt::Key_Enter);
        QTest::keyClicks(form->SQLMemo, QStringLiteral(" 1"));
        QCOMPARE(SqlMemoText(*form->SQLMemo), QStringLiteral("SELECT 1"));
    }

    // Tab walks each page as one cycle that starts at the page tabs; Shift+Tab walks it back.
    void tabOrderIsOneCyclePerPage_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("cycle");
        const QStringList buttons{"PageControl1", "RefreshBtn", "LoadTRBtn",
                                  "SelectAllBtn", "ImportBtn",  "PageControl2"};
        QTest::newRow("local files")
            << 0 << 0 << buttons + QStringList{"LocalFolder", "TRLocalList"};
        QTest::newRow("remote files")
            << 0 << 1 << buttons + QStringList{"TRRemoteList", "ServerIP", "FilePort",
                                               "APIPath",      "APIPW",    "RememberPW"};
        QTest::newRow("fee database")
            << 1 << 0 << QStringList{"PageControl1", "DBOpenBtn",  "DBCloseBtn",
                                     "EmptyDBBtn",   "MasterGrid", "DetailGrid"};
        QTest::newRow("reports") << 2 << 0
                                 << QStringList{"PageControl1", "StartCB",    "EndCB",
                                                "ReportList",   "ExportBtn",  "ChartBtn",
                                                "SQLMemo",      "LoadSQLBtn", "ReportGrid"};
        QTest::newRow("reports with dates")
            << 2 << 1 << QStringList{"PageControl1", "StartCB",    "EndCB",     "StartDate",
                                     "EndDate",      "ReportList", "ExportBtn", "ChartBtn",
                                     "SQLMemo",      "LoadSQLBtn", "ReportGrid"};
    }
    void tabOrderIsOneCyclePerPage() {
        QFETCH(int, page);
        QFETCH(int, tab);
        QFETCH(QStringList, cycle);
        auto form = start();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->PageControl1->setCurrentIndex(page);
        if (page == 0)
            form->PageControl2->setCurrentIndex(tab);
        else if (tab == 1) // both date filters on
            form->StartCB->click(), form->EndCB->click();
        form->PageControl1->tabBar()->setFocus(Qt::MouseFocusReason);
        const auto walk = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QStringList visited{focusedControl()};
            for (qsizetype i = 0; i < cycle.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), key, modifiers);
                visited << focusedControl();
            }
            return visited;
        };
        QCOMPARE(walk(Qt::Key_Tab, Qt::NoModifier), cycle + QStringList{cycle.first()});
        QStringList back = cycle;
        std::reverse(back.begin() + 1, back.end());
        QCOMPARE(walk(Qt::Key_Backtab, Qt::ShiftModifier), back + QStringList{cycle.first()});
    }

    void splitterKeepsBothSidesAtLeast100High() {
        auto form = start();
        form->PageControl1->setCurrentWidget(form->DataPage);
        QApplication::processEvents();
        QCOMPARE(form->LowerPanel->height(), 123);
        for (int wanted : {0, 5000}) {
            form->Splitter1->setSizes({wanted, 5000 - wanted});
            QApplication::processEvents();
            QVERIFY(form->UpperPanel->height() >= 100);
            QVERIFY(form->LowerPanel->height() >= 100);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
