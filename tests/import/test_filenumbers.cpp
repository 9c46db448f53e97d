#include "filenumberformat.h"
#include "filenumbers.h"

#include <QTest>
#include <cmath>

class TestFileNumbers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decimal_data();
    void decimal();
    void integer_data();
    void integer();
    void roundGeneral15_data();
    void roundGeneral15();
};

void TestFileNumbers::decimal_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("integer digits") << "20" << true << 20.0;
    QTest::newRow("fraction") << "0.5" << true << 0.5;
    QTest::newRow("no integer digits") << ".5" << true << 0.5;
    QTest::newRow("no fraction digits") << "5." << true << 5.0;
    QTest::newRow("signs") << "-2.25" << true << -2.25;
    QTest::newRow("exponent") << "1.5E2" << true << 150.0;
    QTest::newRow("small exponent") << "5e-5" << true << 5e-5;
    QTest::newRow("blanks around") << "  7.5  " << true << 7.5;
    QTest::newRow("too small reads as 0") << "1e-400" << true << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("point only") << "." << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("thousands separator") << "1,000" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("trailing letters") << "2 USD" << false << 0.0;
    QTest::newRow("tab is no blank") << "\t2" << false << 0.0;
    QTest::newRow("too large") << "1e400" << false << 0.0;
    QTest::newRow("hex is no decimal") << "$10" << false << 0.0;
}

void TestFileNumbers::decimal() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const std::optional<double> parsed = ParseFileDecimal(text);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
    QCOMPARE(FileDecimalOrZero(text), ok ? value : 0.0);
}

void TestFileNumbers::integer_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("digits") << "1207" << true << 1207;
    QTest::newRow("negative") << "-5" << true << -5;
    QTest::newRow("leading blanks") << "   42" << true << 42;
    QTest::newRow("dollar hex") << "$1F" << true << 31;
    QTest::newRow("0x hex") << "0x1f" << true << 31;
    QTest::newRow("negative hex") << "-$10" << true << -16;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("largest hex") << "$7FFFFFFF" << true << 2147483647;
    QTest::newRow("above range") << "2147483648" << false << 0;
    QTest::newRow("below range") << "-2147483649" << false << 0;
    QTest::newRow("hex above range") << "$80000000" << false << 0;
    QTest::newRow("trailing blank") << "5 " << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("prefix only") << "$" << false << 0;
    QTest::newRow("decimal point") << "1.0" << false << 0;
    QTest::newRow("hex digits without prefix") << "1F" << false << 0;
}

void TestFileNumbers::integer() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const std::optional<qint32> parsed = ParseFileInteger(text);
    QCOMPARE(parsed.has_value(), ok);
    QCOMPARE(FileIntegerOrZero(text), ok ? value : 0);
}

void TestFileNumbers::roundGeneral15_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << 0.3;
    QTest::newRow("whole") << 6.0 << 6.0;
    QTest::newRow("many tenths") << 0.1 * 3 + 0.7 << 1.0;
    QTest::newRow("whole cents") << 2.2 << 2.2;
    QTest::newRow("just below cents") << 0.1 + 0.7 << 0.8;
    QTest::newRow("large cents") << 123456789012.34 << 123456789012.34;
    QTest::newRow("negative zero") << -0.0 << 0.0;
    QTest::newRow("sixteen digits") << 1234567890.1234567 << 1234567890.12346;
    QTest::newRow("large") << 1e20 / 3 << 3.33333333333333e19;
    QTest::newRow("infinity does not read back") << HUGE_VAL << 0.0;
}

// The fee totals are kept as the text FormatGeneral15 writes; the fast path must agree with it.
void TestFileNumbers::roundGeneral15() {
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(RoundGeneral15(value), expected);
    QVERIFY(!std::signbit(RoundGeneral15(value)) || expected < 0);
    if (std::isfinite(value))
        QCOMPARE(RoundGeneral15(value), FileDecimalOrZero(FormatGeneral15(value)));
}

QTEST_GUILESS_MAIN(TestFileNumbers)
#include "test_filenumbers.moc"
