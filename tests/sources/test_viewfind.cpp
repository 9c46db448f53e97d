#include "viewfind.h"

#include <QTest>

class TestViewFind : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findNextLine_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("find");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("found");
        const QStringList abcd{"alpha", "beta", "gamma", "delta"};
        const int notRun = FindResult::NotRun, none = FindResult::NoMatch,
                  found = FindResult::Found;
        QTest::newRow("one line holding the text")
            << QStringList{"alpha"} << 0 << "alpha" << notRun << -1;
        QTest::newRow("no lines") << QStringList{} << -1 << "a" << notRun << -1;
        QTest::newRow("empty find text") << abcd << -1 << "" << notRun << -1;
        QTest::newRow("next after the selected") << abcd << 0 << "a" << found << 1;
        QTest::newRow("no selection starts at the first") << abcd << -1 << "alp" << found << 0;
        QTest::newRow("no selection, match further down") << abcd << -1 << "del" << found << 3;
        QTest::newRow("no selection, no match") << abcd << -1 << "zeta" << none << -1;
        QTest::newRow("wraps to the top") << abcd << 3 << "ph" << found << 0;
        QTest::newRow("wraps up to the line before") << abcd << 2 << "et" << found << 1;
        QTest::newRow("only match is the selected line") << abcd << 2 << "gam" << found << 2;
        QTest::newRow("selected line without match, none else") << abcd << 1 << "zz" << none << -1;
        QTest::newRow("upper-case find text")
            << QStringList{"x", "Tournament=7"} << -1 << "TOURNAMENT" << found << 1;
        QTest::newRow("upper-case line")
            << QStringList{"x", "TOURNAMENT=7"} << 0 << "tournament" << found << 1;
        QTest::newRow("accented capital is not folded")
            << QStringList{"x", QStringLiteral("\u00e9t\u00e9")} << 0 << QStringLiteral("\u00c9T")
            << none << -1;
        QTest::newRow("accented letter matches itself")
            << QStringList{"x", QStringLiteral("Ren\u00e9e")} << 0 << QStringLiteral("N\u00c9e")
            << none << -1;
        QTest::newRow("same accented letter") << QStringList{"x", QStringLiteral("REN\u00c9E")} << 0
                                              << QStringLiteral("n\u00c9E") << found << 1;
        QTest::newRow("selected beyond the lines counts as none")
            << abcd << 9 << "alpha" << found << 0;
    }
    void findNextLine() {
        QFETCH(QStringList, lines);
        QFETCH(int, selected);
        QFETCH(QString, find);
        QFETCH(int, outcome);
        QFETCH(int, found);
        const FindResult r = FindNextLine(lines, selected, find);
        QCOMPARE(int(r.outcome), outcome);
        if (outcome == FindResult::Found)
            QCOMPARE(r.line, qsizetype(found));
    }

    void countTournamentLines() {
        const QStringList lines{"Tournament=1",  " Tournament=2", "tournament=3", "Tournament=",
                                "XTournament=4", "Tournament =5", "TOURNAMENT=6", "Tournament=7 x"};
        QCOMPARE(CountTournamentLines(lines), qsizetype(3));
        QCOMPARE(CountTournamentLines({}), qsizetype(0));
    }

    void centeredTopLine_data() {
        QTest::addColumn<int>("found");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("top");
        QTest::newRow("middle") << 100 << 300 << 15 << 90;
        QTest::newRow("fraction of a half dropped") << 100 << 301 << 15 << 90;
        QTest::newRow("division drops the rest") << 100 << 310 << 15 << 90;
        QTest::newRow("near the top") << 5 << 300 << 15 << 0;
        QTest::newRow("short list") << 10 << 29 << 15 << 10;
    }
    void centeredTopLine() {
        QFETCH(int, found);
        QFETCH(int, height);
        QFETCH(int, item);
        QFETCH(int, top);
        QCOMPARE(CenteredTopLine(found, height, item), qsizetype(top));
    }
};

QTEST_GUILESS_MAIN(TestViewFind)
#include "test_viewfind.moc"
