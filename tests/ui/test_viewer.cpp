#include "Main.h"
#include "TRView.h"
#include "remoteitems.h"
#include "testservers.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <atomic>
#include <httplib.h>
#include <memory>
#include <sys/stat.h>

namespace {
const QByteArray kThreeTournaments = "Tournament=1001\r\n"
                                     "Name=Sunday Freezeout\r\n"
                                     " Tournament=1002\r\n"
                                     "tournament=1003\r\n"
                                     "Tournament=1004\r\n"
                                     "Player=Ann\r\n"
                                     "Tournament=1005\r\n";

long residentKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return -1;
}
} // namespace

class TestViewer : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;
    int m_beeps = 0;

    QString folder() const { return m_dir->filePath(QStringLiteral("TourneyResults")); }

    std::unique_ptr<TMainForm> start() {
        auto form =
            std::make_unique<TMainForm>(m_dir->filePath(QStringLiteral("ZVFee2.db3")), &m_messages);
        form->TRViewForm->setModalRunner([](TTRViewForm& viewer) {
            viewer.show();
            if (!QTest::qWaitForWindowExposed(&viewer))
                qWarning("viewer not exposed");
        });
        form->TRViewForm->setBeep([this] { ++m_beeps; });
        form->ShowAtStart();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        return form;
    }

    /// Puts files into the local list as a listing would (nothing selected, no focus mark moved).
    void fillLocal(TMainForm& form, const QList<QPair<QString, QByteArray>>& files) {
        form.LocalFolder->setText(folder());
        form.TRLocalList->clear();
        for (const auto& [name, bytes] : files) {
            WriteFileBytes(folder() + u'/' + name, bytes);
            form.TRLocalList->addItem(name);
        }
    }

    TTRViewForm& viewLines(TMainForm& form, const QByteArray& bytes) {
        fillLocal(form, {{QStringLiteral("TR1.txt"), bytes}});
        form.ViewLocalFile();
        return *form.TRViewForm;
    }

    void selectLine(TTRViewForm& viewer, int row) {
        viewer.TRViewer->selectionModel()->setCurrentIndex(viewer.TRViewer->model()->index(row, 0),
                                                           QItemSelectionModel::ClearAndSelect);
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_messages.clear();
        m_beeps = 0;
    }

    void startsHiddenWithItsInitialTexts() {
        auto form = start();
        TTRViewForm& viewer = *form->TRViewForm;
        QVERIFY(!viewer.isVisible());
        QCOMPARE(viewer.windowTitle(), QStringLiteral("View"));
        QCOMPARE(viewer.LinePanel->text(), QStringLiteral("Line:  0 of 0"));
        QCOMPARE(viewer.TournamentsPanel->text(), QStringLiteral("Tournaments:  0"));
        QCOMPARE(viewer.minimumSize() + kDesignFrame, QSize(300, 240));
        QVERIFY(!(viewer.windowFlags() & Qt::WindowMinimizeButtonHint));
    }

    void showsTheFileWithCountAndPosition() {
        auto form = start();
        TTRViewForm& viewer = viewLines(*form, kThreeTournaments);
        QVERIFY(viewer.isVisible());
        QCOMPARE(viewer.windowTitle(), QStringLiteral("TR1.txt"));
        QCOMPARE(viewer.lines().size(), 7);
        QCOMPARE(viewer.lines().at(2), QStringLiteral(" Tournament=1002"));
        // A leading blank or lower case is not a tournament line.
        QCOMPARE(viewer.TournamentsPanel->text(), QStringLiteral("Tournaments:  3"));
        QCOMPARE(viewer.LinePanel->text(), QStringLiteral("Line:  0 of 7"));
        selectLine(viewer, 4);
        QCOMPARE(viewer.LinePanel->text(), QStringLiteral("Line:  5 of 7"));
        // First shown centred over the main window.
        QVERIFY((viewer.geometry().center() - form->geometry().center()).manhattanLength() <= 8);
    }

    // Find next: selection before, find text, then the selected line, beeps and the line panel.
    void findNext_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("find");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("beeps");
        QTest::newRow("one line: nothing, not even a beep")
            << QByteArray("Tournament=1\r\n") << -1 << "Tournament" << -1 << 0;
        QTest::newRow("only match is the selected line")
            << kThreeTournaments << 1 << "freeze" << 1 << 0;
        QTest::newRow("no selection, no match: one beep")
            << kThreeTournaments << -1 << "zeta" << -1 << 1;
        QTest::newRow("no match keeps the selection") << kThreeTournaments << 3 << "zeta" << 3 << 1;
    }
    void findNext() {
        QFETCH(QByteArray, file);
        QFETCH(int, selected);
        QFETCH(QString, find);
        QFETCH(int, after);
        QFETCH(int, beeps);
        auto form = start();
        TTRViewForm& viewer = viewLines(*form, file);
        if (selected >= 0)
            selectLine(viewer, selected);
        viewer.SearchBox->setText(find);
        QTest::mouseClick(viewer.NextBtn, Qt::LeftButton);
        QCOMPARE(viewer.selectedLine(), qsizetype(after));
        QCOMPARE(m_beeps, beeps);
        QCOMPARE(viewer.LinePanel->text(),
                 QStringLiteral("Line:  %1 of %2").arg(after + 1).arg(viewer.lines().size()));
    }

    void foundLineIsCentred() {
        QByteArray file;
        for (int i = 0; i < 400; ++i)
            file += "Player=P" + QByteArray::number(i) + "\n";
        auto form = start();
        TTRViewForm& viewer = viewLines(*form, file);
        viewer.SearchBox->setText(QStringLiteral("p300"));
        viewer.NextBtn->click();
        QCOMPARE(viewer.selectedLine(), 300);
        const int rowsToMiddle =
            (viewer.TRViewer->viewport()->height() / 2) / viewer.TRViewer->sizeHintForRow(0);
        QCOMPARE(viewer.TRViewer->verticalScrollBar()->value(), 300 - rowsToMiddle);
    }

    void escapeClosesFromTheFindBoxAndWritesTheSize() {
        auto form = start();
        TTRViewForm& viewer = viewLines(*form, kThreeTournaments);
        viewer.SearchBox->setFocus();
        viewer.SearchBox->setText(QStringLiteral("keep me"));
        QTest::keyClick(viewer.SearchBox, Qt::Key_Escape);
        QVERIFY(!viewer.isVisible());
        QSettings ini(m_dir->filePath(QStringLiteral("Kestrelle/ZVFeeStats.ini")),
                      QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("ZVFee/ViewWidth")).toString(), QStringLiteral("600"));
        QCOMPARE(ini.value(QStringLiteral("ZVFee/ViewHeight")).toString(), QStringLiteral("480"));
        QCOMPARE(ini.value(QStringLiteral("ZVFee/ViewMax")).toString(), QStringLiteral("0"));
        // The find text stays for the next file; the lines and position start again.
        viewLines(*form, "a\nb\n");
        QCOMPARE(viewer.SearchBox->text(), QStringLiteral("keep me"));
        QCOMPARE(viewer.LinePanel->text(), QStringLiteral("Line:  0 of 2"));
    }

    void maximizedCloseReopensMaximizedWithTheOldSize() {
        {
            auto form = start();
            TTRViewForm& viewer = viewLines(*form, kThreeTournaments);
            viewer.resize(500, 400);
            QApplication::processEvents();
            viewer.showMaximized();
            QApplication::processEvents();
            viewer.close();
            form->close();
        }
        auto form = start();
        TTRViewForm& viewer = viewLines(*form, kThreeTournaments);
        QVERIFY(viewer.isMaximized());
        viewer.showNormal();
        QTRY_COMPARE(viewer.size(), QSize(500, 400));
    }

    // Local view: which item is shown, or which message instead.
    void viewLocal_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("current"); // -1: focus mark never moved
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<QString>("shown"); // caption, or the message
        QTest::newRow("fresh list: the first file") << 3 << -1 << false << "TR0.txt";
        QTest::newRow("the focus-marked item") << 3 << 2 << false << "TR2.txt";
        QTest::newRow("empty list")
            << 0 << -1 << false << "No tournament result files selected in list";
        QTest::newRow("unreadable file") << 1 << 0 << true << "Error loading %1/TR0.txt";
        QTest::newRow("a FIFO, read without waiting")
            << 1 << 0 << true << "Error loading %1/TR0.txt";
    }
    void viewLocal() {
        QFETCH(int, files);
        QFETCH(int, current);
        QFETCH(bool, unreadable);
        QFETCH(QString, shown);
        auto form = start();
        QList<QPair<QString, QByteArray>> list;
        for (int i = 0; i < files; ++i)
            list.append({QStringLiteral("TR%1.txt").arg(i), "Tournament=1\n"});
        fillLocal(*form, list);
        if (current >= 0)
            form->TRLocalList->setCurrentRow(current, QItemSelectionModel::NoUpdate);
        if (unreadable)
            QFile::remove(folder() + QStringLiteral("/TR0.txt"));
        if (unreadable && QByteArrayView(QTest::currentDataTag()).startsWith("a FIFO"))
            QCOMPARE(mkfifo(QFile::encodeName(folder() + QStringLiteral("/TR0.txt")), 0600), 0);
        form->ViewLocalFile();
        if (shown.startsWith(u"TR")) {
            QVERIFY(m_messages.shown.isEmpty());
            QCOMPARE(form->TRViewForm->windowTitle(), shown);
        } else {
            QVERIFY(!form->TRViewForm->isVisible());
            QCOMPARE(m_messages.shown.size(), 1);
            QCOMPARE(m_messages.shown[0].first, MessageKind::Error);
            QCOMPARE(m_messages.shown[0].second,
                     QString(shown).replace(QStringLiteral("%1"), folder()));
        }
    }

    void buttonAndDoubleClickOpenTheViewer() {
        auto form = start();
        fillLocal(*form, {{QStringLiteral("TRa.txt"), "x\n"}, {QStringLiteral("TRb.txt"), "y\n"}});
        form->LoadTRBtn->click();
        QCOMPARE(form->TRViewForm->windowTitle(), QStringLiteral("TRa.txt"));
        form->TRViewForm->close();
        QListWidget* list = form->TRLocalList;
        const QPoint second = list->visualItemRect(list->item(1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second); // a double click's first
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
        QVERIFY(form->TRViewForm->isVisible());
        QCOMPARE(form->TRViewForm->windowTitle(), QStringLiteral("TRb.txt"));
        QVERIFY(m_messages.shown.isEmpty());
    }

    void viewRemoteFetchesTheServersOwnDateAndName() {
        std::atomic<bool> busySeen{false}; // the wait cursor while the server is asked
        InTestServer server([&busySeen](const httplib::Request&, httplib::Response& res) {
            busySeen.store(QApplication::overrideCursor() != nullptr);
            res.set_content("Result=Ok\r\nTournament=77\r\nName=Nightly\r\n", "text/plain");
        });
        auto form = start();
        form->ServerIP->setText(QStringLiteral("127.0.0.1"));
        form->FilePort->setText(QString::number(server.port()));
        form->APIPath->setText(QStringLiteral("api"));
        form->APIPW->setText(QStringLiteral("pw"));
        // A date that is not 10 characters long: cut back out of the item text, it would be lost.
        AppendRemoteItems(
            form->TRRemoteList,
            {RemoteItem::FromServer(QStringLiteral("2024-1-5"), QStringLiteral("Nightly Turbo"))});
        form->ViewRemoteFile();
        QVERIFY(m_messages.shown.isEmpty());
        QVERIFY(busySeen.load());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(server.seen().size(), 1);
        const QUrlQuery sent(QString::fromUtf8(server.seen().first().body).replace(u'+', u' '));
        QCOMPARE(sent.queryItemValue(QStringLiteral("Date")), QStringLiteral("2024-1-5"));
        QCOMPARE(sent.queryItemValue(QStringLiteral("Name")), QStringLiteral("Nightly Turbo"));
        QCOMPARE(form->TRViewForm->windowTitle(), form->TRRemoteList->item(0)->text());
        QCOMPARE(form->TRViewForm->lines(), QStringList({"Tournament=77", "Name=Nightly"}));
        QCOMPARE(form->TRViewForm->TournamentsPanel->text(), QStringLiteral("Tournaments:  1"));
    }

    // Remote view refused before or after the request, with the message shown.
    void viewRemoteMessages_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests");
        const int error = int(MessageKind::Error);
        QTest::newRow("two selected")
            << "127.0.0.1"
            << "pw" << 2 << QByteArray() << error << "More than 1 result file selected" << 0;
        QTest::newRow("missing host first, as information")
            << ""
            << "pw" << 2 << QByteArray() << int(MessageKind::Information) << "No IP specified" << 0;
        QTest::newRow("missing password before the selection")
            << "127.0.0.1"
            << "" << 2 << QByteArray() << error << "No API Password specified" << 0;
        QTest::newRow("empty list")
            << "127.0.0.1"
            << "pw" << -1 << QByteArray() << error << "No result file selected in list" << 0;
        QTest::newRow("server error")
            << "127.0.0.1"
            << "pw" << 1 << QByteArray("Result=Error\r\nError=Invalid password\r\n") << error
            << "Invalid password" << 1;
    }
    void viewRemoteMessages() {
        QFETCH(QString, host);
        QFETCH(QString, password);
        QFETCH(int, selected);
        QFETCH(QByteArray, answer);
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(int, requests);
        InTestServer server([answer](const httplib::Request&, httplib::Response& res) {
            res.set_content(answer.toStdString(), "text/plain");
        });
        auto form = start();
        form->ServerIP->setText(host);
        form->FilePort->setText(QString::number(server.port()));
        form->APIPath->setText(QStringLiteral("api"));
        form->APIPW->setText(password);
        if (selected >= 0) {
            AppendRemoteItems(form->TRRemoteList, {RemoteItem::FromServer("2024-01-05", "A"),
                                                   RemoteItem::FromServer("2024-01-06", "B")});
            for (int i = 0; i < selected; ++i)
                form->TRRemoteList->item(i)->setSelected(true);
        }
        form->ViewRemoteFile();
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(int(m_messages.shown[0].first), kind);
        QCOMPARE(m_messages.shown[0].second, message);
        QCOMPARE(server.seen().size(), requests);
        QVERIFY(!form->TRViewForm->isVisible());
    }

    void refusedConnectionNamesTheAddress() {
        auto form = start();
        const int port = RefusedPort();
        form->FilePort->setText(QString::number(port));
        form->APIPW->setText(QStringLiteral("pw"));
        AppendRemoteItems(form->TRRemoteList, {RemoteItem::FromServer("2024-01-05", "A")});
        form->ViewRemoteFile();
        QCOMPARE(m_messages.texts(), QStringList{QStringLiteral("Could not connect to "
                                                                "http://127.0.0.1:%1/api")
                                                     .arg(port)});
    }

    // Figures, not limits: printed for the record.
    void millionLinesOpenAndAFindWrapsOverThem() {
        QByteArray file;
        file.reserve(30'000'000);
        for (int i = 0; i < 1'000'000; ++i) {
            if (i % 25 == 0)
                file += "Tournament=" + QByteArray::number(i) + "\r\n";
            else
                file += "Player=Player " + QByteArray::number(i) + " 12.50\r\n";
        }
        auto form = start();
        fillLocal(*form, {{QStringLiteral("TRbig.txt"), file}});
        file.clear();
        file.squeeze();
        const long before = residentKiB("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        form->ViewLocalFile();
        QApplication::processEvents();
        const qint64 showMs = timer.elapsed();
        TTRViewForm& viewer = *form->TRViewForm;
        QCOMPARE(viewer.lines().size(), 1'000'000);
        QCOMPARE(viewer.TournamentsPanel->text(), QStringLiteral("Tournaments:  40000"));
        const long after = residentKiB("VmRSS:");

        // The only match is the line above the selected one: the search wraps over every line.
        selectLine(viewer, 500'004);
        viewer.SearchBox->setText(QStringLiteral("PLAYER 500003 "));
        timer.restart();
        viewer.NextBtn->click();
        QApplication::processEvents();
        const qint64 findMs = timer.elapsed();
        QCOMPARE(viewer.selectedLine(), 500'003);
        viewer.SearchBox->setText(QStringLiteral("no such text"));
        timer.restart();
        viewer.NextBtn->click();
        const qint64 missMs = timer.elapsed();
        QCOMPARE(m_beeps, 1);
        qInfo("1,000,000 lines: shown in %lld ms, find wrapping over all lines %lld ms, "
              "find without match %lld ms, lines held %ld MiB (resident %ld -> %ld MiB, peak %ld "
              "MiB)",
              showMs, findMs, missMs, (after - before) / 1024, before / 1024, after / 1024,
              residentKiB("VmHWM:") / 1024);

        // Closed, the viewer lets the lines go, and most of their memory goes back.
        viewer.close();
        QVERIFY(viewer.lines().isEmpty());
        const long closed = residentKiB("VmRSS:");
        qInfo("after the close: resident %ld MiB", closed / 1024);
        QVERIFY(closed - before < (after - before) / 2);
    }
};

QTEST_MAIN(TestViewer)
#include "test_viewer.moc"
