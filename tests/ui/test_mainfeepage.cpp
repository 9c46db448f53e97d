#include "Main.h"
#include "feeviews.h"
#include "resultset.h"
#include "resultsetmodel.h"
#include "testsupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
/// The values of one column of a grid, top to bottom.
QStringList columnOf(const QTableView* grid, int column) {
    QStringList values;
    const QAbstractItemModel* model = grid->model();
    for (int r = 0; r < model->rowCount(); ++r)
        values << model->data(model->index(r, column)).toString();
    return values;
}

QStringList titlesOf(const QTableView* grid) {
    QStringList titles;
    const QAbstractItemModel* model = grid->model();
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    return titles;
}

/// The titles shown bold.
QStringList boldTitlesOf(const QTableView* grid) {
    QStringList bold;
    const QAbstractItemModel* model = grid->model();
    for (int c = 0; c < model->columnCount(); ++c)
        if (qvariant_cast<QFont>(model->headerData(c, Qt::Horizontal, Qt::FontRole)).bold())
            bold << model->headerData(c, Qt::Horizontal).toString();
    return bold;
}

/// A click with the mouse on the title of a column, scrolled into sight first.
void clickTitle(QTableView* grid, const QString& title) {
    const int column = int(titlesOf(grid).indexOf(title));
    QVERIFY2(column >= 0, qPrintable(title));
    grid->scrollTo(grid->model()->index(0, column));
    QHeaderView* header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}
} // namespace

