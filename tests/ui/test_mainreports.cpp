#include "Main.h"
#include "exportsavedialog.h"
#include "reportfixture.h"
#include "resultset.h"
#include "sqlmemo.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

Q_DECLARE_METATYPE(CsvEncoding)

namespace {
class AnsweringChooser : public ExportFileChooser {
public:
    QString chooseExportFile() override {
        ++asked;
        return answer;
    }
    CsvEncoding chosenEncoding() const override { return encoding; }
    ReportFormat chosenFormat() const override { return format; }
    QString answer;
    CsvEncoding encoding = CsvEncoding::Windows1252;
    ReportFormat format = ReportFormat::Csv;
    int asked = 0;
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QString Today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

const QString kFeesByPlayer = QStringLiteral(
    "SELECT Player, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS Fees FROM Master INNER "
    "JOIN Detail USING (TNumber)");
} // namespace

class TestMainReports : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;
    std::shared_ptr<AnsweringChooser> m_chooser;
    std::unique_ptr<TMainForm> m_form;

    TMainForm& form() { return *m_form; }
    void choose(int index) {
        form().ReportList->setCurrentIndex(index);
        Q_EMIT form().ReportList->activated(index);
    }
    void load(const QString& sql) {
        form().SQLMemo->setPlainText(sql);
        form().LoadSQLBtn->click();
    }
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
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        FeeDatabase db;
        CreateReportFixture(db, m_dir->filePath(QStringLiteral("ZVFee2.db3")));
        db.Close();
        m_messages.clear();
        m_form =
            std::make_unique<TMainForm>(m_dir->filePath(QStringLiteral("ZVFee2.db3")), &m_messages);
        m_chooser = std::make_shared<AnsweringChooser>();
        m_form->SaveDialog1 = m_chooser;
        m_form->show();
        m_form->PageControl1->setCurrentWidget(m_form->ReportPage);
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
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

