// The words of a refused tournament, and what the run that meets it keeps.

#include "error.h"
#include "feedbfixture.h"
#include "importrun.h"
#include "resultsblock.h"
#include "sourcepairs.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTournamentIdentity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusal_data() {
        QTest::addColumn<QStringList>(
            "runs");                       // the files of each run (";" between), "-": unrecorded
        QTest::addColumn<QString>("from"); // where the held tournament came from
        QTest::addColumn<QStringList>("numbers"); // Master at the end
        const QString friday = u"A/TR2024-05-03 Friday.txt"_s;
        const QString other = u"B/TR2024-05-03 Other.txt"_s;
        const QString recorded = u"from \"%A/TR2024-05-03 Friday.txt\""_s;
        QTest::newRow("held by a recorded file")
            << QStringList{friday, other} << recorded << QStringList{u"1207"_s};
        QTest::newRow("in the same run: nothing of the run is kept")
            << QStringList{u"B/TR2024-05-01 Free.txt;"_s + friday + u';' + other} << recorded
            << QStringList{};
        QTest::newRow("held since before the record")
            << QStringList{u"-"_s, other} << u"imported before its file was recorded"_s
            << QStringList{u"1207"_s};
    }
    void refusal() {
        QFETCH(QStringList, runs);
        QFETCH(QString, from);
        QFETCH(QStringList, numbers);
        FeeDbFixture f;
        const QString a = f.folder() + u"/A"_s;
        WriteFileBytes(a + u"/TR2024-05-03 Friday.txt"_s,
                       Tourney(1207, "Friday Freezeout", "2024-05-03 19:00:00"));
        WriteFileBytes(f.folder() + u"/B/TR2024-05-03 Other.txt"_s,
                       Tourney(1207, "Other Server Turbo", "2025-02-01 18:00:00"));
        WriteFileBytes(f.folder() + u"/B/TR2024-05-01 Free.txt"_s,
                       Tourney(1300, "Early", "2024-05-01 10:00:00"));
        QString refused;
        for (const QString& run : std::as_const(runs)) {
            if (run == u"-") {
                ImportText(
                    f, QString::fromUtf8(Tourney(1207, "Friday Freezeout", "2024-05-03 19:00:00"))
                           .remove(u'\r'));
                continue;
            }
            QList<ImportRunFile> files;
            for (const QString& file : run.split(u';'))
                files.append({f.folder() + u'/' + file, file});
            RecordingMessages messages;
            try {
                ImportResultsFiles(files, f.db, messages, [](const QString&) {}, {});
            } catch (const ZvError& e) {
                refused = e.message();
            }
            QCOMPARE(f.db.transactionLevel(), 0);
        }
        QCOMPARE(refused,
                 u"Tournament 1207 of \"%1\" (Other Server Turbo, 2025-02-01 18:00:00) is not "
                 "tournament 1207 in the fee database (Friday Freezeout, 2024-05-03 19:00:00, %2). "
                 "Results of another server, or of a server whose numbers started again, belong "
                 "in a profile of their own: zvfee --profile NAME"_s.arg(
                     f.folder() + u"/B/TR2024-05-03 Other.txt"_s,
                     QString(from).replace(u"%A"_s, QFileInfo(a).canonicalFilePath())));
        QCOMPARE(f.rows(u"SELECT TNumber FROM Master ORDER BY 1"_s), numbers);
    }
};

QTEST_GUILESS_MAIN(TestTournamentIdentity)
#include "test_tournamentidentity.moc"