class TestMainFeePage : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;
    std::unique_ptr<TMainForm> m_form;

    QString dbFile() const { return m_dir->filePath(QStringLiteral("ZVFee2.db3")); }

    /// The window on the Fee Database page over a database with three tournaments: 1 and 3 with
    /// players, 2 without.
    void start(bool withData = true) {
        {
            FeeDatabase db;
            OpenOrCreateFeeDatabase(db, dbFile());
            if (withData)
                db.Execute(QStringLiteral(
                    "INSERT INTO Master VALUES (2, 'Alpha', '2024-01-03', '10:00:00', 60, 4, 4,"
                    " 0, 'No', 5, 0.5, 'No');"
                    "INSERT INTO Master VALUES (1, 'Bravo', '2024-01-02', '11:00:00', 70, 2, 2,"
                    " 10, 'No', 20, 2, 'Yes');"
                    "INSERT INTO Master VALUES (3, 'Charlie', '2024-01-01', '12:00:00', 80, 1, 1,"
                    " 0.125, 'x2', 1.005, 0.1, 'No');"
                    "INSERT INTO Detail VALUES (3, 'Cy', 0.1);"
                    "INSERT INTO Detail VALUES (1, 'Ann', 2);"
                    "INSERT INTO Detail VALUES (1, 'Bob', 4.5);"));
        }
        m_form = std::make_unique<TMainForm>(dbFile(), &m_messages);
        m_form->ShowAtStart();
        m_form->PageControl1->setCurrentWidget(m_form->DataPage);
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void execute(const QString& sql) { m_form->db().Execute(sql); }
    QStringList masterNumbers() const { return columnOf(m_form->MasterGrid, 0); }
    QStringList detailPlayers() const { return columnOf(m_form->DetailGrid, 1); }
    QString masterStatus() const { return m_form->MasterStatus->text(); }
    QString detailStatus() const { return m_form->DetailStatus->text(); }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_messages.clear();
        m_messages.answers.clear();
    }
    void cleanup() {
        m_form.reset();
        QCOMPARE(BusyCursor::depth(), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    void openOnAnEmptyDatabase() {
        start(false);
        QCOMPARE(masterStatus(), QString());
        QCOMPARE(m_form->MasterGrid->model()->columnCount(), 0);
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(titlesOf(m_form->MasterGrid).size(), 12);
        QCOMPARE(titlesOf(m_form->DetailGrid), QStringList({"TNumber", "Player", "Fees"}));
        QCOMPARE(m_form->MasterGrid->model()->rowCount(), 0);
        QCOMPARE(m_form->DetailGrid->model()->rowCount(), 0);
        QCOMPARE(masterStatus(), QStringLiteral("Master record 0 of 0"));
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 0 of 0"));
    }

    void openWithData() {
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(masterNumbers(), QStringList({"1", "2", "3"}));
        QCOMPARE(boldTitlesOf(m_form->MasterGrid), QStringList{"TNumber"});
        QCOMPARE(m_form->MasterGrid->currentIndex().row(), 0);
        QCOMPARE(masterStatus(), QStringLiteral("Master record 1 of 3"));
        QCOMPARE(detailPlayers(), QStringList({"Ann", "Bob"}));
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 1 of 2"));

        // Only the weight of the sort title differs from the grid's title font.
        QHeaderView* titles = m_form->MasterGrid->horizontalHeader();
        QFont bold = qvariant_cast<QFont>(
            m_form->MasterGrid->model()->headerData(0, Qt::Horizontal, Qt::FontRole));
        bold.setBold(titles->font().bold());
        QCOMPARE(bold, titles->font());

        // Floating-point columns: two decimals, 100 px; the others keep the default width.
        const int standard = titles->defaultSectionSize();
        QList<int> widths;
        for (int c = 0; c < 12; ++c)
            widths << m_form->MasterGrid->columnWidth(c);
        QCOMPARE(widths, QList<int>({standard, standard, standard, standard, standard, standard,
                                     standard, 100, standard, 100, 100, standard}));
        QCOMPARE(columnOf(m_form->MasterGrid, 9), QStringList({"20.00", "5.00", "1.00"}));
        QCOMPARE(columnOf(m_form->DetailGrid, 2), QStringList({"2.00", "4.50"}));
        QCOMPARE(m_form->DetailGrid->columnWidth(1), standard);
        QCOMPARE(m_form->DetailGrid->columnWidth(2), 100);
    }

    void titleClicksResort_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("TNumber") << QStringList{"TNumber"}
                                 << "SELECT * FROM Master ORDER BY TNumber DESC"
                                 << QStringList{"3", "2", "1"};
        QTest::newRow("TNumber twice")
            << QStringList{"TNumber", "TNumber"} << "SELECT * FROM Master ORDER BY TNumber"
            << QStringList{"1", "2", "3"};
        QTest::newRow("TName") << QStringList{"TName"} << "SELECT * FROM Master ORDER BY TName"
                               << QStringList{"2", "1", "3"};
        QTest::newRow("TName twice")
            << QStringList{"TName", "TName"} << "SELECT * FROM Master ORDER BY TName DESC"
            << QStringList{"3", "1", "2"};
        QTest::newRow("TName twice, then Date")
            << QStringList{"TName", "TName", "Date"} << "SELECT * FROM Master ORDER BY Date"
            << QStringList{"3", "1", "2"};
    }
    void titleClicksResort() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, sql);
        QFETCH(QStringList, numbers);
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        m_form->FeeTables->master.setCurrentRow(2);
        for (const QString& title : clicks)
            clickTitle(m_form->MasterGrid, title);
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(m_form->MasterSQL, sql);
        QCOMPARE(masterNumbers(), numbers);
        QCOMPARE(boldTitlesOf(m_form->MasterGrid), QStringList{clicks.last()});
        QCOMPARE(masterStatus(), QStringLiteral("Master record 1 of 3"));
        // The detail view was read again and follows the new first row.
        const QStringList playersOfFirst =
            numbers.first() == "1" ? QStringList{"Ann", "Bob"}
                                   : (numbers.first() == "3" ? QStringList{"Cy"} : QStringList{});
        QCOMPARE(detailPlayers(), playersOfFirst);
        QCOMPARE(m_form->DetailGrid->columnWidth(2), 100);

        // Close, then Open: the order stays.
        QTest::mouseClick(m_form->DBCloseBtn, Qt::LeftButton);
        QCOMPARE(masterStatus(), QString());
        QCOMPARE(detailStatus(), QString());
        QCOMPARE(m_form->MasterGrid->model()->columnCount(), 0);
        QCOMPARE(m_form->DetailGrid->model()->columnCount(), 0);
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        QCOMPARE(masterNumbers(), numbers);
        QCOMPARE(boldTitlesOf(m_form->MasterGrid), QStringList{clicks.last()});
    }

    void detailTitlesDoNothing() {
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        clickTitle(m_form->DetailGrid, QStringLiteral("Player"));
        clickTitle(m_form->DetailGrid, QStringLiteral("TNumber"));
        QCOMPARE(m_form->MasterSQL, QStringLiteral("SELECT * FROM Master ORDER BY TNumber;"));
        QCOMPARE(detailPlayers(), QStringList({"Ann", "Bob"}));
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 1 of 2"));
        QCOMPARE(masterNumbers(), QStringList({"1", "2", "3"}));
    }

    void theKeyboardMovesTheMasterAndTheDetailFollows() {
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        m_form->MasterGrid->setFocus();
        QTest::keyClick(m_form->DetailGrid, Qt::Key_Down);
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 2 of 2"));

        QTest::keyClick(m_form->MasterGrid, Qt::Key_Down); // tournament 2: no players
        QCOMPARE(masterStatus(), QStringLiteral("Master record 2 of 3"));
        QCOMPARE(detailPlayers(), QStringList());
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 0 of 0"));
        QCOMPARE(m_form->DetailGrid->columnWidth(2), 100); // the columns stay laid out

        QTest::keyClick(m_form->MasterGrid, Qt::Key_Down);
        QCOMPARE(masterStatus(), QStringLiteral("Master record 3 of 3"));
        QCOMPARE(detailPlayers(), QStringList{"Cy"});
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 1 of 1"));
        QCOMPARE(m_form->DetailGrid->currentIndex().row(), 0);

        QTest::keyClick(m_form->MasterGrid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(masterStatus(), QStringLiteral("Master record 1 of 3"));
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 1 of 2"));
    }

    // A click on the row indicator makes that row current; the detail follows its master.
    void rowIndicatorClickMovesTheCurrentRow_data() {
        QTest::addColumn<bool>("master");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("statuses");
        QTest::newRow("master") << true << 2 << "Master record 3 of 3, Detail record 1 of 1";
        QTest::newRow("detail") << false << 1 << "Master record 1 of 3, Detail record 2 of 2";
    }
    void rowIndicatorClickMovesTheCurrentRow() {
        QFETCH(bool, master);
        QFETCH(int, row);
        QFETCH(QString, statuses);
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        QHeaderView* indicator =
            (master ? m_form->MasterGrid : m_form->DetailGrid)->verticalHeader();
        QTest::mouseClick(indicator->viewport(), Qt::LeftButton, {},
                          QPoint(indicator->width() / 2, indicator->sectionViewportPosition(row) +
                                                             indicator->sectionSize(row) / 2));
        QCOMPARE(masterStatus() + QStringLiteral(", ") + detailStatus(), statuses);
    }

    void openWhileOpenReloads() {
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        m_form->FeeTables->master.setCurrentRow(2);
        execute(QStringLiteral("INSERT INTO Master (TNumber, TName) VALUES (0, 'New');"
                               "INSERT INTO Detail VALUES (0, 'Neo', 1);"));
        QCOMPARE(masterNumbers(), QStringList({"1", "2", "3"})); // a snapshot
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        QCOMPARE(masterNumbers(), QStringList({"0", "1", "2", "3"}));
        QCOMPARE(m_form->MasterGrid->currentIndex().row(), 0);
        QCOMPARE(masterStatus(), QStringLiteral("Master record 1 of 4"));
        QCOMPARE(detailPlayers(), QStringList{"Neo"});
    }

    void emptying_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("Cancel") << false;
        QTest::newRow("OK") << true;
    }
    void emptying() {
        QFETCH(bool, ok);
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        m_messages.answers << ok;
        QTest::mouseClick(m_form->EmptyDBBtn, Qt::LeftButton);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Confirmation);
        QCOMPARE(m_messages.shown[0].second, QStringLiteral("Remove all records from database?"));
        if (!ok) {
            QCOMPARE(masterNumbers(), QStringList({"1", "2", "3"}));
            QCOMPARE(masterStatus(), QStringLiteral("Master record 1 of 3"));
            QCOMPARE(detailStatus(), QStringLiteral("Detail record 1 of 2"));
            return;
        }
        QCOMPARE(m_form->MasterGrid->model()->columnCount(), 0);
        QCOMPARE(m_form->DetailGrid->model()->columnCount(), 0);
        QCOMPARE(masterStatus(), QString());
        QCOMPARE(detailStatus(), QString());
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        QCOMPARE(m_form->MasterGrid->model()->rowCount(), 0);
        QCOMPARE(masterStatus(), QStringLiteral("Master record 0 of 0"));
        QCOMPARE(detailStatus(), QStringLiteral("Detail record 0 of 0"));
    }

    void failingOpenKeepsTheLoadingText_data() {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("detail");
        QTest::newRow("no Master") << "DROP TABLE Master"
                                   << "no such table: Master."
                                   << "Loading Master table ..."
                                   << "Loading Detail table ...";
        QTest::newRow("no Detail") << "DROP TABLE Detail"
                                   << "no such table: Detail."
                                   << "Master record 1 of 3"
                                   << "Loading Detail table ...";
    }
    void failingOpenKeepsTheLoadingText() {
        QFETCH(QString, drop);
        QFETCH(QString, error);
        QFETCH(QString, master);
        QFETCH(QString, detail);
        start();
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        execute(drop);
        QTest::mouseClick(m_form->DBOpenBtn, Qt::LeftButton);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QCOMPARE(m_messages.shown[0].second, error);
        QCOMPARE(masterStatus(), master);
        QCOMPARE(detailStatus(), detail);
        QCOMPARE(m_form->DetailGrid->model()->columnCount(), 0);
        QCOMPARE(BusyCursor::depth(), 0);
        QVERIFY(!QApplication::overrideCursor());

        // A title click that fails keeps its new order for the next Open.
        if (m_form->MasterGrid->model()->columnCount() > 0) {
            m_messages.clear();
            clickTitle(m_form->MasterGrid, QStringLiteral("TName"));
            QCOMPARE(m_messages.shown.size(), 1);
            QCOMPARE(m_form->SortField, QStringLiteral("TName"));
            QCOMPARE(m_form->MasterSQL, QStringLiteral("SELECT * FROM Master ORDER BY TName"));
        }
    }
};

QTEST_MAIN(TestMainFeePage)
#include "test_mainfeepage.moc"
