#include "mainreportsfixture.h"
#include "resultset.h"
#include "sqlmemo.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSignalSpy>

namespace {
QString Today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

const QString kFeesByPlayer = QStringLiteral(
    "SELECT Player, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS Fees FROM Master INNER "
    "JOIN Detail USING (TNumber)");
} // namespace

class TestMainReports : public QObject, MainReportsFixture {
    Q_OBJECT
    QStringList titles() {
        QStringList names;
        for (int c = 0; c < form().ReportGrid->model()->columnCount(); ++c)
            names << form().ReportGrid->model()->headerData(c, Qt::Horizontal).toString();
        return names;
    }
    QList<int> floatColumnsByWidth() {
        QList<int> wide;
        for (int c = 0; c < form().ReportGrid->model()->columnCount(); ++c) {
            if (form().ReportGrid->columnWidth(c) == 120)
                wide << c;
        }
        return wide;
    }
    QString cell(int row, int column) {
        return form().ReportGrid->model()->index(row, column).data().toString();
    }

private Q_SLOTS:
    void init() { setUpForm(); }
    void cleanup() { m_form.reset(); }

    void startsBlankAndClosed() {
        QCOMPARE(form().ReportList->currentText(), QStringLiteral("Clear"));
        for (QDateEdit* picker : {form().StartDate, form().EndDate}) {
            QVERIFY(!picker->isEnabled());
            QCOMPARE(picker->text(), QStringLiteral(" "));
        }
        QVERIFY(!form().StartCB->isChecked() && !form().EndCB->isChecked());
        QCOMPARE(SqlMemoText(*form().SQLMemo), QString());
        QCOMPARE(form().ReportGrid->model()->columnCount(), 0);
        QCOMPARE(form().ReportStatus->text(), QString());
    }

    // The controls compose the statement: entry, then the boxes ticked (today), then the dates
    // the operator picks (an invalid date: leave the picker on today).
    void composesFromTheControls_data() {
        QTest::addColumn<int>("entry");
        QTest::addColumn<bool>("start");
        QTest::addColumn<QDate>("startDate");
        QTest::addColumn<bool>("end");
        QTest::addColumn<QDate>("endDate");
        QTest::addColumn<QString>("memo");
        QTest::newRow("no dates") << 1 << false << QDate() << false << QDate()
                                  << kFeesByPlayer + " GROUP BY Player";
        QTest::newRow("start ticked today") << 5 << true << QDate() << false << QDate()
                                            << "SELECT SUM(Fees) AS Fees FROM Master INNER JOIN "
                                               "Detail USING (TNumber) WHERE (Date >= '" +
                                                   Today() + "')";
        QTest::newRow("both ticked today: one day")
            << 6 << true << QDate() << true << QDate()
            << "SELECT * FROM Master WHERE Date = '" + Today() + "'";
        QTest::newRow("picked range")
            << 1 << true << QDate(2024, 3, 1) << true << QDate(2024, 3, 31)
            << kFeesByPlayer +
                   " WHERE (Date >= '2024-03-01') AND (Date <= '2024-03-31') GROUP BY Player";
        QTest::newRow("end only") << 8 << false << QDate() << true << QDate(2025, 1, 5)
                                  << "SELECT * FROM Master INNER JOIN Detail USING (TNumber) "
                                     "WHERE (Date <= '2025-01-05')";
        QTest::newRow("detail only ignores dates")
            << 7 << true << QDate(2024, 3, 1) << true << QDate(2024, 3, 2)
            << "SELECT * FROM Detail ORDER BY TNumber, Player";
        QTest::newRow("clear with dates") << 0 << true << QDate() << true << QDate() << "";
    }
    void composesFromTheControls() {
        QFETCH(int, entry);
        QFETCH(bool, start);
        QFETCH(QDate, startDate);
        QFETCH(bool, end);
        QFETCH(QDate, endDate);
        QFETCH(QString, memo);
        choose(entry);
        if (start)
            form().StartCB->click();
        if (end)
            form().EndCB->click();
        if (startDate.isValid())
            form().StartDate->setDate(startDate);
        if (endDate.isValid())
            form().EndDate->setDate(endDate);
        QCOMPARE(SqlMemoText(*form().SQLMemo), memo);
        QCOMPARE(form().StartDate->isEnabled(), start);
        QCOMPARE(form().EndDate->isEnabled(), end);
        if (start) {
            QCOMPARE(form().StartDate->text(),
                     (startDate.isValid() ? startDate : QDate::currentDate())
                         .toString(QStringLiteral("yyyy-MM-dd")));
        }
    }

