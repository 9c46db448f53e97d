#include "feedatabase.h"
#include "reportexport.h"
#include "reportfixture.h"
#include "resultset.h"
#include "testsupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
class AnsweringChooser : public ExportFileChooser {
public:
    QString chooseExportFile() override {
        ++asked;
        return answer;
    }
    QString answer;
    int asked = 0;
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestReportExport : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;
    AnsweringChooser m_chooser;
    RecordingMessages m_messages;

private Q_SLOTS:
    void initTestCase() { CreateReportFixture(m_db, m_dir.filePath(QStringLiteral("fees.db3"))); }
    void init() {
        m_chooser = AnsweringChooser();
        m_messages.clear();
    }

    void closedViewIsEmptyWithoutAskingForAName() {
        ResultSet view;
        m_chooser.answer = m_dir.filePath(QStringLiteral("never.csv"));
        QVERIFY(!ExportReport(view, m_chooser, m_messages, QLocale::c()));
        QCOMPARE(m_chooser.asked, 0);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Error);
        QCOMPARE(m_messages.shown[0].second, QStringLiteral("Report table is empty"));
        QVERIFY(!QFile::exists(m_chooser.answer));
    }

    void cancelledDialogDoesNothing() {
        ResultSet view;
        view.open(m_db, FeesByPlayerSql());
        view.setCurrentRow(3);
        QVERIFY(!ExportReport(view, m_chooser, m_messages, QLocale::c()));
        QCOMPARE(m_chooser.asked, 1);
        QVERIFY(m_messages.shown.isEmpty());
        QCOMPARE(view.currentRow(), 3);
    }

    void writesTheFileAndReturnsToTheFirstRow() {
        ResultSet view;
        view.open(m_db, FeesByPlayerSql());
        view.setCurrentRow(3);
        QSignalSpy moves(&view, &ResultSet::currentRowChanged);
        const QString path = m_dir.filePath(QStringLiteral("fees.csv"));
        WriteFileBytes(path, QByteArray(10000, 'o')); // replaced whole, nothing of it stays
        m_chooser.answer = path;
        QVERIFY(ExportReport(view, m_chooser, m_messages, QLocale::c()));
        QCOMPARE(ReadAll(path),
                 ReadAll(TestDataPath(QStringLiteral("reportcsv/fees-by-player.csv"))));
        QCOMPARE(view.currentRow(), 0);
        QCOMPARE(moves.size(), 1);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Information);
        QCOMPARE(m_messages.shown[0].second, QStringLiteral("Report table saved"));
    }

    void openViewWithoutRowsIsExported() {
        ResultSet view;
        view.open(m_db, QStringLiteral("SELECT Player FROM Detail WHERE 0"));
        m_chooser.answer = m_dir.filePath(QStringLiteral("header.csv"));
        QVERIFY(ExportReport(view, m_chooser, m_messages, QLocale::c()));
        QCOMPARE(ReadAll(m_chooser.answer), QByteArray("\"Player\"\r\n"));
    }

    void failedWriteRaisesAfterTheViewIsRestored() {
        ResultSet view;
        view.open(m_db, FeesByPlayerSql());
        view.setCurrentRow(2);
        m_chooser.answer = m_dir.filePath(QStringLiteral("no/such/folder/fees.csv"));
        QString error;
        try {
            ExportReport(view, m_chooser, m_messages, QLocale::c());
        } catch (const ZvError& e) {
            error = e.message();
        }
        QVERIFY2(
            error.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(m_chooser.answer)),
            qPrintable(error));
        QVERIFY(m_messages.shown.isEmpty());
        QCOMPARE(view.currentRow(), 0);
    }
};

QTEST_GUILESS_MAIN(TestReportExport)
#include "test_reportexport.moc"