    void exportBeforeLoadIsEmpty() {
        choose(1);
        form().ExportBtn->click();
        QCOMPARE(m_chooser->asked, 0);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Error);
        QCOMPARE(m_messages.shown[0].second, QStringLiteral("Report table is empty"));
    }

    void cancelledExportDoesNothing() {
        load(QStringLiteral("SELECT * FROM Master"));
        QTest::keyClick(form().ReportGrid, Qt::Key_Down);
        form().ExportBtn->click();
        QCOMPARE(m_chooser->asked, 1);
        QVERIFY(m_messages.shown.isEmpty());
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 2 of 3"));
    }

    void exportWritesTheFileAndReturnsToRowOne() {
        choose(1);
        form().LoadSQLBtn->click();
        form().ReportGrid->setFocus();
        QTest::keyClick(form().ReportGrid, Qt::Key_Down);
        QTest::keyClick(form().ReportGrid, Qt::Key_Down);
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 3 of 7"));
        m_chooser->answer = m_dir->filePath(QStringLiteral("fees.csv"));
        form().ExportBtn->click();
        // The same bytes as "zvfee report" writes for the same statement.
        QCOMPARE(ReadAll(m_chooser->answer),
                 ReadAll(TestDataPath(QStringLiteral("reportcsv/fees-by-player.csv"))));
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Information);
        // (its second line counts what Windows-1252 lacks: exportSaysWhatWindows1252Lost)
        QCOMPARE(m_messages.shown[0].second.section(u'\n', 0, 0),
                 QStringLiteral("Report table saved"));
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 1 of 7"));
        QCOMPARE(form().ReportGrid->currentIndex().row(), 0);
    }

    void exportInUtf8() {
        choose(1);
        form().LoadSQLBtn->click();
        m_chooser->answer = m_dir->filePath(QStringLiteral("fees-utf8.csv"));
        m_chooser->encoding = CsvEncoding::Utf8;
        form().ExportBtn->click();
        QCOMPARE(ReadAll(m_chooser->answer),
                 ReadAll(TestDataPath(QStringLiteral("reportcsv/fees-by-player-utf8.csv"))));
    }

    void exportThatCannotBeWrittenShowsTheGeneralError() {
        load(QStringLiteral("SELECT * FROM Master"));
        m_chooser->answer = m_dir->filePath(QStringLiteral("gone/fees.csv"));
        form().ExportBtn->click();
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QVERIFY2(m_messages.shown[0].second.startsWith(
                     QStringLiteral("Cannot create file \"%1\". ").arg(m_chooser->answer)),
                 qPrintable(m_messages.shown[0].second));
        QVERIFY(m_messages.shown[0].second.endsWith(u'.'));
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 1 of 3"));
    }

    // The open database is never replaced by an export, by any of its names.
    void exportOntoTheDatabaseIsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("the database") << "ZVFee2.db3";
        QTest::newRow("a symbolic link to it") << "link.csv";
        QTest::newRow("its journal, not made yet") << "ZVFee2.db3-journal";
    }
    void exportOntoTheDatabaseIsRefused() {
        QFETCH(QString, name);
        const QString db = m_dir->filePath(QStringLiteral("ZVFee2.db3"));
        QVERIFY(QFile::link(db, m_dir->filePath(QStringLiteral("link.csv"))));
        const QByteArray before = ReadAll(db);
        load(QStringLiteral("SELECT * FROM Master"));
        m_chooser->answer = m_dir->filePath(name);
        form().ExportBtn->click();
        QCOMPARE(m_messages.texts(),
                 QStringList{QStringLiteral("Cannot write \"%1\": it is the fee database.")
                                 .arg(m_chooser->answer)});
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QVERIFY(ReadAll(db) == before);
        QVERIFY(!QFile::exists(db + QStringLiteral("-journal")));
    }

    void saveDialogIsSetUpAsTheExportShowsIt() {
        QFileDialog dialog;
        ExportSaveDialog::Configure(dialog, QString());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Export data to CSV file"));
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog.nameFilters(),
                 QStringList({"CSV files (*.csv)", "CSV UTF-8 (*.csv)", "Excel workbook (*.xlsx)",
                              "Text files (*.txt)", "All files (*.*)"}));
        QCOMPARE(dialog.selectedNameFilter(), QStringLiteral("CSV files (*.csv)"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("csv"));
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
        dialog.selectNameFilter(ExportSaveDialog::kXlsxFilter);
        Q_EMIT dialog.filterSelected(ExportSaveDialog::kXlsxFilter);
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("xlsx"));
    }

    /// A Windows-1252 file that lost characters says how many, in the same box.
    void exportSaysWhatWindows1252Lost_data() {
        QTest::addColumn<CsvEncoding>("encoding");
        QTest::addColumn<QString>("saved");
        const QString lost = QStringLiteral(
            "Report table saved\n4 characters could not be written in Windows-1252 and were "
            "saved as \"?\". Choose \"CSV UTF-8\" to keep them.");
        QTest::newRow("Windows-1252") << CsvEncoding::Windows1252 << lost;
        QTest::newRow("UTF-8 keeps them") << CsvEncoding::Utf8 << "Report table saved";
    }
    void exportSaysWhatWindows1252Lost() {
        QFETCH(CsvEncoding, encoding);
        QFETCH(QString, saved);
        load(QStringLiteral("SELECT '\u0141\u00f3d\u017a \U0001F3B2' AS Name, '\u4e2d' AS More"));
        m_chooser->answer = m_dir->filePath(QStringLiteral("lost.csv"));
        m_chooser->encoding = encoding;
        form().ExportBtn->click();
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Information);
        QCOMPARE(m_messages.shown[0].second, saved);
    }

    void exportAsWorkbook() {
        load(QStringLiteral("SELECT * FROM Master"));
        m_chooser->answer = m_dir->filePath(QStringLiteral("fees.xlsx"));
        m_chooser->format = ReportFormat::Xlsx;
        form().ExportBtn->click();
        QCOMPARE(ReadAll(m_chooser->answer).left(2), QByteArray("PK")); // a zip container
        QCOMPARE(m_messages.texts(), QStringList{"Report table saved"});
        QCOMPARE(form().ReportStatus->text(), QStringLiteral("Report record 1 of 3"));
    }

    void saveDialogRemembersTheLastNameAndType() {
        ExportSaveDialog dialog(&form());
        const QString folder = m_dir->path();
        QStringList shownWith;
        int answered = 0;
        // Answers the modal dialog once it is up: records what it shows, types a name.
        auto answer = [&](const QString& typed) {
            QTimer::singleShot(0, [&, typed] {
                auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!box)
                    return;
                shownWith << box->directory().absolutePath();
                box->setDirectory(folder);
                box->selectFile(typed);
                box->selectNameFilter(ExportSaveDialog::kUtf8Filter);
                ++answered;
                QMetaObject::invokeMethod(box, "accept");
            });
        };
        answer(QStringLiteral("first"));
        QCOMPARE(dialog.chooseExportFile(), folder + QStringLiteral("/first.csv"));
        QCOMPARE(dialog.lastFileName(), folder + QStringLiteral("/first.csv"));
        QCOMPARE(dialog.chosenEncoding(), CsvEncoding::Utf8);
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!box)
                return;
            shownWith << box->directory().absolutePath() << box->selectedNameFilter();
            ++answered;
            box->reject();
        });
        QCOMPARE(dialog.chooseExportFile(), QString());
        QCOMPARE(answered, 2);
        QCOMPARE(shownWith.value(1), folder);
        QCOMPARE(shownWith.value(2), ExportSaveDialog::kUtf8Filter);
        QCOMPARE(dialog.lastFileName(), folder + QStringLiteral("/first.csv"));
    }
};

QTEST_MAIN(TestMainReports)
#include "test_mainreports.moc"
