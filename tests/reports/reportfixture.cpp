#include "reportfixture.h"

#include "feedatabase.h"
#include "testsupport.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

void CreateReportFixture(FeeDatabase& db, const QString& path) {
    OpenOrCreateFeeDatabase(db, path);
    db.Execute(QStringLiteral(
        "BEGIN;"
        "INSERT INTO Master VALUES (1, 'Daily \"Turbo\"', '2024-03-01', '20:00', 3600, 10, 3, 0, "
        "'No', 10, 1, '0');"
        "INSERT INTO Master VALUES (2, 'Sunday, Major', '2024-03-02', '21:00', NULL, 8, 2, 12.5, "
        "'Yes', 100, 10, '1');"
        "INSERT INTO Master VALUES (3, 'Caf\u00e9', '2024-03-05', '19:30', 1800, NULL, 1, NULL, "
        "'No', 0.5, 0.05, NULL);"
        "INSERT INTO Detail VALUES (1, 'Alice', 7.5), (1, 'Bob', 5), (2, 'Alice', 5),"
        " (2, '\"', 2.25), (2, 'Smith, John', 1), (3, 'Line' || char(13, 10) || 'Break', 0.00005),"
        " (3, 'Zo\u00eb \u20ac', 3), (3, '\u4e2d\u6587 \U0001F600', NULL);"
        "CREATE TABLE Numbers (Id INTEGER, Whole INTEGER, Value REAL);"
        "INSERT INTO Numbers VALUES (1, 0, 0.0001), (2, -42, 0.00005), (3, 9007199254740993, "
        "1e15), (4, 10, 999999999999999), (5, 1, 0.1 + 0.2), (6, 2, 1.0 / 3),"
        " (7, 3, -3.25), (8, 4, 123456789.123456789), (9, 5, 10.0), (10, 6, -0.0);"
        // Values that do not fit their column's kind, and texts a spreadsheet reads as formulas.
        "CREATE TABLE Odd (Id INTEGER, Whole INTEGER, Value REAL, Name TEXT);"
        "INSERT INTO Odd VALUES (1, 'a,b,c', 'x\"y', '=lead'), (2, '2024-05-03', '12,5', '=1+1'),"
        " (3, '+41 79', 2, '+41 79'), (4, 1.0 / 3, -0.5, '-x'), (5, 7.0, NULL, '@SUM(A1)'),"
        " (6, x'00ff', x'10', char(9) || 'tab'), (7, 1e300, '', char(13) || 'cr'),"
        " (8, -42, 3.25, '''quoted'), (9, NULL, '-1', ' =spaced');"
        "COMMIT;"));
}

QString FeesByPlayerSql() {
    return QStringLiteral("SELECT Player, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS "
                          "Fees FROM Master INNER JOIN Detail USING (TNumber) GROUP BY Player");
}

QString OwnFormValuesSql() {
    return QStringLiteral("SELECT Id, Whole, Value, CASE Id WHEN 1 THEN 10 WHEN 2 THEN 'ten' ELSE"
                          " Id / 4.0 END AS Mixed FROM Odd ORDER BY Id");
}

QString FormulaTextsSql() {
    return QStringLiteral("SELECT Name AS \"=Name\", Whole AS \"-Whole\" FROM Odd ORDER BY Id");
}

QString ReportReaderPython() {
    if (QFile::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

QJsonObject ReadReportBack(const QString& kind, const QString& path) {
    QProcess reader;
    reader.start(ReportReaderPython(), {TestDataPath(QStringLiteral("readreport.py")), kind, path});
    if (!reader.waitForFinished(60000) || reader.exitCode() != 0) {
        qWarning().noquote() << reader.readAllStandardError();
        return QJsonObject();
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

QString AsReadOffPage(const QString& text) {
    QString out;
    for (const char32_t c : text.toUcs4())
        if (c < 0x10000)
            out += QChar(char16_t(c));
    return out.simplified();
}
