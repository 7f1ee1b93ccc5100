// Reading a server's request to slow down.
#include "mail/ServerThrottle.h"

#include <QTest>

class TestServerThrottle : public QObject {
    Q_OBJECT

private slots:
    void backoff_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: no request to slow down
        QTest::newRow("suggested time")
            << "Request is throttled. Suggested Backoff Time: 500 ms" << 500;
        QTest::newRow("other case, no unit") << "[THROTTLED] suggested backoff time:75" << 75;
        QTest::newRow("no time given") << "Request is throttled." << 1000;
        QTest::newRow("beyond a minute") << "Throttled. Suggested Backoff Time: 999999 ms" << 60000;
        QTest::newRow("another refusal") << "Invalid messageset (0.001 + 0.000 secs)." << -1;
    }
    void backoff() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(throttleBackoffMs(text).value_or(-1), expected);
    }
};

QTEST_GUILESS_MAIN(TestServerThrottle)
#include "tst_serverthrottle.moc"