    void choosingWithTheKeyboardComposes() {
        form().ReportList->setFocus();
        QTest::keyClick(form().ReportList, Qt::Key_Down);
        QCOMPARE(SqlMemoText(*form().SQLMemo), kFeesByPlayer + " GROUP BY Player");
        QTest::keyClick(form().ReportList, Qt::Key_End);
        QCOMPARE(SqlMemoText(*form().SQLMemo),
                 QStringLiteral("SELECT substr(Date, 1, 7) AS Month, COUNT(DISTINCT TNumber) as "
                                "Tournaments, SUM(Fees) AS Fees FROM Master INNER JOIN Detail "
                                "USING (TNumber) GROUP BY Month"));
    }

    void untickingBlanksThePickerAndTickingStartsOnToday() {
        choose(6);
        form().StartCB->click();
        form().StartDate->setDate(QDate(2020, 2, 2));
        form().StartCB->click();
        QVERIFY(!form().StartDate->isEnabled());
        QCOMPARE(form().StartDate->text(), QStringLiteral(" "));
        QCOMPARE(SqlMemoText(*form().SQLMemo), QStringLiteral("SELECT * FROM Master"));
        form().StartCB->click();
        QCOMPARE(form().StartDate->date(), QDate::currentDate());
    }

    void typedTextSurvivesUntilTheNextTrigger() {
        choose(6);
        form().SQLMemo->setPlainText(QStringLiteral("SELECT 42"));
        form().LoadSQLBtn->click();
        QCOMPARE(cell(0, 0), QStringLiteral("42"));
        form().EndCB->click();
        QCOMPARE(SqlMemoText(*form().SQLMemo),
                 QStringLiteral("SELECT * FROM Master WHERE (Date <= '%1')").arg(Today()));
        QCOMPARE(form().ReportGrid->model()->columnCount(), 0);
        QCOMPARE(form().ReportStatus->text(), QString());
    }

    void choosingAnEntryClosesTheViewEvenForTheSameStatement() {
        choose(1);
        form().LoadSQLBtn->click();
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 1 of 7"));
        choose(1);
        QCOMPARE(form().ReportGrid->model()->columnCount(), 0);
        QCOMPARE(form().ReportStatus->text(), QString());
    }

    void loadWithEmptyTextRunsNothing() {
        load(QStringLiteral("SELECT 1"));
        load(QString());
        QCOMPARE(form().ReportGrid->model()->columnCount(), 0);
        QCOMPARE(form().ReportStatus->text(), QString());
        QVERIFY(m_messages.shown.isEmpty());
    }

