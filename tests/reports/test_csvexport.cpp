#include "csvexport.h"
#include "feedatabase.h"
#include "fiforeader.h"
#include "reportcatalogue.h"
#include "reportfixture.h"
#include "reportstream.h"
#include "resultset.h"
#include "testsupport.h"
#include "windows1252.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>
#include <sys/resource.h>

Q_DECLARE_METATYPE(CsvEncoding)

namespace {
QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QString Catalogue(int index, QDate start = QDate()) {
    return ComposeReportSQL(index, start.isValid() ? std::optional(start) : std::nullopt,
                            std::nullopt);
}
} // namespace

class TestCsvExport : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        CreateReportFixture(m_db, m_dir.filePath(QStringLiteral("fees.db3")));
    }

    void escapesQuotes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("none") << "Alice"
                              << "Alice";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("one quote") << "\""
                                   << "\"\"";
        QTest::newRow("every quote") << "a\"b\"\"c\""
                                     << "a\"\"b\"\"\"\"c\"\"";
        QTest::newRow("other characters untouched") << "x,y\r\n'z'"
                                                    << "x,y\r\n'z'";
    }
    void escapesQuotes() {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(EscapeCSVQuotes(text), escaped);
    }

    void buildsTheFileByteForByte_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("golden");
        QTest::addColumn<CsvEncoding>("encoding");
        QTest::newRow("fees by player") << FeesByPlayerSql() << "C"
                                        << "fees-by-player.csv" << CsvEncoding::Windows1252;
        QTest::newRow("decimal comma quotes only numbers holding one")
            << FeesByPlayerSql() << "de_DE"
            << "fees-by-player-decimal-comma.csv" << CsvEncoding::Windows1252;
        QTest::newRow("columns without rows: header alone")
            << Catalogue(1, QDate(2030, 1, 1)) << "C"
            << "header-only.csv" << CsvEncoding::Windows1252;
        QTest::newRow("total fees in an empty range: text-kind NULL")
            << Catalogue(5, QDate(2030, 1, 1)) << "C"
            << "total-fees-no-rows-in-range.csv" << CsvEncoding::Windows1252;
        QTest::newRow("one column") << "SELECT TNumber FROM Master ORDER BY TNumber"
                                    << "C"
                                    << "one-column.csv" << CsvEncoding::Windows1252;
        QTest::newRow("NULL numbers first, middle and last")
            << "SELECT Seconds, Entrants, Bonus FROM Master ORDER BY TNumber"
            << "C"
            << "nulls-first-middle-last.csv" << CsvEncoding::Windows1252;
        QTest::newRow("master only") << Catalogue(6) << "C"
                                     << "master-only.csv" << CsvEncoding::Windows1252;
        QTest::newRow("number forms") << "SELECT Whole, Value FROM Numbers ORDER BY Id"
                                      << "C"
                                      << "number-forms.csv" << CsvEncoding::Windows1252;
        QTest::newRow("values of their own form")
            << OwnFormValuesSql() << "C"
            << "own-form-values.csv" << CsvEncoding::Windows1252;
        QTest::newRow("own form, decimal comma: quoted numbers are not guarded")
            << OwnFormValuesSql() << "de_DE"
            << "own-form-values-decimal-comma.csv" << CsvEncoding::Windows1252;
        QTest::newRow("formulas guarded, header included")
            << FormulaTextsSql() << "C"
            << "formula-guard.csv" << CsvEncoding::Windows1252;
        QTest::newRow("UTF-8 with byte-order mark")
            << FeesByPlayerSql() << "C"
            << "fees-by-player-utf8.csv" << CsvEncoding::Utf8;
        // No fixture: the view's file itself is the expectation of the streamed one.
        QTest::newRow("more rows than one streamed piece")
            << "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000)"
               " SELECT i, i / 7.0 AS f, CASE WHEN i % 5 = 0 THEN NULL ELSE '=n' || i END AS t,"
               " CASE i % 3 WHEN 0 THEN 'x' ELSE i END AS m FROM n"
            << "de_DE" << QString() << CsvEncoding::Utf8;
    }
    void buildsTheFileByteForByte() {
        QFETCH(QString, sql);
        QFETCH(QString, locale);
        QFETCH(QString, golden);
        QFETCH(CsvEncoding, encoding);
        ResultSet view;
        view.open(m_db, sql);
        view.setCurrentRow(view.rowCount() - 1);
        const qsizetype current = view.currentRow();
        const QByteArray built = BuildCsvFile(view, QLocale(locale), encoding);
        if (!golden.isEmpty())
            QCOMPARE(built, ReadAll(TestDataPath(QStringLiteral("reportcsv/") + golden)));
        QCOMPARE(view.currentRow(), current);

        // Streamed from the statement, without a view: the same bytes.
        QByteArray streamed;
        int pieces = 0;
        StreamReportCsv(m_db, sql, QLocale(locale), encoding, [&](QByteArrayView bytes) {
            streamed += bytes;
            ++pieces;
        });
        QVERIFY(streamed == built);
        QCOMPARE(pieces > 1, built.size() > 256 * 1024);
    }

    void headerQuotesEveryName_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("numbers and text alike") << "SELECT TNumber, Bonus, TName FROM Master"
                                                << QByteArray("\"TNumber\",\"Bonus\",\"TName\"");
        QTest::newRow("repeated names") << "SELECT m.TNumber, d.TNumber, d.TNumber AS tnumber FROM "
                                           "Master m JOIN Detail d USING (TNumber)"
                                        << QByteArray("\"TNumber\",\"TNumber_1\",\"tnumber_2\"");
        QTest::newRow("quote in a name")
            << "SELECT 1 AS \"Say \"\"hi\"\"\"" << QByteArray("\"Say \"\"hi\"\"\"");
        QTest::newRow("non-ASCII name")
            << "SELECT 1 AS \"Geb\u00fchr \u20ac \u4e2d\"" << QByteArray("\"Geb\xfchr \x80 ?\"");
    }
    void headerQuotesEveryName() {
        QFETCH(QString, sql);
        QFETCH(QByteArray, header);
        ResultSet view;
        view.open(m_db, sql);
        QCOMPARE(BuildCsvFile(view, QLocale::c()).split('\r').first(), header);
    }

    void textIsNeverCut() {
        const QString longName = QStringLiteral("A player whose name runs well past twenty");
        ResultSet view;
        view.open(m_db, QStringLiteral("SELECT '%1' AS Player").arg(longName));
        QCOMPARE(BuildCsvFile(view, QLocale::c()),
                 "\"Player\"\r\n\"" + longName.toLatin1() + "\"\r\n");
    }

    void encodesWindows1252WithQuestionMarks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII") << "Bob, 12.5" << QByteArray("Bob, 12.5");
        QTest::newRow("Latin-1 letters")
            << "\u00e9\u00fc\u00df\u00ff" << QByteArray("\xe9\xfc\xdf\xff");
        QTest::newRow("the 0x80 block")
            << "\u20ac\u2013\u201c\u0160" << QByteArray("\x80\x96\x93\x8a");
        QTest::newRow("outside the code page") << "a\u4e2db\u0100" << QByteArray("a?b?");
        QTest::newRow("outside the basic plane: one ?")
            << QString::fromUtf16(u"x\U0001F600y") << QByteArray("x?y");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "z" << QByteArray("?z");
        QTest::newRow("control 0x1A kept") << QString(QChar(0x1A)) << QByteArray("\x1a");
    }
    void encodesWindows1252WithQuestionMarks() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ToWindows1252(text), bytes);
    }

    void writeReplacesTheWholeFile() {
        const QString path = m_dir.filePath(QStringLiteral("replace.csv"));
        WriteFileBytes(path, QByteArray(5000, 'x'));
        WriteCsvFile(path, "\"A\"\r\n");
        QCOMPARE(ReadAll(path), QByteArray("\"A\"\r\n"));
    }

    /// What is not a regular file is written in place, never replaced; a symbolic link stays
    /// and leads to the new content.
    void writeLeavesTheNodeInPlace_data() {
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("FIFO") << true << false;
        QTest::newRow("link to a FIFO") << true << true;
        QTest::newRow("link to a file") << false << true;
    }
    void writeLeavesTheNodeInPlace() {
        QFETCH(bool, fifo);
        QFETCH(bool, throughLink);
        const QString target =
            m_dir.filePath(QStringLiteral("node-%1").arg(QTest::currentDataTag()));
        const QString link = target + QStringLiteral(".link");
        const QByteArray bytes = "\"A\"\r\n1\r\n";
        std::optional<FifoReader> reader;
        if (fifo)
            reader.emplace(target);
        else
            WriteFileBytes(target, "old content, longer than the new\r\n");
        if (throughLink)
            QVERIFY(QFile::link(target, link));
        WriteCsvFile(throughLink ? link : target, bytes);
        QCOMPARE(fifo ? reader->bytes() : ReadAll(target), bytes);
        QCOMPARE(IsFifo(target), fifo);
        QCOMPARE(QFileInfo(link).isSymLink(), throughLink);
    }

    void failedWriteNamesTheFileAndKeepsTheOldOne() {
        // A file size limit makes the write fail part-way, as a full disk would.
        const QString path = m_dir.filePath(QStringLiteral("old.csv"));
        WriteFileBytes(path, "old content\r\n");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        try {
            WriteCsvFile(path, QByteArray(64 * 1024, 'n'));
        } catch (const ZvError& e) {
            error = e.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY2(error.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)),
                 qPrintable(error));
        QVERIFY(error.size() > path.size() + 24); // the system's reason follows
        QCOMPARE(ReadAll(path), QByteArray("old content\r\n"));
        QCOMPARE(QDir(m_dir.path()).entryList({"old.csv*"}, QDir::Files | QDir::Hidden),
                 QStringList{"old.csv"});
    }

    void missingFolderNamesTheFullPath() {
        const QString path = m_dir.filePath(QStringLiteral("gone/report.csv"));
        try {
            WriteCsvFile(path, "x\r\n");
            QFAIL("no error raised");
        } catch (const ZvError& e) {
            QVERIFY2(
                e.message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)),
                qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestCsvExport)
#include "test_csvexport.moc"
