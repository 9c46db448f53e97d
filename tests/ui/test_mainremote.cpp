#include "Main.h"
#include "remoteitems.h"
#include "testservers.h"
#include "testsupport.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <httplib.h>
#include <memory>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}
} // namespace

class TestMainRemote : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;

    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>(m_dir->filePath(u"ZVFee2.db3"_s), &m_messages);
        form->ShowAtStart();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        form->PageControl2->setCurrentWidget(form->RemotePage);
        return form;
    }
    static void Address(TMainForm& form, int port, const QString& password = u"pw"_s) {
        form.ServerIP->setText(u"127.0.0.1"_s);
        form.FilePort->setText(QString::number(port));
        form.APIPath->setText(u"api"_s);
        form.APIPW->setText(password);
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_messages.clear();
    }

    void listsAndImportsFromTheDemoServer() {
        const QString folder = m_dir->filePath(u"served"_s);
        WriteFileBytes(folder + u"/TR2024-03-01 Daily Turbo.txt"_s,
                       ResultsBlock(1) + ResultsBlock(2));
        WriteFileBytes(folder + u"/TR24-03-02 Short.txt"_s, ResultsBlock(3));
        WriteFileBytes(folder + u"/TR2024-03-03 Late.txt"_s, ResultsBlock(4));
        DemoServer server({folder, u"pw"_s, {}, {}});
        QVERIFY2(server.started(), qPrintable(server.log()));
        auto form = start();
        Address(*form, server.port());

        QTest::mouseClick(form->RefreshBtn, Qt::LeftButton); // the remote tab is active
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(Texts(form->TRRemoteList),
                 (QStringList{u"TR2024-03-01 Daily Turbo.txt"_s, u"TR2024-03-03 Late.txt"_s,
                              u"TR24-03-02 Short.txt"_s}));
        QCOMPARE(form->RFileLabel->text(), u"Files:  3"_s);
        QCOMPARE(form->TRStatus->text(), QString());
        QCOMPARE(form->TRRemoteList->currentRow(), 0);
        QVERIFY(form->TRRemoteList->selectedItems().isEmpty());
        const QListWidgetItem* shortDate = form->TRRemoteList->item(2);
        QCOMPARE(shortDate->data(kRemoteDateRole).toString(), u"24-03-02"_s);
        QCOMPARE(shortDate->data(kRemoteNameRole).toString(), u"Short"_s);

        // Selected in reverse order; imported in list order, the 8-character date included.
        form->TRRemoteList->item(2)->setSelected(true);
        form->TRRemoteList->item(0)->setSelected(true);
        form->LoadFeeTables();
        QVERIFY(!form->MasterStatus->text().isEmpty());
        QTest::mouseClick(form->ImportBtn, Qt::LeftButton);
        QCOMPARE(m_messages.texts(), QStringList{u"Tournaments with fees imported:  3"_s});
        QCOMPARE(form->MasterStatus->text(), QString()); // the fee views were closed
        QCOMPARE(form->TRStatus->text(), QString());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // The imported items are marked: their tooltip tells when and how many tournaments.
        QStringList tips;
        for (int row = 0; row < form->TRRemoteList->count(); ++row)
            tips << form->TRRemoteList->item(row)->toolTip().remove(
                QRegularExpression(u"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d"_s));
        QCOMPARE(tips, (QStringList{u"Imported , 2 tournaments"_s, QString(),
                                    u"Imported , 1 tournaments"_s}));
        QVERIFY(server.stop());
        const QString log = server.log();
        QVERIFY(log.indexOf(u"Date=2024-03-01"_s) < log.indexOf(u"Date=24-03-02 Name=Short"_s));
        QVERIFY(!log.contains(u"Name=Late"_s));
    }

    void theStatusShowsWhileTheServerIsAsked() {
        std::unique_ptr<TMainForm> form = start();
        QString statusSeen;
        bool busySeen = false;
        QLabel* status = form->TRStatus;
        // The window thread waits in the request; the server reads what it shows meanwhile.
        InTestServer server([&](const httplib::Request&, httplib::Response& res) {
            statusSeen = status->text();
            busySeen = QApplication::overrideCursor() != nullptr;
            res.set_content("Result=Ok\r\nFiles=1\r\nDate1=d\r\nName1=n\r\n", "text/html");
        });
        Address(*form, server.port());
        form->ListRemoteFiles();
        QCOMPARE(statusSeen, u"Retrieving tournament result list ..."_s);
        QVERIFY(busySeen);
        QCOMPARE(Texts(form->TRRemoteList), QStringList{u"TRd n.txt"_s});
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void aFailedRefreshEmptiesTheTab_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status"); // what TRStatus reads afterwards
        QTest::newRow("host empty: an error here, status untouched") << ""
                                                                     << "No IP specified"
                                                                     << "earlier text";
        QTest::newRow("no server: status cleared") << "127.0.0.1"
                                                   << "Could not connect to "
                                                   << "";
    }
    void aFailedRefreshEmptiesTheTab() {
        QFETCH(QString, host);
        QFETCH(QString, message);
        QFETCH(QString, status);
        auto form = start();
        Address(*form, RefusedPort());
        AppendRemoteItems(form->TRRemoteList, {RemoteItem::FromServer(u"d"_s, u"n"_s)});
        form->RFileLabel->setText(u"Files:  1"_s);
        form->TRStatus->setText(u"earlier text"_s);
        form->ServerIP->setText(host);

        form->ListRemoteFiles();
        QCOMPARE(form->TRRemoteList->count(), 0);
        QCOMPARE(form->RFileLabel->text(), u"Files:  0"_s);
        QCOMPARE(form->TRStatus->text(), status);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown.first().first, MessageKind::Error);
        QVERIFY(m_messages.shown.first().second.startsWith(message));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(TestMainRemote)
#include "test_mainremote.moc"
