#include "filenumberformat.h"

#include <QRandomGenerator>
#include <QTest>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace {
/// The text printf's "%.15G" gives, tidied to the "5E-5" style: the form the export files have
/// always had, kept here as the oracle.
QByteArray PrintfGeneral15(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    QByteArray text(buf);
    const qsizetype e = text.indexOf('E');
    if (e < 0)
        return text == "-0" ? "0" : text;
    QByteArray exponent = text.mid(e + 1);
    const bool negative = exponent.startsWith('-');
    if (negative || exponent.startsWith('+'))
        exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith('0'))
        exponent.remove(0, 1);
    return text.left(e) + 'E' + (negative ? "-" : "") + exponent;
}

/// Doubles with exactly 16 significant digits whose last is 5, so that 15 digits lie exactly
/// halfway: N / 2^j is N * 5^j / 10^j, and an odd N makes N * 5^j end in 5.
std::vector<double> HalfwayValues(QRandomGenerator& random) {
    std::vector<double> values{999999999999999.5, 1000000000000005.0, 123456789012345.5,
                               123456789012344.5, 0.00009999999999999995};
    double fives = 1;
    for (int j = 1; j <= 15; ++j) {
        fives *= 5;
        const auto low = quint64(std::ceil(1e15 / fives));
        const auto high = quint64(1e16 / fives);
        for (int i = 0; i < 2000; ++i) {
            const quint64 n = (low + random.bounded(high - low)) | 1;
            if (n < (quint64(1) << 53))
                values.push_back(std::ldexp(double(n), -j) * (i % 2 ? -1 : 1));
        }
    }
    return values;
}
} // namespace

class TestFileNumberFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void examples_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("fraction") << 1.5 << "1.5";
        QTest::newRow("whole") << 6.0 << "6";
        QTest::newRow("15 digits") << 0.1 + 0.2 << "0.3";
        QTest::newRow("below 1E-4") << 5e-5 << "5E-5";
        QTest::newRow("1E-4 itself") << 0.0001 << "0.0001";
        QTest::newRow("1E15") << 1e15 << "1E15";
        QTest::newRow("below 1E15") << 999999999999999.0 << "999999999999999";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("large exponent") << -1.25e300 << "-1.25E300";
        QTest::newRow("smallest subnormal") << 4.9406564584124654e-324 << "4.94065645841247E-324";
    }
    void examples() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatGeneral15(value), text);
    }

    /// Every class of value gives the text printf gave: random bit patterns (the whole exponent
    /// range, subnormals and NaN included), halfway cases, random subnormals, whole numbers up
    /// to 2^53 and the edges.
    void agreesWithPrintf() {
        QRandomGenerator random(20240503);
        std::vector<double> values = HalfwayValues(random);
        for (int i = 0; i < 1'000'000; ++i)
            values.push_back(std::bit_cast<double>(random.generate64()));
        for (int i = 0; i < 20'000; ++i) {
            values.push_back(std::bit_cast<double>(random.generate64() >> 12)); // subnormal
            values.push_back(double(random.generate64() >> (11 + i % 53)));     // whole, < 2^53
        }
        const double inf = std::numeric_limits<double>::infinity();
        for (double edge : {0.0, -0.0, inf, -inf, DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN,
                            9007199254740992.0, 9007199254740991.0, 1e15, 1e15 - 1, 1e-4,
                            std::nextafter(1e-4, 0.0), std::nextafter(1e15, 0.0)})
            values.push_back(edge);

        int mismatches = 0;
        char text[kGeneral15Chars];
        for (const double value : values) {
            const QByteArray ours(text, WriteGeneral15(value, text) - text);
            const QByteArray oracle = PrintfGeneral15(value);
            if (ours != oracle && ++mismatches <= 5)
                qWarning("%.17g: %s, printf %s", value, ours.constData(), oracle.constData());
        }
        QCOMPARE(mismatches, 0);
    }
};

QTEST_GUILESS_MAIN(TestFileNumberFormat)
#include "test_filenumberformat.moc"
