#include "csvexport.h"
#include "exportfile.h"
#include "feedatabase.h"
#include "htmlwriter.h"
#include "pdfreport.h"
#include "reportcatalogue.h"
#include "reportexport.h"
#include "reportfixture.h"
#include "reportstream.h"
#include "resultset.h"
#include "testsupport.h"
#include "textwriters.h"
#include "workbookwriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {
/// Texts and numbers that break careless writers: non-Latin-1 letters, a character outside the
/// basic plane, quotes, delimiters, line ends, formula starts, the 64-bit limits, NULLs.
const QString kHostileSql = QStringLiteral(
    "SELECT Name AS \"=Name, \"\"quoted\"\"\", Whole, Value, Mixed FROM Hostile ORDER BY Id");

void CreateHostileTable(FeeDatabase& db) {
    db.Execute(QStringLiteral(
        "CREATE TABLE Hostile (Id INTEGER, Name TEXT, Whole INTEGER, Value REAL, Mixed);"
        "INSERT INTO Hostile VALUES"
        " (1, 'M\u00fcller \u0141\u00f3d\u017a \U0001F3B2', 9223372036854775807, 0.1 + 0.2, 1),"
        " (2, 'say \"hi\", then go', -9223372036854775807 - 1, -0.5, 'text'),"
        " (3, 'two' || char(10) || 'lines', 9007199254740993, 1e300, 2.5),"
        " (4, '=1+1', 9007199254740992, 5e-324, NULL),"
        " (5, '+41 79', NULL, NULL, x'00ff'),"
        " (6, '-x', 0, 123456789.123456789, -7),"
        " (7, '@SUM(A1)', -42, 1.0 / 3, '=2'),"
        " (8, NULL, 3, 10.0, ''),"
        " (10, 'cr' || char(13) || 'lf' || char(10) || ' _x0041_ _x00', 2, 2, 2),"
        " (9, 'tab' || char(9) || 'in', 1, -0.0, 'a;b');"));
}

/// Each character Windows-1252 lacks as "?", as a reader of such a file sees the text.
QString In1252(const QString& text) {
    QString out;
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        QStringEncoder encoder("windows-1252");
        const QByteArray bytes = encoder.encode(one);
        out += encoder.hasError() || bytes.size() != 1 ? QStringLiteral("?") : one;
    }
    return out;
}

/// A CSV keeps a spreadsheet from taking a text for a formula with a leading "'".
QString Guarded(const QString& text) {
    static const QString kStarts = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && kStarts.contains(text[0]) ? u'\'' + text : text;
}

QString TextAs(const QString& kind, const QString& text) {
    if (kind == u"csv-utf8")
        return Guarded(text);
    if (kind == u"csv-1252")
        return In1252(Guarded(text));
    if (kind == u"tsv") {
        QString flat = Guarded(text);
        return flat.replace(u'\t', u' ').replace(u'\r', u' ').replace(u'\n', u' ');
    }
    return text;
}

/// The file format of a kind: "lo-xlsx" is an xlsx that LibreOffice read.
QString SourceOf(const QString& kind) {
    return kind.startsWith(u"lo-") ? kind.mid(3) : kind;
}

/// The cell as the grid shows it, as a web page holds it.
QString Shown(const ResultSet& view, qsizetype row, int column) {
    if (view.isNull(row, column))
        return QString();
    switch (view.cellKind(row, column)) {
    case ColumnKind::Integer:
        return QString::number(view.integerAt(row, column));
    case ColumnKind::Float:
        return QString::number(view.realAt(row, column), 'f', 2);
    case ColumnKind::Text:
        return QString::fromUtf8(view.bytesAt(row, column));
    case ColumnKind::Blob:
        return QStringLiteral("(BLOB)");
    }
    return QString();
}

/// What the reader of kind gets back for a cell of the database.
QJsonValue Expected(const QString& kind, const ResultSet& view, qsizetype row, int column) {
    if (kind == u"html")
        return Shown(view, row, column);
    const bool lo = kind.startsWith(u"lo-");
    const QString source = SourceOf(kind);
    const bool strings = !lo && kind != u"json" && kind != u"xlsx";
    if (view.isNull(row, column))
        return strings || lo ? QJsonValue(QString()) : QJsonValue();
    switch (view.cellKind(row, column)) {
    case ColumnKind::Integer: {
        const qint64 value = view.integerAt(row, column);
        constexpr qint64 kExact = qint64(1) << 53; // a spreadsheet number holds no more
        if (strings || (source == u"xlsx" && (value > kExact || value < -kExact)))
            return QString::number(value);
        return source == u"xlsx" || lo ? QJsonValue(double(value)) : QJsonValue(value);
    }
    case ColumnKind::Float:
        return view.realAt(row, column);
    case ColumnKind::Text: {
        const QString text = QString::fromUtf8(view.bytesAt(row, column));
        if (kind == u"xlsx" && text.isEmpty())
            return QJsonValue();
        if (lo) // a spreadsheet's line break inside a cell is LF
            return TextAs(source, text)
                .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                .replace(u'\r', u'\n');
        return TextAs(source, text);
    }
    case ColumnKind::Blob:
        return QString::fromLatin1(view.bytesAt(row, column).toByteArray().toHex().toUpper());
    }
    return QJsonValue();
}

