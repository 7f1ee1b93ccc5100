#include "mail/CharsetDecoder.h"

#include <QtTest>

// Whether a body is already its own text is checked many bytes at a time: a byte that needs a
// closer look must be found wherever it falls, at the edges of those blocks too.
class TestCharsetDecoder : public QObject {
    Q_OBJECT
private slots:
    void decodesToItself_data();
    void decodesToItself();
};

void TestCharsetDecoder::decodesToItself_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("inCrLfLines");
    QTest::addColumn<bool>("expected");
    struct Special {
        const char* name;
        QByteArray bytes;
        bool inCrLfLines; // what it gives where every break must be CR LF
        bool otherwise;
    };
    const Special specials[] = {
        {"CR LF", "\r\n", true, true},
        {"bare LF", "\n", false, true},
        {"bare CR", "\r", false, true},
        {"LF CR", "\n\r", false, true},
        {"tab and form feed", "\t\f", true, true},
        {"UTF-8 letter", "\xc3\xbc", true, true},
        {"C0 control", "\x01", false, false},
        {"DEL", "\x7f", false, false},
        {"C1 control", "\xc2\x85", false, false},
        {"stray byte", "\xff", false, false},
        {"cut sequence", "\xe2\x82", false, false},
    };
    for (const Special& special : specials) {
        for (const int offset : {0, 7, 8, 14, 15, 16, 17, 31, 40}) {
            const QByteArray bytes =
                QByteArray(offset, 'a') + special.bytes + QByteArray(40, 'b') + "\r\n";
            for (const bool inCrLfLines : {true, false})
                QTest::addRow("%s at %d%s", special.name, offset, inCrLfLines ? ", CR LF" : "")
                    << bytes << inCrLfLines
                    << (inCrLfLines ? special.inCrLfLines : special.otherwise);
        }
    }
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbfText\r\n") << true << false;
}

void TestCharsetDecoder::decodesToItself() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, inCrLfLines);
    QFETCH(bool, expected);
    QCOMPARE(::decodesToItself(bytes, "UTF-8", inCrLfLines), expected);
    QCOMPARE(::decodesToItself(bytes, " utf-8 (Unicode)", inCrLfLines), expected);
    // The labels are matched whatever their case; undeclared or US-ASCII text is read as UTF-8
    // when it is, a charset read through iconv never comes back as it is.
    QCOMPARE(::decodesToItself(bytes, "US-ASCII", inCrLfLines), expected);
    QCOMPARE(::decodesToItself(bytes, "", inCrLfLines), expected);
    QCOMPARE(::decodesToItself(bytes, "ISO-8859-1", inCrLfLines), false);
}

QTEST_GUILESS_MAIN(TestCharsetDecoder)
#include "tst_charsetdecoder.moc"
