#include "error.h"
#include "resultsblock.h"

#include <QTest>

class TestImportResults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void workedExample();
    void blockGrammar_data();
    void blockGrammar();
    void keyValues_data();
    void keyValues();
    void fees_data();
    void fees();
    void names_data();
    void names();
    void startAndStop_data();
    void startAndStop();
};

void TestImportResults::workedExample() {
    {
        FeeDbFixture f;
        QCOMPARE(ImportText(f, QString::fromUtf8(kWorkedExample)), 2);
        // Read back through a second connection: the rows are in the file.
        FeeDatabase again;
        again.setDatabaseName(f.path());
        again.Open();
        f.db.Close();
        f.db.setDatabaseName(f.path());
        f.db.Open();
        QCOMPARE(f.masterRows(),
                 (QStringList{"1207|Friday Freezeout|2024-05-03|19:00:00|4530|4|7|0|No|20|2|Yes",
                              "1208|Late Turbo|2024-05-03|23:50:00|1200|2|1|25|Yes|5|0.5|No"}));
        QCOMPARE(f.detailRows(), (QStringList{"1207|delta|6", "1207|echo|2", "1207|foxtrot|6",
                                              "1207|golf|0", "1208|hotel|0.5", "1208|india|0"}));
        const QString kinds = QStringLiteral(
            "SELECT typeof(TNumber), typeof(TName), typeof(Date), typeof(Time), typeof(Seconds), "
            "typeof(Entrants), typeof(Paid), typeof(Bonus), typeof(Multiply), typeof(BuyIn), "
            "typeof(Fee), typeof(RebuyFee) FROM Master LIMIT 1");
        QCOMPARE(
            f.rows(kinds),
            QStringList{"integer|text|text|text|integer|integer|integer|real|text|real|real|text"});
        QCOMPARE(f.rows(QStringLiteral("SELECT DISTINCT typeof(TNumber), typeof(Player), "
                                       "typeof(Fees) FROM Detail")),
                 QStringList{"integer|text|real"});
    }
}

void TestImportResults::blockGrammar_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("masters"); // TNumber|TName|Entrants|Paid

    const QString one = QStringLiteral("1|Sunday Major|2|2");
    QTest::newRow("standard block") << Block() << 1 << QStringList{one};
    QTest::newRow("several tournaments")
        << Block({"Number=1"}) + Block({"Number=2", "Tournament=B"}) +
               Block({"Number=3", "BuyIn=0+0"})
        << 2 << QStringList{one, "2|B|2|2"};
    QTest::newRow("empty file") << "" << 0 << QStringList{};
    QTest::newRow("no Tournament line") << Block({"-Tournament="}) << 0 << QStringList{};
    QTest::newRow("other lines between")
        << "junk\n\nTournament=Sunday Major\n\nComment=x\nNumber=1\nBuyIn=10+1\nLevel=3\n"
           "PrizeBonus=0\nMultiplyBonus=No\n   \nEntrants=2\nRebuyFee=No\nStart=2024-05-05 "
           "18:00:00\nPlace1=alpha\nChat=hi\nPlace2=bravo\nStop=2024-05-05 18:30:00\n"
        << 1 << QStringList{one};
    QTest::newRow("second Tournament line discards the first block")
        << "Tournament=First\nNumber=7\nBuyIn=10+1\nPrizeBonus=0\nMultiplyBonus=No\nEntrants=2\n"
           "RebuyFee=No\nStart=2024-05-05 18:00:00\nPlace1=zulu\n" +
               Block({"Tournament=Second", "Number=8"})
        << 1 << QStringList{"8|Second|2|2"};
    QTest::newRow("Number 0") << Block({"Number=0"}) << 0 << QStringList{};
    QTest::newRow("Number -5") << Block({"Number=-5"}) << 0 << QStringList{};
    QTest::newRow("Number abc") << Block({"Number=abc"}) << 0 << QStringList{};
    QTest::newRow("Number with leading blanks")
        << Block({"Number=  3"}) << 1 << QStringList{"3|Sunday Major|2|2"};
    QTest::newRow("Number with trailing blank") << Block({"Number=3 "}) << 0 << QStringList{};
    QTest::newRow("Entrants 0 stalls until a later Entrants line")
        << Block({"Entrants=0\nRebuyFee=No\nEntrants=3"}) << 1 << QStringList{"1|Sunday Major|3|2"};
    QTest::newRow("Entrants 0 without a later one") << Block({"Entrants=0"}) << 0 << QStringList{};
    QTest::newRow("missing PrizeBonus") << Block({"-PrizeBonus="}) << 0 << QStringList{};
    QTest::newRow("missing Start") << Block({"-Start="}) << 0 << QStringList{};
    QTest::newRow("missing Stop") << Block({"-Stop="}) << 0 << QStringList{};
    QTest::newRow("keys out of order")
        << Block({"BuyIn=PrizeBonus=0", "PrizeBonus=BuyIn=10+1"}) << 0 << QStringList{};
    QTest::newRow("key in other letter case")
        << Block({"Number=x\nnumber=1"}).replace("Number=x\n", "") << 0 << QStringList{};
    QTest::newRow("player lines before Start are skipped")
        << Block({"RebuyFee=No\nPlace9=early"}) << 1 << QStringList{one};
    QTest::newRow("same number twice: the later block replaces the row")
        << Block() + Block({"Tournament=Again", "Place1=x"}) << 2 << QStringList{"1|Again|2|1"};
    QTest::newRow("name cut to 255 characters") << Block({"Tournament=" + QString(300, u'n')}) << 1
                                                << QStringList{"1|" + QString(255, u'n') + "|2|2"};
    // U+1F600 takes two UTF-16 units: a cut between them keeps neither.
    const QString smile = QStringLiteral("\U0001F600");
    QTest::newRow("name cut before a character it would split")
        << Block({"Tournament=" + QString(254, u'n') + smile}) << 1
        << QStringList{"1|" + QString(254, u'n') + "|2|2"};
    QTest::newRow("name keeps a character that ends at the cut")
        << Block({"Tournament=" + QString(253, u'n') + smile + "x"}) << 1
        << QStringList{"1|" + QString(253, u'n') + smile + "|2|2"};
}

