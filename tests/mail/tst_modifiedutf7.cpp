#include "mail/ModifiedUtf7.h"

#include <QTest>

class TestModifiedUtf7 : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("display");
        QTest::newRow("ascii") << QByteArray("Sent Items") << QStringLiteral("Sent Items");
        QTest::newRow("ampersand") << QByteArray("R&-D") << QStringLiteral("R&D");
        QTest::newRow("latin") << QByteArray("Entw&APw-rfe") << QStringLiteral("Entwürfe");
        QTest::newRow("cjk with slash in base64")
            << QByteArray("&ZeVnLIqe-") << QString::fromUtf8("日本語");
        QTest::newRow("astral") << QByteArray("&2DTdHg-") << QString::fromUtf8("𝄞");
        QTest::newRow("mixed") << QByteArray("Archiv/&AMQ-lter") << QStringLiteral("Archiv/Älter");
        QTest::newRow("russian") << QByteArray("&BB4EQgQ,BEAEMAQyBDsENQQ9BD0ESwQ1-")
                                 << QString::fromUtf8("Отправленные");
    }
    void roundTrip() {
        QFETCH(QByteArray, wire);
        QFETCH(QString, display);
        QCOMPARE(ModifiedUtf7::decode(wire), display);
        QCOMPARE(ModifiedUtf7::encode(display), wire);
    }

    void malformedRunsAreKept() {
        QCOMPARE(ModifiedUtf7::decode("A&B"), QStringLiteral("A&B"));
        QCOMPARE(ModifiedUtf7::decode("&#!-x"), QStringLiteral("&#!-x"));
        QCOMPARE(ModifiedUtf7::decode("&AA-"), QStringLiteral("&AA-")); // one byte, not UTF-16
    }
};

QTEST_GUILESS_MAIN(TestModifiedUtf7)
#include "tst_modifiedutf7.moc"
