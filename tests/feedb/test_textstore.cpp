#include "textstore.h"

#include <QTest>

class TestTextStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    /// Values of every length around the word sizes, alike but for one byte at the start, the
    /// middle or the end, keep distinct ids and read back whole; repeats find their first id.
    void distinctValuesKeepTheirIds() {
        QList<QByteArray> values;
        for (int length = 0; length <= 40; ++length) {
            const QByteArray base(length, 'x');
            values << base;
            for (int at : {0, length / 2, length - 1}) {
                if (at < 0 || length == 0)
                    continue;
                for (char c : {'y', '\0', '\xff'}) {
                    QByteArray v = base;
                    v[at] = c;
                    if (!values.contains(v))
                        values << v;
                }
            }
        }
        // Enough to grow the table several times, into huge pages and past its first 2 MiB.
        for (int i = 0; i < 70000; ++i)
            values << "Player " + QByteArray::number(i);

        TextStore store;
        QList<quint32> ids;
        for (const QByteArray& v : values)
            ids << store.intern(v);
        QCOMPARE(store.size(), values.size());
        for (qsizetype i = 0; i < values.size(); ++i) {
            QCOMPARE(ids[i], quint32(i));
            QCOMPARE(store.bytes(ids[i]).toByteArray(), values[i]);
            QCOMPARE(store.intern(values[i]), ids[i]);
            QCOMPARE(store.find(values[i]), qint64(i));
        }
        QCOMPARE(store.size(), values.size());
        QCOMPARE(store.find("Player 70000"), -1);
        QCOMPARE(store.find(QByteArray(41, 'x')), -1);

        store.clear();
        QCOMPARE(store.size(), 0);
        QCOMPARE(store.find("Player 1"), -1);
        QCOMPARE(store.intern("Player 1"), 0u);
    }

    /// Interning a batch gives the ids that interning one by one gives, repeats within a batch
    /// and growth of the table during it included.
    void batchesGiveTheSameIds() {
        QList<QByteArray> values;
        for (int i = 0; i < 3000; ++i)
            values << "Player " + QByteArray::number(i * 7 % 1000) + QByteArray(i % 20, 'x');
        std::vector<QByteArrayView> views(values.begin(), values.end());
        std::vector<quint32> batched(views.size());
        TextStore byBatch;
        byBatch.internAll(views, batched.data());
        TextStore oneByOne;
        for (size_t i = 0; i < views.size(); ++i)
            QCOMPARE(batched[i], oneByOne.intern(views[i]));
        QCOMPARE(byBatch.size(), oneByOne.size());
    }

    /// An empty value may come without bytes (an empty blob reads as a null pointer): it is
    /// the same value as an empty text. The sanitizer build of this test stops on any fault.
    void emptyValueWithoutBytes() {
        TextStore store;
        const quint32 id = store.intern(QByteArrayView());
        QCOMPARE(store.intern(QByteArrayView("", 0)), id);
        QCOMPARE(store.find(QByteArrayView()), qint64(id));
        QVERIFY(store.bytes(id).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTextStore)
#include "test_textstore.moc"