void TestImportResults::blockGrammar() {
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QStringList, masters);
    FeeDbFixture f;
    QCOMPARE(ImportText(f, text), count);
    QCOMPARE(
        f.rows(QStringLiteral("SELECT TNumber, TName, Entrants, Paid FROM Master ORDER BY rowid")),
        masters);
    QCOMPARE(f.rows(QStringLiteral("SELECT count(*) FROM Master WHERE TName IS NULL")),
             QStringList{"0"});
}

void TestImportResults::keyValues_data() {
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("master"); // Bonus|Multiply|BuyIn|Fee
    QTest::newRow("standard") << QStringList{} << "0|No|10|1";
    QTest::newRow("bonus with blanks and exponent")
        << QStringList{"PrizeBonus= 2.5E1 "} << "25|No|10|1";
    QTest::newRow("multiply cut to three characters")
        << QStringList{"MultiplyBonus=Yesss"} << "0|Yes|10|1";
    QTest::newRow("multiply empty") << QStringList{"MultiplyBonus="} << "0||10|1";
    QTest::newRow("multiply cut before a character it would split")
        << QStringList{"MultiplyBonus=Ye\U0001F600"} << "0|Ye|10|1";
    QTest::newRow("multiply keeps a character that ends at the cut")
        << QStringList{"MultiplyBonus=Y\U0001F600s"} << "0|Y\U0001F600|10|1";
    QTest::newRow("buy-in with fractions") << QStringList{"BuyIn=5.5+0.55"} << "0|No|5.5|0.55";
    QTest::newRow("buy-in without buy-in part") << QStringList{"BuyIn=+1"} << "0|No|0|1";
    QTest::newRow("buy-in with blanks") << QStringList{"BuyIn= 10 + 1 "} << "0|No|10|1";
}

void TestImportResults::keyValues() {
    QFETCH(QStringList, changes);
    QFETCH(QString, master);
    FeeDbFixture f;
    QCOMPARE(ImportText(f, Block(changes)), 1);
    QCOMPARE(f.rows(QStringLiteral("SELECT Bonus, Multiply, BuyIn, Fee FROM Master")),
             QStringList{master});
}

