#include "mainreportsfixture.h"
#include "reportprint.h"

#include <QApplication>
#include <QFileDialog>
#include <QJsonArray>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

namespace {
QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

/// Answers the print dialog with a printer that writes a PDF file, and counts the questions.
class PdfFilePrinter : public ReportPrinterChooser {
public:
    explicit PdfFilePrinter(const QString& path) : printer(QPrinter::HighResolution) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
    }
    QPagedPaintDevice* choosePrinter(const QString& name) override {
        ++asked;
        documentName = name;
        return cancel ? nullptr : &printer;
    }
    QPrinter printer;
    QString documentName;
    int asked = 0;
    bool cancel = false;
};
} // namespace

class TestMainExport : public QObject, MainReportsFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpForm(); }
    void cleanup() { m_form.reset(); }

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

    /// Through the real dialog: the name of the database is refused without the question whether
    /// to replace it first.
    void exportOntoTheDatabaseAsksNothingFirst_data() { exportOntoTheDatabaseIsRefused_data(); }
    void exportOntoTheDatabaseAsksNothingFirst() {
        QFETCH(QString, name);
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("ZVFee2.db3")),
                            m_dir->filePath(QStringLiteral("link.csv"))));
        load(QStringLiteral("SELECT * FROM Master"));
        form().SaveDialog1 = std::make_shared<ExportSaveDialog>(&form());
        QStringList questions;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                questions << box->text();
                box->button(QMessageBox::Yes)->click();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                dialog->selectFile(m_dir->filePath(name));
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        answerer.start(10);
        form().ExportBtn->click();
        QCOMPARE(questions, QStringList());
        QCOMPARE(m_messages.texts(),
                 QStringList{QStringLiteral("Cannot write \"%1\": it is the fee database.")
                                 .arg(m_dir->filePath(name))});
    }

    void saveDialogIsSetUpAsTheExportShowsIt() {
        QFileDialog dialog;
        ExportSaveDialog::Configure(dialog, QString());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Export data to CSV file"));
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog.nameFilters(),
                 QStringList({"CSV files (*.csv)", "CSV UTF-8 (*.csv)", "Excel workbook (*.xlsx)",
                              "Web page (*.html)", "PDF document (*.pdf)", "Text files (*.txt)",
                              "All files (*.*)"}));
        QCOMPARE(dialog.selectedNameFilter(), QStringLiteral("CSV files (*.csv)"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("csv"));
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
        dialog.selectNameFilter(ExportSaveDialog::kXlsxFilter);
        Q_EMIT dialog.filterSelected(ExportSaveDialog::kXlsxFilter);
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("xlsx"));
        Q_EMIT dialog.filterSelected(ExportSaveDialog::kPdfFilter);
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("pdf"));
    }

    /// A Windows-1252 file that lost characters says how many, in the same box.
    void exportSaysWhatWindows1252Lost_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<CsvEncoding>("encoding");
        QTest::addColumn<QString>("saved");
        const QString four =
            QStringLiteral("SELECT '\u0141\u00f3d\u017a \U0001F3B2' AS Name, '\u4e2d' AS More");
        QTest::newRow("Windows-1252")
            << four << CsvEncoding::Windows1252
            << "Report table saved\n4 characters could not be written in Windows-1252 and were "
               "saved as \"?\". Choose \"CSV UTF-8\" to keep them.";
        QTest::newRow("Windows-1252, one character")
            << QStringLiteral("SELECT 'ab\u4e2d' AS Name") << CsvEncoding::Windows1252
            << "Report table saved\n1 character could not be written in Windows-1252 and was "
               "saved as \"?\". Choose \"CSV UTF-8\" to keep it.";
        QTest::newRow("UTF-8 keeps them") << four << CsvEncoding::Utf8 << "Report table saved";
    }
    void exportSaysWhatWindows1252Lost() {
        QFETCH(QString, sql);
        QFETCH(CsvEncoding, encoding);
        QFETCH(QString, saved);
        load(sql);
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

    /// A name that says its format gets that format, whatever file type the dialog was left on;
    /// other names get the type chosen. Read back by a reader of the format that is not ours.
    void exportWritesTheFormatItsNameSays_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("selected"); // the file type: csv, csv-utf8, xlsx or html
        QTest::addColumn<QString>("written");  // as tests/data/readreport.py reads it
        QTest::newRow("xlsx, CSV chosen") << "fees.xlsx"
                                          << "csv"
                                          << "xlsx";
        QTest::newRow("XLSX, CSV UTF-8 chosen") << "FEES.XLSX"
                                                << "csv-utf8"
                                                << "xlsx";
        QTest::newRow("tsv, workbook chosen") << "fees.Tsv"
                                              << "xlsx"
                                              << "tsv";
        QTest::newRow("json, CSV chosen") << "fees.json"
                                          << "csv"
                                          << "json";
        QTest::newRow("csv, workbook chosen") << "fees.csv"
                                              << "xlsx"
                                              << "csv-1252";
        QTest::newRow("csv in UTF-8") << "fees.csv"
                                      << "csv-utf8"
                                      << "csv-utf8";
        QTest::newRow("html, CSV chosen") << "fees.html"
                                          << "csv"
                                          << "html";
        QTest::newRow("HTM, workbook chosen") << "fees.HTM"
                                              << "xlsx"
                                              << "html";
        QTest::newRow("txt: web page chosen") << "fees.txt"
                                              << "html"
                                              << "html";
        QTest::newRow("txt: the type chosen") << "fees.txt"
                                              << "xlsx"
                                              << "xlsx";
        QTest::newRow("no extension: the type chosen") << "fees"
                                                       << "csv"
                                                       << "csv-1252";
    }
    void exportWritesTheFormatItsNameSays() {
        QFETCH(QString, name);
        QFETCH(QString, selected);
        QFETCH(QString, written);
        if (ReportReaderPython().isEmpty())
            QSKIP("python3 is not installed: no reference reader");
        choose(1);
        form().LoadSQLBtn->click();
        m_chooser->answer = m_dir->filePath(name);
        m_chooser->format = selected == u"xlsx"   ? ReportFormat::Xlsx
                            : selected == u"html" ? ReportFormat::Html
                                                  : ReportFormat::Csv;
        m_chooser->encoding =
            selected == u"csv-utf8" ? CsvEncoding::Utf8 : CsvEncoding::Windows1252;
        form().ExportBtn->click();
        QCOMPARE(m_messages.texts().value(0).section(u'\n', 0, 0),
                 QStringLiteral("Report table saved"));
        const QJsonArray rows = ReadReportBack(written, m_chooser->answer)[u"rows"].toArray();
        QCOMPARE(rows.size(), 8);
        QCOMPARE(rows[0].toVariant().toStringList(),
                 QStringList({"Player", "Tournaments", "Fees"}));
    }

    /// PDF pages from Export and from Print name the report and its range, hold every row and
    /// number the pages, read back by pdftotext.
    void pagesHoldTheShownReport_data() {
        QTest::addColumn<bool>("print");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("selected"); // the file type chosen (a ReportFormat)
        QTest::newRow("PDF by its name") << false << "fees.pdf" << int(ReportFormat::Csv);
        QTest::newRow("PDF document chosen") << false << "fees" << int(ReportFormat::Pdf);
        QTest::newRow("printed") << true << "printed.pdf" << 0;
    }
    void pagesHoldTheShownReport() {
        QFETCH(bool, print);
        QFETCH(QString, name);
        QFETCH(int, selected);
        if (ReportReaderPython().isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("python3 or pdftotext (poppler-utils) is not installed: no reference reader");
        const QString path = m_dir->filePath(name);
        auto printer = std::make_shared<PdfFilePrinter>(path);
        form().PrintDialog1 = printer;
        choose(1);
        form().StartCB->click();
        form().StartDate->setDate(QDate(2000, 1, 1));
        form().LoadSQLBtn->click();
        if (print) {
            form().PrintBtn->click();
            QCOMPARE(printer->documentName, QStringLiteral("Fees by Player"));
            QVERIFY(m_messages.shown.isEmpty());
        } else {
            m_chooser->answer = path;
            m_chooser->format = ReportFormat(selected);
            form().ExportBtn->click();
            QCOMPARE(m_messages.texts(), QStringList{"Report table saved"});
        }
        const QString text = ReadReportBack(QStringLiteral("pdf-text"), path)[u"text"].toString();
        for (const QString& expected :
             {QStringLiteral("Fees by Player"), QStringLiteral("From 2000-01-01"),
              QStringLiteral("Page 1 of 1")})
            QVERIFY2(text.contains(expected), qPrintable(text));
        const QAbstractItemModel* rows = form().ReportGrid->model();
        QVERIFY(rows->rowCount() > 0);
        for (int r = 0; r < rows->rowCount(); ++r)
            for (int c = 0; c < rows->columnCount(); ++c) {
                const QString shown = AsReadOffPage(rows->index(r, c).data().toString());
                QVERIFY2(text.contains(shown), qPrintable(shown));
            }
    }

    void printAsksOnlyForAnOpenReport() {
        auto printer = std::make_shared<PdfFilePrinter>(m_dir->filePath(QStringLiteral("p.pdf")));
        printer->cancel = true;
        form().PrintDialog1 = printer;
        choose(1);
        form().PrintBtn->click();
        QCOMPARE(printer->asked, 0);
        QCOMPARE(m_messages.texts(), QStringList{"Report table is empty"});
        m_messages.clear();
        form().LoadSQLBtn->click();
        form().PrintBtn->click();
        QCOMPARE(printer->asked, 1);
        QVERIFY(m_messages.shown.isEmpty());
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("p.pdf"))));
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

QTEST_MAIN(TestMainExport)
#include "test_mainexport.moc"
