#include "Main.h"
#include "feeviews.h"
#include "remoteitems.h"
#include "resultset.h"
#include "testservers.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <httplib.h>
#include <memory>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

/// What a run must leave as it was: the rows of every table, and a sound file.
QStringList DatabaseState(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QStringList state;
    for (const char* sql : {"SELECT count(*) FROM Master", "SELECT count(*) FROM Detail",
                            "SELECT count(*) FROM sqlite_master WHERE name = 'ImportedFiles'",
                            "PRAGMA integrity_check"}) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        state << (sqlite3_step(stmt) == SQLITE_ROW
                      ? QString::fromUtf8(
                            reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)))
                      : u"error"_s);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return state;
}

/// Presses Esc, or clicks the Cancel button, once the run has come as far as ready() says.
/// Its timer fires while the run breathes; that it fires at all shows the window is alive.
class Canceller : public QObject {
public:
    Canceller(TMainForm& form, std::function<bool()> ready, bool byButton)
        : m_form(form), m_ready(std::move(ready)), m_byButton(byButton) {
        m_timer.callOnTimeout(this, [this] { tick(); });
        m_timer.start(10);
    }
    bool cancelled = false;

private:
    void tick() {
        if (cancelled || !m_form.Runs->running() || !m_ready())
            return;
        cancelled = true;
        if (m_byButton)
            QTest::mouseClick(m_form.Runs->cancelButton(), Qt::LeftButton);
        else
            QTest::keyClick(&m_form, Qt::Key_Escape);
    }
    TMainForm& m_form;
    std::function<bool()> m_ready;
    bool m_byButton;
    QTimer m_timer;
};

/// The save dialog of the export, answered with one file.
class OneFileChooser : public ExportFileChooser {
public:
    explicit OneFileChooser(QString path) : m_path(std::move(path)) {}
    QString chooseExportFile() override { return m_path; }

private:
    QString m_path;
};

const QString kEndless = u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "_s;

} // namespace