void TestImportResults::fees_data() {
    QTest::addColumn<QString>("buyIn");
    QTest::addColumn<QString>("rebuy"); // rebuy line(s)
    QTest::addColumn<QStringList>("players");
    QTest::addColumn<QString>("master");      // Paid|RebuyFee, empty when nothing is written
    QTest::addColumn<QStringList>("details"); // Player|Fees

    const QString b = QStringLiteral("BuyIn=10+1");
    const QStringList a = {"Place1=a Rebuys:2 AddOn:Yes"};
    QTest::newRow("RebuyFee=Yes charges the buy-in fee")
        << b << "RebuyFee=Yes" << a << "4|Yes" << QStringList{"a|4"};
    QTest::newRow("RebuyCost after RebuyFee is skipped")
        << b << "RebuyFee=Yes\nRebuyCost=5+5" << a << "4|Yes" << QStringList{"a|4"};
    QTest::newRow("RebuyFee after RebuyCost is skipped")
        << b << "RebuyCost=10+2\nRebuyFee=No" << a << "4|Yes" << QStringList{"a|7"};
    QTest::newRow("RebuyCost without fee charges nothing")
        << b << "RebuyCost=10+0" << a << "1|No" << QStringList{"a|1"};
    QTest::newRow("RebuyCost fee only")
        << b << "RebuyCost=+3" << a << "4|Yes" << QStringList{"a|10"};
    QTest::newRow("RebuyFee=No") << b << "RebuyFee=No" << a << "1|No" << QStringList{"a|1"};
    QTest::newRow("RebuyFee=yes is not Yes")
        << b << "RebuyFee=yes" << a << "1|yes" << QStringList{"a|1"};
    QTest::newRow("RebuyFee first three characters")
        << b << "RebuyFee=Yesterday" << a << "4|Yes" << QStringList{"a|4"};
    QTest::newRow("RebuyFee cut before a character it would split")
        << b << "RebuyFee=Ye\U0001F600" << a << "1|Ye" << QStringList{"a|1"};
    QTest::newRow("RebuyCost fee cut before a character it would split")
        << b << "RebuyCost=0+" + QString(253, u' ') + "2\U0001F600" << a << "4|Yes"
        << QStringList{"a|7"};
    QTest::newRow("freeroll leaves no rows")
        << "BuyIn=0+0"
        << "RebuyFee=No" << QStringList{"Place1=a", "Place2=b Rebuys:3"} << "" << QStringList{};
    QTest::newRow("freeroll with paid rebuys")
        << "BuyIn=0+0"
        << "RebuyCost=5+1" << QStringList{"Place1=a Rebuys:1", "Place2=b"} << "1|Yes"
        << QStringList{"a|1", "b|0"};
    QTest::newRow("buy-in without plus pays nothing")
        << "BuyIn=10"
        << "RebuyFee=No" << QStringList{"Place1=a"} << "" << QStringList{};
    QTest::newRow("buy-in fee not a number")
        << "BuyIn=10+1+2"
        << "RebuyFee=No" << QStringList{"Place1=a"} << "" << QStringList{};
    QTest::newRow("removed pays add-on and rebuys")
        << b << "RebuyFee=Yes"
        << QStringList{"Place1=a Removed Rebuys:1 AddOn:Yes", "Place2=b Removed"} << "2|Yes"
        << QStringList{"a|2", "b|0"};
    QTest::newRow("KO [removed] pays add-on and rebuys")
        << b << "RebuyFee=Yes"
        << QStringList{"Place1=a KO:[removed] Rebuys:1", "Place2=b KO=[removed]"} << "1|Yes"
        << QStringList{"a|1", "b|0"};
    QTest::newRow("KO key ignores letter case")
        << b << "RebuyFee=No" << QStringList{"Place1=a ko:[removed]", "Place2=b"} << "1|No"
        << QStringList{"a|0", "b|1"};
    QTest::newRow("removal mark is exact")
        << b << "RebuyFee=No"
        << QStringList{"Place1=a removed", "Place2=Removed", "Place3=c XRemoved"} << "3|No"
        << QStringList{"a|1", "Removed|1", "c|1"};
    QTest::newRow("removal mark anywhere")
        << b << "RebuyFee=No" << QStringList{"Place1=a KO:b Removed-late"} << "" << QStringList{};
    QTest::newRow("AddOn value is exact")
        << b << "RebuyFee=Yes" << QStringList{"Place1=a AddOn:yes"} << "1|Yes"
        << QStringList{"a|1"};
    QTest::newRow("AddOn key ignores letter case")
        << b << "RebuyFee=Yes" << QStringList{"Place1=a ADDON=Yes"} << "2|Yes"
        << QStringList{"a|2"};
    QTest::newRow("add-on of a free rebuy still counts")
        << b << "RebuyCost=5+0\nRebuyFee=Yes" << QStringList{"Place1=a AddOn:Yes"} << "1|No"
        << QStringList{"a|1"};
    QTest::newRow("negative rebuys are used unchanged")
        << b << "RebuyFee=Yes" << QStringList{"Place1=a Rebuys:-1", "Place2=b Rebuys:1"} << "2|Yes"
        << QStringList{"a|0", "b|2"};
    QTest::newRow("rebuys not an integer")
        << b << "RebuyFee=Yes" << QStringList{"Place1=a Rebuys:two", "Place2=b Rebuys:"} << "2|Yes"
        << QStringList{"a|1", "b|1"};
    QTest::newRow("first Rebuys token counts")
        << b << "RebuyFee=Yes" << QStringList{"Place1=a Rebuys:1 Rebuys:5"} << "2|Yes"
        << QStringList{"a|2"};
    QTest::newRow("keys in any order with many blanks")
        << b << "RebuyFee=Yes" << QStringList{"Place1=a   AddOn:Yes  KO:x Rebuys:1  "} << "3|Yes"
        << QStringList{"a|3"};
    QTest::newRow("negative fee is charged but not counted")
        << "BuyIn=10+-1"
        << "RebuyCost=0+2" << QStringList{"Place1=a Rebuys:1"} << "1|Yes" << QStringList{"a|1"};
    QTest::newRow("0.1 + 0.2 is stored as 0.3")
        << "BuyIn=10+0.1"
        << "RebuyCost=10+0.2" << QStringList{"Place1=a AddOn:Yes"} << "2|Yes"
        << QStringList{"a|0.3"};
    QTest::newRow("sums of a repeated name keep 15 digits")
        << "BuyIn=10+0.1"
        << "RebuyFee=No" << QStringList{"Place1=a", "Place2=a", "Place3=a"} << "3|No"
        << QStringList{"a|0.3"};
}

