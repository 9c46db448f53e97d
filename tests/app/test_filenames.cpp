#include "filenames.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFileNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every name goes back to its own bytes; what is not UTF-8 shows as U+FFFD, one per byte.
    void roundTrip_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QByteArray("TR2024-05-03 A.txt") << u"TR2024-05-03 A.txt"_s;
        QTest::newRow("UTF-8") << QByteArray("TR\xc3\xa4\xe2\x82\xac.txt")
                               << u"TR\u00e4\u20ac.txt"_s;
        QTest::newRow("outside the BMP, low half DC80")
            << QByteArray("TR\xf0\x90\x82\x80.txt") << QString::fromUcs4(U"TR\U00010080.txt");
        QTest::newRow("a stray byte") << QByteArray("TRbad\xff.txt") << u"TRbad\ufffd.txt"_s;
        QTest::newRow("Windows-1252") << QByteArray("TR\xe4\xe9.txt") << u"TR\ufffd\ufffd.txt"_s;
        QTest::newRow("cut short at the end") << QByteArray("TR\xe2\x82") << u"TR\ufffd\ufffd"_s;
        QTest::newRow("overlong") << QByteArray("TR\xc0\xaf") << u"TR\ufffd\ufffd"_s;
        QTest::newRow("an encoded surrogate")
            << QByteArray("TR\xed\xb2\x80") << u"TR\ufffd\ufffd\ufffd"_s;
    }
    void roundTrip() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString name = DecodeFileName(bytes);
        QCOMPARE(EncodeFileName(name), bytes);
        QCOMPARE(DisplayFileName(name), shown);
    }
};

QTEST_GUILESS_MAIN(TestFileNames)
#include "test_filenames.moc"
