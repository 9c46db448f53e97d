#include "feedatabase.h"
#include "reportfixture.h"
#include "resultset.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

namespace {
const QString kZvfee = QStringLiteral(ZV_BUILD_DIR "/zvfee");

struct Run {
    int exitCode = -1;
    QString err;
};

/// Runs zvfee as a cron job would: no display, and a platform that would need one.
Run RunZvfee(const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(kZvfee, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// "png 640x480" from a PNG file's header, "svg 0 0 1200 700: TITLE" from an SVG's root element
/// (its view box) and title, or what went wrong.
QString ImageSummary(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG\r\n\x1a\n") && bytes.mid(12, 4) == "IHDR") {
        return QStringLiteral("png %1x%2")
            .arg(qFromBigEndian<quint32>(bytes.constData() + 16))
            .arg(qFromBigEndian<quint32>(bytes.constData() + 20));
    }
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != u"svg")
        return QStringLiteral("neither PNG nor SVG");
    const QString viewBox = xml.attributes().value(QStringLiteral("viewBox")).toString();
    QString title;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"title")
            title = xml.readElementText();
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        return QStringLiteral("broken SVG: ") + xml.errorString();
    return QStringLiteral("svg %1: %2").arg(viewBox, title);
}
} // namespace

class TestZvfeeChart : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_db;

