#include "mail/LiteralWatch.h"

#include <QtTest>

#include <limits>

// The watch over what a server sends, fed in chunks of every size: only an announcement beyond
// the limit is caught, never text inside a literal, and the message it belongs to is named.
class TestLiteralWatch : public QObject {
    Q_OBJECT
private slots:
    void announcementBeyondTheLimit_data();
    void announcementBeyondTheLimit();
};

void TestLiteralWatch::announcementBeyondTheLimit_data() {
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<quint64>("announced"); // 0 for none beyond the limit of 100
    QTest::addColumn<quint32>("message");
    const QByteArray head = "* 3 FETCH (INTERNALDATE \"01-Jan-2024 10:00:00 +0000\" BODY[] ";
    QTest::newRow("within the limit")
        << head + "{100}\r\n" + QByteArray(100, 'x') + ")\r\nA1 OK done\r\n"
        << quint64(0) << quint32(3);
    QTest::newRow("one beyond") << head + "{101}\r\n" << quint64(101) << quint32(3);
    QTest::newRow("bare line feed") << head + "{101}\n" << quint64(101) << quint32(3);
    QTest::newRow("4 GiB and 1, which 32 bits would wrap") << head + "{4294967297}\r\n"
                                                           << quint64(4294967297) << quint32(3);
    QTest::newRow("5,000 digits") << head + "{" + QByteArray(5000, '9') + "}\r\n"
                                  << std::numeric_limits<quint64>::max() << quint32(3);
    const QByteArray talk = "a message about {99999999999}\r\n literals";
    QTest::newRow("an announcement inside a literal's bytes")
        << head + "{" + QByteArray::number(talk.size()) + "}\r\n" + talk + ")\r\n"
        << quint64(0) << quint32(3);
    QTest::newRow("the later of two messages")
        << QByteArray("* 1 FETCH (BODY[] {3}\r\nabc)\r\n* 2 FETCH (BODY[] {500}\r\n")
        << quint64(500) << quint32(2);
    QTest::newRow("lower-case fetch, then other untagged lines")
        << QByteArray("* 4 fetch (BODY[] {3}\r\nabc)\r\n* 9 EXISTS\r\n* 8 FETCHED\r\n* OK more\r\n")
        << quint64(0) << quint32(8);
    QTest::newRow("not at the end of its line")
        << QByteArray("* 5 FETCH (BODY[] {500} x)\r\n") << quint64(0) << quint32(5);
}

void TestLiteralWatch::announcementBeyondTheLimit() {
    QFETCH(QByteArray, received);
    QFETCH(quint64, announced);
    QFETCH(quint32, message);
    for (const qsizetype chunk : {qsizetype(1), qsizetype(7), received.size()}) {
        LiteralWatch watch(100);
        int caught = 0;
        for (qsizetype at = 0; at < received.size(); at += chunk)
            caught += watch.feed(received.constData() + at, qMin(chunk, received.size() - at));
        QCOMPARE(watch.announced(), announced);
        QCOMPARE(caught, announced != 0 ? 1 : 0);
        QCOMPARE(watch.fetchNumber(), message);
    }
}

QTEST_GUILESS_MAIN(TestLiteralWatch)
#include "tst_literalwatch.moc"
