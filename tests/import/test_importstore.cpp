#include "error.h"
#include "resultsblock.h"

#include <QTest>

class TestImportStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void errorKeepsEarlierTournamentsInTransaction();
    void errorNamesItsLineAndTournament_data();
    void errorNamesItsLineAndTournament();
    void databaseErrorRaises();
    void importingTwiceGivesSameRows();
    void importAgainReplacesPlayerList_data();
    void importAgainReplacesPlayerList();
    void manyTournaments();
};

void TestImportStore::errorKeepsEarlierTournamentsInTransaction() {
    FeeDbFixture f;
    f.db.StartTransaction();
    const QString text =
        Block({"Number=1"}) + Block({"Number=2", "Start=2024-05-03 8:00:00"}) + Block({"Number=3"});
    QVERIFY_THROWS_EXCEPTION(ZvError, ImportResults(Lines(text), f.db));
    QCOMPARE(f.rows(QStringLiteral("SELECT TNumber FROM Master")), QStringList{"1"});
    f.db.Rollback();
    QCOMPARE(f.rows(QStringLiteral("SELECT TNumber FROM Master")), QStringList{});
}

void TestImportStore::errorNamesItsLineAndTournament_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("asLines"); // through the line list, else through the text
    QTest::addColumn<QString>("place");
    const QString bad = Block({"Number=1207", "Start=2024-05-03 8:00:00"});
    QTest::newRow("first block") << bad << true << "line 11 (tournament 1207)";
    QTest::newRow("second block, CR LF")
        << QString(Block() + bad).replace(QStringLiteral("\n"), QStringLiteral("\r\n")) << false
        << "line 22 (tournament 1207)";
    QTest::newRow("after blank lines and a broken block")
        << QStringLiteral("\n\n") + Block({"-PrizeBonus="}) + bad << false
        << "line 23 (tournament 1207)";
}

void TestImportStore::errorNamesItsLineAndTournament() {
    QFETCH(QString, text);
    QFETCH(bool, asLines);
    QFETCH(QString, place);
    FeeDbFixture f;
    try {
        ResultsImporter importer(f.db);
        asLines ? importer.Import(Lines(text)) : importer.ImportText(text);
        QFAIL("no error raised");
    } catch (const ResultsTextError& e) {
        QCOMPARE(e.message(), QStringLiteral("'8:' is not a valid integer value")); // the window's
        QCOMPARE(e.place(), place);
    }
}

void TestImportStore::databaseErrorRaises() {
    FeeDbFixture f;
    f.db.Execute(QStringLiteral("DROP TABLE Master"));
    try {
        ImportText(f, Block());
        QFAIL("no error raised");
    } catch (const ZvError& e) {
        QCOMPARE(e.message(), QStringLiteral("no such table: Master"));
    }
    f.db.Rollback();
}

void TestImportStore::importingTwiceGivesSameRows() {
    FeeDbFixture f;
    const QString text = QString::fromUtf8(kWorkedExample);
    QCOMPARE(ImportText(f, text), 2);
    const QStringList master = f.masterRows();
    const QStringList detail =
        f.rows(QStringLiteral("SELECT * FROM Detail ORDER BY TNumber, Player"));
    QCOMPARE(ImportText(f, text), 2);
    QCOMPARE(f.masterRows(), master);
    QCOMPARE(f.rows(QStringLiteral("SELECT * FROM Detail ORDER BY TNumber, Player")), detail);
}

void TestImportStore::importAgainReplacesPlayerList_data() {
    QTest::addColumn<QStringList>("imports"); // each text imported and committed on its own
    QTest::addColumn<QStringList>("details"); // every Detail row, by TNumber and Player
    QTest::addColumn<QStringList>("totals");  // TNumber|sum of Fees

    const QString ab = Block({"Place1=alpha", "Place2=bravo"});
    QTest::newRow("corrected file drops a player")
        << QStringList{ab, Block({"BuyIn=10+2", "Place1=alpha"})} << QStringList{"1|alpha|2"}
        << QStringList{"1|2"};
    QTest::newRow("corrected name in other letter case")
        << QStringList{ab, Block({"Place1=alpha", "Place2=Bravo"})}
        << QStringList{"1|Bravo|1", "1|alpha|1"} << QStringList{"1|2"};
    QTest::newRow("same number later in one file")
        << QStringList{ab + Block({"Place1=charlie"})} << QStringList{"1|charlie|1"}
        << QStringList{"1|1"};
    QTest::newRow("other tournaments keep their players")
        << QStringList{ab + Block({"Number=2", "Place1=xray"}), Block({"Place1=yankee"})}
        << QStringList{"1|yankee|1", "2|xray|1"} << QStringList{"1|1", "2|1"};
    QTest::newRow("a block without fees writes nothing")
        << QStringList{ab, Block({"BuyIn=0+0", "Place1=zulu"})}
        << QStringList{"1|alpha|1", "1|bravo|1"} << QStringList{"1|2"};
}

void TestImportStore::importAgainReplacesPlayerList() {
    QFETCH(QStringList, imports);
    QFETCH(QStringList, details);
    QFETCH(QStringList, totals);
    FeeDbFixture f;
    for (const QString& text : imports)
        QVERIFY(ImportText(f, text) > 0 || text.contains(u"BuyIn=0+0"));
    QCOMPARE(f.rows(QStringLiteral("SELECT * FROM Detail ORDER BY TNumber, Player")), details);
    QCOMPARE(f.rows(QStringLiteral(
                 "SELECT TNumber, sum(Fees) FROM Detail GROUP BY TNumber ORDER BY TNumber")),
             totals);
}

void TestImportStore::manyTournaments() {
    QString text;
    for (int n = 1; n <= 5000; ++n)
        text += Block({"Number=" + QString::number(n), "RebuyFee=Yes", "Place1=a AddOn:Yes",
                       "Place2=b Rebuys:" + QString::number(n % 4), "Place3=c Removed", "Place4=d",
                       "Place5=e KO:a"});
    FeeDbFixture f;
    QCOMPARE(ImportText(f, text), 5000);
    QCOMPARE(f.rows(QStringLiteral("SELECT count(*), sum(Paid) FROM Master")),
             QStringList{"5000|32500"});
    QCOMPARE(f.rows(QStringLiteral("SELECT count(*), sum(Fees) FROM Detail")),
             QStringList{"25000|32500"});
    QCOMPARE(f.rows(QStringLiteral(
                 "SELECT Player, Fees FROM Detail WHERE TNumber = 4999 ORDER BY rowid")),
             (QStringList{"a|2", "b|4", "c|0", "d|1", "e|1"}));
}

QTEST_GUILESS_MAIN(TestImportStore)
#include "test_importstore.moc"