class TestRuns : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;

    QString dbPath() const { return m_dir->filePath(u"ZVFee2.db3"_s); }
    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>(dbPath(), &m_messages);
        form->ShowAtStart();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        return form;
    }
    static void Address(TMainForm& form, int port) {
        form.PageControl2->setCurrentWidget(form.RemotePage);
        form.ServerIP->setText(u"127.0.0.1"_s);
        form.FilePort->setText(QString::number(port));
        form.APIPath->setText(u"api"_s);
        form.APIPW->setText(u"pw"_s);
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_messages.clear();
        ApiTimeouts limits;
        limits.stallSeconds = 1; // a trickle is told apart within a second or two
        SetDefaultApiTimeouts(limits);
    }

    void aCancelledRunKeepsNothingAndSaysCancelled_data() {
        QTest::addColumn<QString>("run");
        QTest::addColumn<bool>("byButton");
        QTest::newRow("remote list, Esc") << u"list"_s << false;
        QTest::newRow("remote import, Cancel button") << u"remote import"_s << true;
        QTest::newRow("local import of 3,000 files, Esc") << u"local import"_s << false;
        QTest::newRow("local import of 3,000 files, Cancel button") << u"local import"_s << true;
        QTest::newRow("Load of a statement that never ends, Esc") << u"load"_s << false;
        QTest::newRow("fee page Open of a statement that never ends, Esc") << u"open"_s << false;
        QTest::newRow("export of 300,000 rows, Cancel button") << u"export"_s << true;
    }
    void aCancelledRunKeepsNothingAndSaysCancelled() {
        QFETCH(QString, run);
        QFETCH(bool, byButton);
        auto form = start();
        const QStringList before = DatabaseState(dbPath());
        QCOMPARE(before.last(), u"ok"_s);

        // The servers: one that never answers; one that answers the first file and stalls on
        // the second until the test ends.
        SilentListener silent;
        std::atomic<bool> release{false};
        InTestServer server([&](const httplib::Request& req, httplib::Response& res) {
            while (req.get_param_value("Name") == "Stall" && !release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            res.set_content(("Result=Ok\r\n" + ResultsBlock(1) + ResultsBlock(2)).toStdString(),
                            "text/html");
        });
        const auto released = qScopeGuard([&] { release.store(true); });

        QLabel* status = form->TRStatus;
        QPushButton* button = form->ImportBtn;
        std::function<bool()> ready;
        if (run == u"list") {
            Address(*form, silent.port());
            button = form->RefreshBtn;
            ready = [&] { return status->text() == u"Retrieving tournament result list ..."; };
        } else if (run == u"remote import") {
            Address(*form, server.port());
            AppendRemoteItems(form->TRRemoteList,
                              {RemoteItem::FromServer(u"2024-01-01"_s, u"A"_s),
                               RemoteItem::FromServer(u"2024-01-02"_s, u"Stall"_s)});
            form->TRRemoteList->selectAll();
            ready = [&] { return status->text().startsWith(u"Retrieving (2 of 2)"_s); };
        } else if (run == u"local import") {
            const QString folder = m_dir->filePath(u"results"_s);
            QStringList names;
            for (int i = 1; i <= 3000; ++i) {
                names << u"TR2024-01-01 T%1.txt"_s.arg(i);
                WriteFileBytes(folder + u'/' + names.last(), ResultsBlock(i));
            }
            form->PageControl2->setCurrentWidget(form->LocalPage);
            form->LocalFolder->setText(folder);
            form->TRLocalList->addItems(names);
            form->TRLocalList->selectAll();
            ready = [&] { return status->text().startsWith(u"Loading ("_s); };
        } else if (run == u"load") {
            form->PageControl1->setCurrentWidget(form->ReportPage);
            form->SQLMemo->setPlainText(kEndless + u"SELECT count(*) FROM c"_s);
            status = form->ReportStatus;
            button = form->LoadSQLBtn;
            ready = [&] { return status->text() == u"Performing query ..."; };
        } else if (run == u"open") {
            form->PageControl1->setCurrentWidget(form->DataPage);
            form->MasterSQL = kEndless + u"SELECT x AS TNumber FROM c ORDER BY x DESC"_s;
            status = form->MasterStatus;
            button = form->DBOpenBtn;
            ready = [] { return true; };
        } else {
            form->PageControl1->setCurrentWidget(form->ReportPage);
            form->SQLMemo->setPlainText(kEndless +
                                        u"SELECT x, 'player ' || x FROM c LIMIT 300000"_s);
            form->LoadSQLBtnClick();
            QCOMPARE(form->ReportClientDataSet->rowCount(), 300000);
            WriteFileBytes(m_dir->filePath(u"old.csv"_s), "old");
            form->SaveDialog1 = std::make_shared<OneFileChooser>(m_dir->filePath(u"old.csv"_s));
            status = form->ReportStatus;
            button = form->ExportBtn;
            ready = [] { return true; };
        }

        Canceller canceller(*form, ready, byButton);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(canceller.cancelled);
        QCOMPARE(status->text(), u"Cancelled"_s);
        QCOMPARE(m_messages.texts(), QStringList());
        QVERIFY(!form->Runs->cancelButton()->isVisible());
        QVERIFY(button->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(form->ReportClientDataSet->isOpen(), run == u"export");
        QVERIFY(!form->FeeTables->master.isOpen());
        QVERIFY(!form->FeeTables->detail.isOpen());
        QFile old(m_dir->filePath(u"old.csv"_s));
        QCOMPARE(old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray(),
                 run == u"export" ? QByteArray("old") : QByteArray());
        QCOMPARE(DatabaseState(dbPath()), before);
        QVERIFY(!form->db().transactionLevel());
    }

    void slowAndLargeAnswersEndWithTheirMessage_data() {
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("pieceBytes");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("message"); // %1: the URL
        QTest::newRow("trickle") << 400 << 1 << 100 << u"Could not connect to %1"_s;
        QTest::newRow("300 MB") << 4800 << 65536 << 0 << u"Answer from %1 is larger than 256 MiB"_s;
    }
    void slowAndLargeAnswersEndWithTheirMessage() {
        QFETCH(int, pieces);
        QFETCH(int, pieceBytes);
        QFETCH(int, delayMs);
        QFETCH(QString, message);
        auto form = start();
        StreamingServer server({StreamingServer::Stream().head, pieces, pieceBytes, delayMs});
        Address(*form, QUrl(server.url()).port());
        int ticks = 0;
        QTimer alive;
        alive.callOnTimeout([&] { ++ticks; });
        alive.start(20);
        // What the window holds already, and what earlier tests left to the allocator, does not
        // count: the answer does.
        ResetPeakMemory();
        const qint64 before = CurrentMemoryBytes();
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(form->RefreshBtn, Qt::LeftButton);
        QCOMPARE(m_messages.texts(), QStringList{message.arg(server.url())});
        // The window went on: a tick at least every 100 ms of the wait.
        QVERIFY2(ticks >= timer.elapsed() / 100 - 1,
                 qPrintable(u"%1 ticks in %2 ms"_s.arg(ticks).arg(timer.elapsed())));
        const qint64 peak = PeakMemoryBytes() - before;
        qInfo("peak memory of the request %lld MiB", peak >> 20);
        QVERIFY2(peak < MemoryBound(qint64(256 + 64) << 20),
                 qPrintable(QString::number(peak >> 20)));
    }

    void closingTheWindowDuringAStalledRequestEndsItAtOnce() {
        auto form = start();
        SilentListener silent;
        Address(*form, silent.port());
        QElapsedTimer sinceClose;
        QTimer::singleShot(300, form.get(), [&] {
            sinceClose.start();
            form->close();
        });
        QTest::mouseClick(form->RefreshBtn, Qt::LeftButton);
        QVERIFY(sinceClose.isValid());
        QVERIFY2(sinceClose.elapsed() < 2000, qPrintable(QString::number(sinceClose.elapsed())));
        QVERIFY(!form->isVisible());
        QCOMPARE(m_messages.texts(), QStringList());
    }
};

QTEST_MAIN(TestRuns)
#include "test_runs.moc"
