// A base64 body and the plain text that may follow it.
#include "mail/TransferDecoding.h"

#include <QtTest>

class TestTransferDecoding : public QObject {
    Q_OBJECT
private slots:
    void base64Body_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("decoded");

        // "SGVsbG8K" is "Hello\n", "SGVsbG8=" is "Hello".
        QTest::newRow("base64 alone") << QByteArray("SGVs\r\nbG8K\r\n") << QByteArray("Hello\n");
        QTest::newRow("blank lines around it are no text")
            << QByteArray("\r\n\r\nSGVsbG8K\r\n\r\n \r\n\r\n") << QByteArray("Hello\n");
        QTest::newRow("text after a blank line") << QByteArray("SGVsbG8K\r\n\r\n____\r\nList\r\n")
                                                 << QByteArray("Hello\n\r\n____\r\nList\r\n");
        QTest::newRow("even text that looks like base64")
            << QByteArray("SGVsbG8K\r\n\r\nUnsubscribe\r\n")
            << QByteArray("Hello\n\r\nUnsubscribe\r\n");
        QTest::newRow("a line that cannot be base64")
            << QByteArray("SGVsbG8K\r\n-- \r\nJane\r\n") << QByteArray("Hello\n-- \r\nJane\r\n");
        QTest::newRow("text begins on a line of its own")
            << QByteArray("SGVsbG8=\r\nSent from a list\r\n")
            << QByteArray("Hello\r\nSent from a list\r\n");
        QTest::newRow("LF line ends")
            << QByteArray("SGVsbG8=\n\nfooter\n") << QByteArray("Hello\nfooter\n");
        QTest::newRow("one stray character is junk, not text")
            << QByteArray("SGV sbG8K\r\n") << QByteArray("Hello\n");
        QTest::newRow("pieces padded one after another")
            << QByteArray("SGk=\r\nSGk=\r\n") << QByteArray("HiHi");
        QTest::newRow("no base64 at all")
            << QByteArray("-- \r\nJane\r\n") << QByteArray("-- \r\nJane\r\n");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void base64Body() {
        QFETCH(QByteArray, body);
        QTEST(decodeBase64Body(body), "decoded");
    }
};

QTEST_GUILESS_MAIN(TestTransferDecoding)
#include "tst_transferdecoding.moc"