void TestImportResults::fees() {
    QFETCH(QString, buyIn);
    QFETCH(QString, rebuy);
    QFETCH(QStringList, players);
    QFETCH(QString, master);
    QFETCH(QStringList, details);
    FeeDbFixture f;
    const QString text =
        Block(QStringList{buyIn} + players).replace("RebuyFee=No\n", rebuy + u'\n');
    QCOMPARE(ImportText(f, text), master.isEmpty() ? 0 : 1);
    QCOMPARE(f.rows(QStringLiteral("SELECT Paid, RebuyFee FROM Master")),
             master.isEmpty() ? QStringList{} : QStringList{master});
    QCOMPARE(f.rows(QStringLiteral("SELECT Player, Fees FROM Detail ORDER BY rowid")), details);
}

void TestImportResults::names_data() {
    QTest::addColumn<QStringList>("players");
    QTest::addColumn<QStringList>("details"); // Player|Fees in the order first seen
    QTest::newRow("colon and equals sign")
        << QStringList{"Place1=kilo", "Place2:lima KO:kilo"} << QStringList{"kilo|1", "lima|1"};
    QTest::newRow("letter case merges under the first form")
        << QStringList{"Place1=Kilo", "Place2=kilo", "Place3=KILO Removed"}
        << QStringList{"Kilo|2"};
    QTest::newRow("order of first occurrence")
        << QStringList{"Place1=b", "Place2=a", "Place3=B"} << QStringList{"b|2", "a|1"};
    QTest::newRow("blank after the colon gives an empty name")
        << QStringList{"Place1: kilo"} << QStringList{"|1"};
    QTest::newRow("Places and PlaceHolder are player lines")
        << QStringList{"Places=x", "PlaceHolder=y"} << QStringList{"x|1", "y|1"};
    QTest::newRow("name with an equals sign stays whole and sums")
        << QStringList{"Place1=ab:c", "Place2=AB=C Rebuys:1"} << QStringList{"ab=c|2"};
    QTest::newRow("tab is part of the name") << QStringList{"Place1=a\tb"} << QStringList{"a\tb|1"};
    // A big field: names are looked up by hash once the list is long.
    QStringList many;
    QStringList manyRows;
    for (int i = 1; i <= 100; ++i) {
        many << QStringLiteral("Place%1=player%1").arg(i);
        manyRows << QStringLiteral("player%1|%2").arg(i).arg(i == 7 || i == 99 ? 2 : 1);
    }
    many << "Place101=PLAYER7"
         << "Place102=Player99";
    QTest::newRow("many players merge ignoring letter case") << many << manyRows;
    const QString longLine = "Place1=kilo " + QString(2000, u'x') + " Rebuys:1 KO:[removed]";
    QTest::newRow("long line") << QStringList{longLine, "Place2=lima"}
                               << QStringList{"kilo|0", "lima|1"};
}