    // Columns, 120-pixel float columns and the status line after "Load".
    void loadsReports_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("wide");
        QTest::addColumn<QString>("firstRow");
        QTest::addColumn<QString>("status");
        QTest::newRow("fees by player")
            << kFeesByPlayer + " GROUP BY Player" << QStringList{"Player", "Tournaments", "Fees"}
            << QList<int>{2} << "\"|1|2.25"
            << "Report record 1 of 7";
        QTest::newRow("total fees, empty range: text-kind NULL")
            << "SELECT SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber) WHERE "
               "(Date >= '2030-01-01')"
            << QStringList{"Fees"} << QList<int>{} << ""
            << "Report record 1 of 1";
        QTest::newRow("grouped, empty range")
            << kFeesByPlayer + " WHERE Date = '2030-01-01' GROUP BY Player"
            << QStringList{"Player", "Tournaments", "Fees"} << QList<int>{} << "<none>"
            << "Report record 0 of 0";
        QTest::newRow("master only: the REAL columns")
            << "SELECT * FROM Master"
            << QStringList{"TNumber", "TName", "Date",     "Time",  "Seconds", "Entrants",
                           "Paid",    "Bonus", "Multiply", "BuyIn", "Fee",     "RebuyFee"}
            << QList<int>{7, 9, 10}
            << "1|Daily \"Turbo\"|2024-03-01|20:00|3600|10|3|0.00|No|10.00|1.00|0"
            << "Report record 1 of 3";
        QTest::newRow("long names are shown whole")
            << "SELECT 'A player whose name runs well past twenty' AS Player"
            << QStringList{"Player"} << QList<int>{} << "A player whose name runs well past twenty"
            << "Report record 1 of 1";
    }
    void loadsReports() {
        QFETCH(QString, sql);
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, wide);
        QFETCH(QString, firstRow);
        QFETCH(QString, status);
        load(sql);
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(this->titles(), titles);
        QCOMPARE(floatColumnsByWidth(), wide);
        QStringList cells;
        if (form().ReportGrid->model()->rowCount() > 0) {
            for (int c = 0; c < titles.size(); ++c)
                cells << cell(0, c);
        }
        QCOMPARE(cells.isEmpty() ? QStringLiteral("<none>") : cells.join(u'|'), firstRow);
        QCOMPARE(form().ReportStatus->text(), status);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void keyboardMovesUpdateTheStatus() {
        load(kFeesByPlayer + " GROUP BY Player");
        form().ReportGrid->setFocus();
        QTest::keyClick(form().ReportGrid, Qt::Key_Down);
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 2 of 7"));
        QTest::keyClick(form().ReportGrid, Qt::Key_Down);
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 3 of 7"));
        QTest::keyClick(form().ReportGrid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 7 of 7"));
        QTest::keyClick(form().ReportGrid, Qt::Key_Up);
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 6 of 7"));
    }

    void rejectedStatementGoesToTheGeneralErrorDisplay() {
        load(QStringLiteral("SELECT 1"));
        load(QStringLiteral("SELEC * FROM Master"));
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QCOMPARE(m_messages.shown[0].second, QStringLiteral("near \"SELEC\": syntax error."));
        QCOMPARE(form().ReportGrid->model()->columnCount(), 0);
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Performing query ..."));
        QCOMPARE(SqlMemoText(*form().SQLMemo), QStringLiteral("SELEC * FROM Master"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // The statement is the text as typed or pasted; only its line breaks become line feeds.
    void statementRunsAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("value");
        const QString nbsp = QStringLiteral("SELECT 'Al\u00A0K' = 'Al' || char(160) || 'K' AS v");
        QTest::newRow("no-break space") << nbsp << nbsp << "1";
        const QString ls = QStringLiteral("SELECT unicode(substr('a\u2028b', 2, 1)) AS v");
        QTest::newRow("line separator") << ls << ls << "8232";
        QTest::newRow("pasted lines") << "SELECT 7\r\nAS v\rUNION SELECT 8\n"
                                      << "SELECT 7\nAS v\nUNION SELECT 8\n"
                                      << "7";
    }
    void statementRunsAsTyped() {
        QFETCH(QString, typed);
        QFETCH(QString, statement);
        QFETCH(QString, value);
        form().SQLMemo->clear();
        form().SQLMemo->insertPlainText(typed);
        form().LoadSQLBtn->click();
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(form().ReportSQL, statement);
        QCOMPARE(SqlMemoText(*form().SQLMemo), statement);
        QCOMPARE(cell(0, 0), value);
    }

    void statementWithoutColumnsIsCarriedOutAndSaid() {
        load(QStringLiteral("DELETE FROM Detail WHERE TNumber = 1"));
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Information);
        QVERIFY(m_messages.shown[0].second.endsWith(QStringLiteral("Rows changed: 2")));
        QCOMPARE(form().ReportGrid->model()->columnCount(), 0);
        QCOMPARE(form().ReportStatus->text(), QString());
        load(QStringLiteral("SELECT * FROM Detail"));
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 1 of 6"));
    }

    void editedStatementAndReloadAfterAnImport() {
        choose(1);
        form().SQLMemo->setPlainText(SqlMemoText(*form().SQLMemo) +
                                     QStringLiteral(" ORDER BY Fees DESC"));
        form().LoadSQLBtn->click();
        QCOMPARE(cell(0, 0), QStringLiteral("Alice"));
        QCOMPARE(cell(0, 2), QStringLiteral("12.50"));
        QTest::keyClick(form().ReportGrid, Qt::Key_Down);
        form().db().Execute(
            QStringLiteral("INSERT INTO Master (TNumber, Date) VALUES (9, '2024-04-01');"
                           "INSERT INTO Detail VALUES (9, 'Carol', 20);"));
        QCOMPARE(form().ReportGrid->model()->rowCount(), 7); // a snapshot until the next Load
        form().LoadSQLBtn->click();
        QCOMPARE(cell(0, 0), QStringLiteral("Carol"));
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 1 of 8"));
        QCOMPARE(form().ReportGrid->currentIndex().row(), 0);
    }

    /// "Load" paints the emptied grid before its statement runs; a click that came meanwhile
    /// starts nothing there (no Load inside the Load, no Export of the emptied view).
    void clickQueuedDuringLoadDoesNothing_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("Export") << "ExportBtn";
        QTest::newRow("Load") << "LoadSQLBtn";
        QTest::newRow("Chart") << "ChartBtn";
    }
    void clickQueuedDuringLoadDoesNothing() {
        QFETCH(QString, button);
        auto* clicked = form().findChild<QPushButton*>(button);
        QVERIFY(clicked);
        form().SQLMemo->setPlainText(QStringLiteral("SELECT * FROM Master"));
        QSignalSpy clicks(clicked, &QPushButton::clicked);
        const QPoint at = clicked->rect().center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                clicked,
                new QMouseEvent(type, at, clicked->mapToGlobal(at), Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        form().LoadSQLBtnClick();
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(m_chooser->asked, 0);
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 1 of 3"));
        QCoreApplication::processEvents(); // nothing of the click is left to come later
        QCOMPARE(clicks.count(), 0);
    }
};

QTEST_MAIN(TestMainReports)
#include "test_mainreports.moc"
