#include "Main.h"
#include "testsupport.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
/// The named control that holds the keyboard focus (a tab strip counts as its page control).
QString focusedControl() {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            return w->objectName();
    return QStringLiteral("<none>");
}
} // namespace

class TestGridKeys : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    RecordingMessages m_messages;

    std::unique_ptr<TMainForm> start() {
        QFile::remove(m_dir.filePath(QStringLiteral("ZVFee2.db3")));
        auto form =
            std::make_unique<TMainForm>(m_dir.filePath(QStringLiteral("ZVFee2.db3")), &m_messages);
        form->ShowAtStart();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        return form;
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8()); }

    // A grid with rows: the arrow keys move between its cells, Tab and Shift+Tab leave it along
    // the page's cycle.
    void tabLeavesEveryGrid_data() {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("previous");
        QTest::newRow("master") << "MasterGrid"
                                << "DetailGrid"
                                << "EmptyDBBtn";
        QTest::newRow("detail") << "DetailGrid"
                                << "PageControl1"
                                << "MasterGrid";
        QTest::newRow("report") << "ReportGrid"
                                << "PageControl1"
                                << "LoadSQLBtn";
    }
    void tabLeavesEveryGrid() {
        QFETCH(QString, grid);
        QFETCH(QString, next);
        QFETCH(QString, previous);
        auto form = start();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->db().Execute(QStringLiteral(
            "INSERT INTO Master (TNumber, TName) VALUES (1, 'a'), (2, 'b');"
            "INSERT INTO Detail VALUES (1, 'Ann', 1.5), (1, 'Bob', 2.5), (2, 'Cy', 3.0);"));
        if (grid == "ReportGrid") {
            form->PageControl1->setCurrentWidget(form->ReportPage);
            form->SQLMemo->setPlainText(QStringLiteral("SELECT Player, Fees FROM Detail"));
            form->LoadSQLBtn->click();
        } else {
            form->PageControl1->setCurrentWidget(form->DataPage);
            form->DBOpenBtn->click();
        }
        auto* view = form->findChild<QTableView*>(grid);
        QVERIFY(view->model()->rowCount() >= 2);
        view->setFocus(Qt::TabFocusReason);
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_Right);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(view->currentIndex(), view->model()->index(1, 1));
        QTest::keyClick(view, Qt::Key_Tab);
        QCOMPARE(focusedControl(), next);
        view->setFocus(Qt::TabFocusReason);
        QTest::keyClick(view, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focusedControl(), previous);
        QCOMPARE(view->currentIndex(), view->model()->index(1, 1));
    }
};

QTEST_MAIN(TestGridKeys)
#include "test_gridkeys.moc"
