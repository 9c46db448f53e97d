#include "packedvalues.h"

#include <QTest>

#include <bit>
#include <vector>

using Values = std::vector<quint64>;
using Form = PackedValues::Form;

namespace {
/// Values that change the form on the way: long runs, then values of their own.
Values Sequence(const QByteArray& kind) {
    Values v;
    const auto runs = [&v](size_t count, size_t length) {
        for (size_t i = 0; i < count; ++i)
            v.insert(v.end(), length, quint64(1000 + i));
    };
    if (kind == "runs") {
        runs(3000, 20);
    } else if (kind == "runs, then small") {
        runs(500, 20);
        for (quint64 i = 0; i < 20000; ++i)
            v.push_back(i * 7919 % 65536);
    } else if (kind == "small, then a large value") {
        runs(300, 1);
        for (quint64 i = 0; i < 5000; ++i)
            v.push_back(i % 65536);
        v.push_back(quint64(1) << 40);
        v.insert(v.end(), {5, 6, 7});
    } else if (kind == "small, then wide" || kind == "wide, then a large value") {
        runs(300, 1);
        for (quint64 i = 0; i < 100000; ++i)
            v.push_back(i * 7 % 200000);
        if (kind == "wide, then a large value")
            v.insert(v.end(), {quint64(1) << 32, 5, 6});
    } else if (kind == "dictionary overflows into 32 bits") {
        for (quint64 i = 0; i < 70000; ++i)
            v.push_back((i * 2654435761u % 70001) << 8);
    } else if (kind == "doubles in a dictionary" || kind == "doubles past 256 in a dictionary") {
        const quint64 distinct = kind == "doubles in a dictionary" ? 41 : 3000;
        for (quint64 i = 0; i < 50000; ++i)
            v.push_back(std::bit_cast<quint64>(double(i * 7 % distinct) * 1.5));
    } else if (kind == "dictionary overflows") {
        for (quint64 i = 0; i < 70000; ++i)
            v.push_back((i * 2654435761u % 70001) << 20);
    } else if (kind == "plain past 2 MiB and 4 MiB") { // the block moves in huge pages
        for (quint64 i = 0; i < 700000; ++i)
            v.push_back(i * 0x9E3779B97F4A7C15ull);
    }
    return v;
}
} // namespace

class TestPackedValues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    /// Appending in chunks of any size gives the values, and the form, that appending one by
    /// one gives, whichever chunk the form changes in.
    void chunksMatchOneByOne_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("form");
        QTest::newRow("runs") << QByteArray("runs") << int(Form::Runs);
        QTest::newRow("runs, then small") << QByteArray("runs, then small") << int(Form::Small);
        QTest::newRow("small, then large")
            << QByteArray("small, then a large value") << int(Form::Plain);
        QTest::newRow("small, then wide") << QByteArray("small, then wide") << int(Form::Wide);
        QTest::newRow("wide, then large")
            << QByteArray("wide, then a large value") << int(Form::Plain);
        QTest::newRow("doubles") << QByteArray("doubles in a dictionary") << int(Form::Dict8);
        QTest::newRow("past 256 doubles")
            << QByteArray("doubles past 256 in a dictionary") << int(Form::Dict);
        QTest::newRow("overflow into 32 bits")
            << QByteArray("dictionary overflows into 32 bits") << int(Form::Wide);
        QTest::newRow("overflow") << QByteArray("dictionary overflows") << int(Form::Plain);
        QTest::newRow("huge") << QByteArray("plain past 2 MiB and 4 MiB") << int(Form::Plain);
    }
    void chunksMatchOneByOne() {
        QFETCH(QByteArray, kind);
        QFETCH(int, form);
        const Values values = Sequence(kind);
        PackedValues single;
        for (const quint64 v : values)
            single.push_back(v);
        QCOMPARE(int(single.form()), form);
        for (const size_t chunk : {size_t(1), size_t(7), size_t(2048), values.size()}) {
            PackedValues chunked;
            for (size_t i = 0; i < values.size(); i += chunk)
                chunked.append(values.data() + i, std::min(chunk, values.size() - i));
            chunked.finish();
            QCOMPARE(chunked.size(), values.size());
            QCOMPARE(int(chunked.form()), form);
            for (size_t row = 0; row < values.size(); ++row)
                if (chunked[row] != values[row])
                    QFAIL(qPrintable(QStringLiteral("chunk %1, row %2").arg(chunk).arg(row)));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackedValues)
#include "test_packedvalues.moc"
