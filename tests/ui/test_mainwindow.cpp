#include "TRView.h"
#include "error.h"
#include "mainwindowfixture.h"
#include "profile.h"
#include "sqlmemo.h"
#include "testservers.h"

#include <QDir>
#include <QScopeGuard>
#include <QScreen>
#include <QTabBar>
#include <QTableView>
#include <algorithm>
#include <httplib.h>
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
} // namespace

class TestMainWindow : public QObject, MainWindowFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpFolder(); }

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

    // The title and the About box name the profile in use; its settings go to its own file.
    void profileNamedInTitleAndAbout_data() {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("settings"); // the file written at the close
        QTest::newRow("default") << ""
                                 << "Zorvane - Tourney Fee Stats 2.05"
                                 << "ZVFeeStats.ini";
        QTest::newRow("profile") << "club2"
                                 << "Zorvane - Tourney Fee Stats 2.05 - club2"
                                 << "ZVFeeStats-club2.ini";
    }
    void profileNamedInTitleAndAbout() {
        QFETCH(QString, profile);
        QFETCH(QString, title);
        QFETCH(QString, settings);
        SetProfile(profile);
        const auto noProfile = qScopeGuard([] { SetProfile(QString()); });
        {
            auto form = start();
            QCOMPARE(form->windowTitle(), title);
            QVERIFY(QTest::qWaitForWindowActive(form.get()));
            QTest::keyClick(form.get(), Qt::Key_F1);
            auto* box = form->findChild<QMessageBox*>(QStringLiteral("AboutBox"));
            QVERIFY(box);
            const QString named = profile.isEmpty() ? QString() : "Profile: " + profile + "\n";
            QVERIFY2(box->text().contains(
                         "\n\n" + named + "Fee database: " + dbFile() +
                         "\nSettings file: " + m_dir->filePath("Kestrelle/" + settings) + "\n"),
                     qPrintable(box->text()));
            QCOMPARE(box->text().contains(u"Profile:"), !profile.isEmpty());
            box->close();
            form->close();
        }
        QCOMPARE(QDir(m_dir->filePath(QStringLiteral("Kestrelle"))).entryList(QDir::Files),
                 QStringList{settings});
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
        QTest::newRow("reports") << 2 << 0 << QStringList{"PageControl1", "StartCB",   "EndCB",
                                                          "ReportList",   "ExportBtn", "ChartBtn",
                                                          "PrintBtn",     "SQLMemo",   "LoadSQLBtn",
                                                          "ReportGrid"};
        QTest::newRow("reports with dates")
            << 2 << 1 << QStringList{"PageControl1", "StartCB",    "EndCB",      "StartDate",
                                     "EndDate",      "ReportList", "ExportBtn",  "ChartBtn",
                                     "PrintBtn",     "SQLMemo",    "LoadSQLBtn", "ReportGrid"};
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