void TestImportResults::names() {
    QFETCH(QStringList, players);
    QFETCH(QStringList, details);
    FeeDbFixture f;
    QCOMPARE(ImportText(f, Block(players)), 1);
    QCOMPARE(f.rows(QStringLiteral("SELECT Player, Fees FROM Detail ORDER BY rowid")), details);
}

void TestImportResults::startAndStop_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("buyIn");
    QTest::addColumn<QString>("outcome"); // Date|Time|Seconds, or the error text

    const QString paid = QStringLiteral("BuyIn=10+1");
    QTest::newRow("same day") << "Start=2024-05-03 19:00:00"
                              << "Stop=2024-05-03 20:15:30" << paid << "2024-05-03|19:00:00|4530";
    QTest::newRow("across midnight")
        << "Start=2024-05-03 23:50:00"
        << "Stop=2024-05-04 00:10:00" << paid << "2024-05-03|23:50:00|1200";
    QTest::newRow("stop before start")
        << "Start=2024-05-03 20:00:00"
        << "Stop=2024-05-03 19:00:00" << paid << "2024-05-03|20:00:00|3600";
    QTest::newRow("across a leap day")
        << "Start=2024-02-28 12:00:00"
        << "Stop=2024-03-01 12:00:00" << paid << "2024-02-28|12:00:00|172800";
    QTest::newRow("separators not examined")
        << "Start=2024/05/03T19.00.00"
        << "Stop=2024x05x03_19!00!01" << paid << "2024/05/03|19.00.00|1";
    QTest::newRow("field with a leading blank")
        << "Start=2024-05-03  8:00:00"
        << "Stop=2024-05-03 09:00:00" << paid << "2024-05-03| 8:00:00|3600";
    QTest::newRow("longest span is capped")
        << "Start=0001-01-01 00:00:00"
        << "Stop=9999-12-31 23:59:59" << paid << "0001-01-01|00:00:00|2147483647";
    QTest::newRow("hour not zero-padded")
        << "Start=2024-05-03 8:00:00"
        << "Stop=2024-05-03 09:00:00" << paid << "'8:' is not a valid integer value";
    QTest::newRow("bad start not examined without fees") << "Start=2024-05-03 8:00:00"
                                                         << "Stop=2024-05-03 09:00:00"
                                                         << "BuyIn=0+0"
                                                         << "";
    QTest::newRow("stop without time")
        << "Start=2024-05-03 19:00:00"
        << "Stop=2024-05-03" << paid << "'' is not a valid integer value";
    QTest::newRow("no 29 February in 2023") << "Start=2023-02-28 19:00:00"
                                            << "Stop=2023-02-29 19:00:00" << paid
                                            << "'2023-02-29 19:00:00' is not a valid date and time";
    QTest::newRow("year 0") << "Start=0000-05-03 19:00:00"
                            << "Stop=2024-05-03 19:00:00" << paid
                            << "'0000-05-03 19:00:00' is not a valid date and time";
    QTest::newRow("hour 24") << "Start=2024-05-03 24:00:00"
                             << "Stop=2024-05-03 19:00:00" << paid
                             << "'2024-05-03 24:00:00' is not a valid date and time";
}

void TestImportResults::startAndStop() {
    QFETCH(QString, start);
    QFETCH(QString, stop);
    QFETCH(QString, buyIn);
    QFETCH(QString, outcome);
    FeeDbFixture f;
    const QString text = Block({start, stop, buyIn});
    const bool error = outcome.startsWith(u'\'');
    try {
        QCOMPARE(ImportText(f, text), outcome.isEmpty() ? 0 : 1);
        QVERIFY2(!error, "no error raised");
    } catch (const ZvError& e) {
        QVERIFY2(error, qPrintable(e.message()));
        QCOMPARE(e.message(), outcome);
        f.db.Rollback();
        return;
    }
    QCOMPARE(f.rows(QStringLiteral("SELECT Date, Time, Seconds FROM Master")),
             outcome.isEmpty() ? QStringList{} : QStringList{outcome});
}

QTEST_GUILESS_MAIN(TestImportResults)
#include "test_importresults.moc"