/// Equal, or for a floating-point value: the same number (within the 15 significant digits of a
/// CSV, the 16 of a workbook).
bool Same(const QString& kind, const QJsonValue& got, const QJsonValue& expected, bool real) {
    const bool lo = kind.startsWith(u"lo-"); // a spreadsheet's numbers are all floating-point
    if (kind == u"html")
        return got == expected;
    if (!real && !(lo && expected.isDouble()))
        return got == expected;
    const double want = expected.toDouble();
    bool ok = got.isDouble();
    const double value = ok ? got.toDouble() : got.toString().toDouble(&ok);
    if (kind.startsWith(u"csv") || kind.startsWith(u"lo-"))
        return ok && std::fabs(value - want) <= 1e-14 * std::fabs(want);
    if (kind == u"xlsx")
        return ok && std::fabs(value - want) <= 1e-15 * std::fabs(want);
    return ok && value == want && std::signbit(value) == std::signbit(want);
}

/// Writes the statement's report in the file format of kind, as zvfee report streams it.
void WriteReport(FeeDatabase& db, const QString& sql, const QString& kind, const QString& path) {
    ExportFile file(path);
    const ReportOutput output = [&](QByteArrayView bytes) { file.write(bytes); };
    if (kind.startsWith(u"csv")) {
        StreamReportCsv(db, sql, QLocale::c(),
                        kind == u"csv-utf8" ? CsvEncoding::Utf8 : CsvEncoding::Windows1252, output);
    } else if (kind == u"tsv") {
        TsvWriter writer(output);
        StreamReport(db, sql, writer);
    } else if (kind == u"json") {
        JsonWriter writer(output);
        StreamReport(db, sql, writer);
    } else if (kind == u"html") {
        HtmlWriter writer(
            {QStringLiteral("Report"), {}, {}, QDateTime::currentDateTime(), QLocale::c(), {}},
            output);
        StreamReport(db, sql, writer);
    } else {
        WorkbookWriter writer(path, output);
        StreamReport(db, sql, writer);
    }
    file.commit();
}

/// Compares every cell read back, header row first, with the view of the same statement.
void CompareCells(const QString& kind, const QJsonArray& rows, const ResultSet& view) {
    QCOMPARE(rows.size(), view.rowCount() + 1);
    const QJsonArray header = rows[0].toArray();
    QCOMPARE(header.size(), view.columnCount());
    for (int c = 0; c < view.columnCount(); ++c)
        QCOMPARE(header[c].toString(), TextAs(SourceOf(kind), view.column(c).name));
    for (qsizetype r = 0; r < view.rowCount(); ++r) {
        const QJsonArray cells = rows[r + 1].toArray();
        QCOMPARE(cells.size(), view.columnCount());
        for (int c = 0; c < view.columnCount(); ++c) {
            const QJsonValue want = Expected(kind, view, r, c);
            const bool real = !view.isNull(r, c) && view.cellKind(r, c) == ColumnKind::Float;
            QVERIFY2(Same(kind, cells[c], want, real),
                     qPrintable(QStringLiteral("row %1 column %2: %3, expected %4")
                                    .arg(r)
                                    .arg(c)
                                    .arg(QJsonDocument(QJsonArray{cells[c]}).toJson(),
                                         QJsonDocument(QJsonArray{want}).toJson())));
        }
    }
}
/// The statements every format is tried with: the hostile values, the values of their own form,
/// the formula texts and every report of the catalogue.
QList<std::pair<QString, QString>> Statements() {
    QList<std::pair<QString, QString>> statements{{QStringLiteral("hostile"), kHostileSql},
                                                  {QStringLiteral("own form"), OwnFormValuesSql()},
                                                  {QStringLiteral("formulas"), FormulaTextsSql()}};
    for (int i = 0; i < ReportCaptions().size(); ++i)
        if (const QString sql = ComposeReportSQL(i, std::nullopt, std::nullopt); !sql.isEmpty())
            statements.append({ReportCaptions()[i], sql});
    return statements;
}

QString Simplified(const QString& text) {
    return AsReadOffPage(text);
}
} // namespace