private Q_SLOTS:
    void initTestCase() {
        m_db = m_dir.filePath(QStringLiteral("fees.db3"));
        FeeDatabase db;
        CreateReportFixture(db, m_db);
    }

    void writesTheImageItsNameAsksFor_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("image");
        QTest::newRow("png, default size") << QStringList{"--report", "Fees by Date"} << "date.png"
                                           << "png 1200x700";
        QTest::newRow("png, size given")
            << QStringList{"--report=10", "--width", "640", "--height=480"} << "month.png"
            << "png 640x480";
        QTest::newRow("svg of a ranking")
            << QStringList{"--report", "fees by player", "--start", "2024-03-02"} << "players.svg"
            << "svg 0 0 1200 700: Fees by Player";
        QTest::newRow("svg by an upper-case extension, typed SQL")
            << QStringList{"--sql", "SELECT Player, Fees FROM Detail", "--width", "800"}
            << "query.SVG"
            << "svg 0 0 800 700: SQL query";
        QTest::newRow("svg of the years 0001 to 9999")
            << QStringList{"--sql", "SELECT '0001-01-01' AS Date, 1.5 AS Fees UNION ALL "
                                    "SELECT '9999-12-31', 2"}
            << "years.svg"
            << "svg 0 0 1200 700: SQL query, by year";
    }
    void writesTheImageItsNameAsksFor() {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        QFETCH(QString, image);
        const QString path = m_dir.filePath(file);
        WriteFileBytes(path, QByteArray(200000, 'o')); // replaced whole
        const Run run = RunZvfee(QStringList{"chart", "--db", m_db, "--output", path} + args);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        const QByteArray bytes = ReadAll(path);
        QVERIFY(!bytes.contains(QByteArray(100, 'o')));
        QCOMPARE(ImageSummary(bytes), image);
    }

    // Exit statuses and messages as "zvfee report" gives them; no file is made on any of them.
    void failsAsTheReportCommandDoes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString png = m_dir.filePath(QStringLiteral("never.png"));
        QTest::newRow("no output") << QStringList{"--report", "1"} << 2 << "give --output";
        QTest::newRow("neither png nor svg")
            << QStringList{"--report", "1", "--output", m_dir.filePath("x.jpg")} << 2
            << "must end in .png or .svg";
        QTest::newRow("width too small")
            << QStringList{"--report", "1", "--output", png, "--width", "50"} << 2
            << "from 100 to 10000";
        QTest::newRow("height not a number")
            << QStringList{"--report", "1", "--output", png, "--height", "7OO"} << 2
            << "from 100 to 10000";
        QTest::newRow("both report and sql")
            << QStringList{"--report", "1", "--sql", "SELECT 1", "--output", png} << 2
            << "give either --report or --sql";
        QTest::newRow("unknown report")
            << QStringList{"--report", "11", "--output", png} << 2 << "no report \"11\"";
        QTest::newRow("bad date") << QStringList{"--report",   "9",        "--end",
                                                 "2024-02-30", "--output", png}
                                  << 2 << "yyyy-MM-dd";
        QTest::newRow("syntax error")
            << QStringList{"--sql", "SELEC 1", "--output", png} << 1 << "syntax error";
        QTest::newRow("a change to the tables")
            << QStringList{"--sql", "DELETE FROM Detail", "--output", png} << 1 << "would write";
        QTest::newRow("a copy of the database")
            << QStringList{"--sql", "VACUUM INTO '" + m_dir.filePath("copy.db3") + "'", "--output",
                           png}
            << 1 << "would write";
        QTest::newRow("another database attached")
            << QStringList{"--sql", "ATTACH '" + m_dir.filePath("copy.db3") + "' AS copy",
                           "--output", png}
            << 1 << "ATTACH or DETACH";
        QTest::newRow("Clear composes nothing")
            << QStringList{"--report", "Clear", "--output", png} << 1 << "Report table is empty\n";
        QTest::newRow("no rows in the range")
            << QStringList{"--report", "Fees by Date", "--start", "2030-01-01", "--output", png}
            << 1 << "The report has no rows\n";
        QTest::newRow("a total over no rows")
            << QStringList{"--report", "Total Fees", "--start", "2030-01-01", "--output", png} << 1
            << "The report has no rows\n";
        QTest::newRow("no number column")
            << QStringList{"--sql", "SELECT TName, Date FROM Master", "--output", png} << 1
            << "The report has no number column to chart\n";
        QTest::newRow("folder gone")
            << QStringList{"--report", "1", "--output", m_dir.filePath("gone/x.png")} << 1
            << QStringLiteral("Cannot create file \"%1\". ").arg(m_dir.filePath("gone/x.png"));
    }
    void failsAsTheReportCommandDoes() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        const Run run = RunZvfee(QStringList{"chart", "--db", m_db} + args);
        QCOMPARE(run.exitCode, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("never.png"))));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("copy.db3"))));
        // Nothing was changed: every fee is still there.
        FeeDatabase db;
        db.setDatabaseName(m_db);
        db.Open();
        ResultSet view;
        view.open(db, QStringLiteral("SELECT COUNT(*) FROM Detail"));
        QCOMPARE(view.integerAt(0, 0), 8);
    }

    // No image is drawn onto the database, by any of its names.
    void outputOntoTheDatabaseIsRefused_data() {
        QTest::addColumn<QString>("output");
        QTest::newRow("the database itself") << "fees.png";
        QTest::newRow("a symbolic link to it") << "link.svg";
    }
    void outputOntoTheDatabaseIsRefused() {
        QFETCH(QString, output);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("fees.png"));
        QVERIFY(QFile::copy(m_db, db));
        QVERIFY(QFile::link(db, dir.filePath(QStringLiteral("link.svg"))));
        const QByteArray before = ReadAll(db);
        const QString target = dir.filePath(output);
        const Run run = RunZvfee({"chart", "--db", db, "--report", "1", "--output", target});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 QStringLiteral("Cannot write \"%1\": it is the fee database.\n").arg(target));
        QVERIFY(ReadAll(db) == before);
    }

    void otherCommandsNeedNoGraphics() {
        // The report command starts no graphical platform: "xcb" without a display would fail.
        const Run run = RunZvfee({"report", "--db", m_db, "--report", "Fees by Month", "--output",
                                  m_dir.filePath(QStringLiteral("m.csv"))});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(ReadAll(m_dir.filePath(QStringLiteral("m.csv"))),
                 QByteArray("\"Month\",\"Tournaments\",\"Fees\"\r\n\"2024-03\",3,23.75005\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestZvfeeChart)
#include "test_zvfee_chart.moc"