class TestReportFormats : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    FeeDatabase m_db;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        CreateReportFixture(m_db, m_dir.filePath(QStringLiteral("fees.db3")));
        CreateHostileTable(m_db);
        if (ReportReaderPython().isEmpty())
            QSKIP("python3 is not installed: no reference reader");
    }

    /// Every report of the catalogue and the hostile values, in every format, read back by a
    /// reader of that format that is not ours.
    void readsBackTheDatabaseValues_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sql");
        for (const char* kind : {"csv-utf8", "csv-1252", "tsv", "json", "xlsx", "html"})
            for (const auto& [name, sql] : Statements())
                QTest::addRow("%s %s", kind, qPrintable(name)) << QString::fromLatin1(kind) << sql;
    }
    void readsBackTheDatabaseValues() {
        QFETCH(QString, kind);
        QFETCH(QString, sql);
        ResultSet view;
        view.open(m_db, sql);
        const QString path = m_dir.filePath(QStringLiteral("report.") + kind);
        WriteReport(m_db, sql, kind, path);
        const QJsonObject back = ReadReportBack(kind, path);
        CompareCells(kind, back[u"rows"].toArray(), view);
        QCOMPARE(back[u"markup"].toArray(), QJsonArray());  // no markup inside a cell
        QCOMPARE(back[u"outside"].toArray(), QJsonArray()); // and nothing from outside the page
        if (kind == u"xlsx") { // the window writes the view: the same cells
            WriteWorkbookFile(path, view);
            CompareCells(kind, ReadReportBack(kind, path)[u"rows"].toArray(), view);
        }
    }

    void workbookLayout() {
        ResultSet view;
        view.open(m_db, kHostileSql);
        const QString path = m_dir.filePath(QStringLiteral("layout.xlsx"));
        WriteWorkbookFile(path, view);
        const QJsonObject back = ReadReportBack(QStringLiteral("xlsx"), path);
        QCOMPARE(back[u"bold"].toArray(), QJsonArray({true, true, true, true}));
        QCOMPARE(back[u"frozen"].toArray(), QJsonArray{QStringLiteral("A2")});
        QCOMPARE(back[u"formats"].toArray()[2].toString(), QStringLiteral("0.00"));
        QCOMPARE(back[u"formats"].toArray()[1].toString(), QStringLiteral("General"));
    }

    /// Past the rows of a sheet the rows go on in "Report (2)", and so on, each with the header.
    void workbookSheetsPastTheRowLimit_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("sheets");
        QTest::newRow("one short of full") << 4 << QStringList{"Report"};
        QTest::newRow("exactly full: no empty sheet") << 5 << QStringList{"Report"};
        QTest::newRow("one more") << 6 << QStringList{"Report", "Report (2)"};
        QTest::newRow("three sheets") << 11 << QStringList{"Report", "Report (2)", "Report (3)"};
    }
    void workbookSheetsPastTheRowLimit() {
        QFETCH(int, rows);
        QFETCH(QStringList, sheets);
        ResultSet view;
        view.open(m_db, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                       "FROM n WHERE i < %1) SELECT i AS Row FROM n")
                            .arg(rows));
        const QString path = m_dir.filePath(QStringLiteral("sheets.xlsx"));
        WriteWorkbookFile(path, view, 5);
        const QJsonObject back = ReadReportBack(QStringLiteral("xlsx"), path);
        QCOMPARE(back[u"sheets"].toVariant().toStringList(), sheets);
        QJsonArray expected;
        for (int i = 1; i <= rows; ++i) {
            if ((i - 1) % 5 == 0)
                expected << QJsonArray{QStringLiteral("Row")};
            expected << QJsonArray{i};
        }
        QCOMPARE(back[u"rows"].toArray(), expected);
    }

    /// LibreOffice, the spreadsheet at hand, opens each file a user would give it and saves the
    /// cells as a CSV with every text quoted: numbers come back as numbers, texts as texts.
    void libreOfficeReadsTheFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("charset"); // of the CSV filter; empty for a workbook
        QTest::newRow("xlsx") << "xlsx" << QString();
        QTest::newRow("UTF-8 CSV") << "csv-utf8"
                                   << "76";
        QTest::newRow("Windows-1252 CSV") << "csv-1252"
                                          << "1";
        QTest::newRow("TSV") << "tsv"
                             << "76";
    }
    void libreOfficeReadsTheFiles() {
        QFETCH(QString, kind);
        QFETCH(QString, charset);
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("soffice (LibreOffice) is not installed: the round trip through it is skipped");
        const QString name = QStringLiteral("lo.") + kind.section(u'-', 0, 0);
        const QString path = m_dir.filePath(kind + u'/' + name);
        QVERIFY(QDir().mkpath(m_dir.filePath(kind)));
        WriteReport(m_db, kHostileSql, kind, path);
        QStringList args{QStringLiteral("-env:UserInstallation=file://") +
                             m_dir.filePath(QStringLiteral("lo")),
                         QStringLiteral("--headless")};
        if (!charset.isEmpty())
            args << QStringLiteral("--infilter=CSV:%1,34,%2,1,,0,true,false")
                        .arg(kind == u"tsv" ? 9 : 44)
                        .arg(charset);
        const QString outFolder = m_dir.filePath(kind + QStringLiteral("/out"));
        args << QStringLiteral("--convert-to")
             << QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,true,false,"
                               "false,false")
             << QStringLiteral("--outdir") << outFolder << path;
        QProcess office;
        office.start(soffice, args);
        QVERIFY(office.waitForFinished(300000));
        const QString converted = outFolder + QStringLiteral("/lo.csv");
        QVERIFY2(QFile::exists(converted), office.readAllStandardError().constData());
        ResultSet view;
        view.open(m_db, kHostileSql);
        CompareCells(QStringLiteral("lo-") + kind,
                     ReadReportBack(QStringLiteral("lo-csv"), converted)[u"rows"].toArray(), view);
    }

    /// The PDF pages of the same statements, read back by pdftotext: every value, as the grid
    /// shows it, is on them, and every page ends with its number.
    void pagesHoldEveryValue_data() {
        QTest::addColumn<QString>("sql");
        for (const auto& [name, sql] : Statements())
            QTest::newRow(qPrintable(name)) << sql;
    }
    void pagesHoldEveryValue() {
        QFETCH(QString, sql);
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: the PDF is not read back");
        ResultSet view;
        view.open(m_db, sql);
        const QString path = m_dir.filePath(QStringLiteral("report.pdf"));
        {
            ExportFile file(path);
            PdfReport writer(
                {QStringLiteral("Report"), {}, {}, QDateTime::currentDateTime(), QLocale::c(), {}},
                view.rowCount(), [&](QByteArrayView bytes) { file.write(bytes); });
            StreamReport(m_db, sql, writer);
            file.commit();
        }
        QProcess reader;
        reader.start(pdftotext,
                     {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        QVERIFY(reader.waitForFinished(60000));
        const QString text = Simplified(QString::fromUtf8(reader.readAllStandardOutput()));
        QVERIFY2(text.contains(QStringLiteral("Page 1 of ")), qPrintable(text.left(400)));
        for (int c = 0; c < view.columnCount(); ++c)
            QVERIFY2(text.contains(Simplified(view.column(c).name)),
                     qPrintable(view.column(c).name));
        for (qsizetype r = 0; r < view.rowCount(); ++r)
            for (int c = 0; c < view.columnCount(); ++c) {
                // A value wider than any column may be (a 300-digit number) is cut with "…".
                const QString shown = Simplified(Shown(view, r, c));
                const bool cut =
                    shown.size() > 80 && text.contains(shown.left(20)) && text.contains(u'\u2026');
                QVERIFY2(cut || text.contains(shown),
                         qPrintable(QStringLiteral("row %1 column %2: \"%3\" not in the PDF")
                                        .arg(r)
                                        .arg(c)
                                        .arg(shown)));
            }
    }

    void lostCharactersAreCounted_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<CsvEncoding>("encoding");
        QTest::addColumn<qsizetype>("lost");
        QTest::newRow("none lost") << "SELECT 'M\u00fcller \u20ac' AS \"\u00e9\""
                                   << CsvEncoding::Windows1252 << qsizetype(0);
        QTest::newRow("letters and one per emoji") << "SELECT '\u0141\u00f3d\u017a \U0001F3B2' AS a"
                                                   << CsvEncoding::Windows1252 << qsizetype(3);
        QTest::newRow("header too")
            << "SELECT 1 AS \"\u4e2d\"" << CsvEncoding::Windows1252 << qsizetype(1);
        QTest::newRow("UTF-8 loses nothing")
            << "SELECT '\u0141\u00f3d\u017a' AS a" << CsvEncoding::Utf8 << qsizetype(0);
    }
    void lostCharactersAreCounted() {
        QFETCH(QString, sql);
        QFETCH(CsvEncoding, encoding);
        QFETCH(qsizetype, lost);
        ResultSet view;
        view.open(m_db, sql);
        qsizetype built = 0, streamed = 0;
        BuildCsvFile(view, QLocale::c(), encoding, &built);
        StreamReportCsv(
            m_db, sql, QLocale::c(), encoding, [](QByteArrayView) {}, ',', &streamed);
        QCOMPARE(built, lost);
        QCOMPARE(streamed, lost);
    }
};

QTEST_MAIN(TestReportFormats)
#include "test_reportformats.moc"
