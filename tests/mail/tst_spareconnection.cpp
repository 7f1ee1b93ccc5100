// The connection the component opens ahead of a Connect: taken when it suits, closed when not.
#include "ScriptedImapServer.h"
#include "SilentListener.h"
#include "mail/EtpanMailImap.h"

#include <QElapsedTimer>
#include <QTest>

class TestSpareConnection : public QObject {
    Q_OBJECT

private slots:
    void preparedConnection_data() {
        QTest::addColumn<QString>("preparedFor"); // "this server", "another port", "nothing"
        QTest::addColumn<bool>("dropped");        // DropPreparedConnection before Connect
        QTest::addColumn<int>("connections");     // the server's clients once signed in, -1: 1 or 2

        QTest::newRow("taken by the Connect") << "this server" << false << 1;
        // Dropped at once, the spare may not have connected yet.
        QTest::newRow("dropped, then a new connection") << "this server" << true << -1;
        QTest::newRow("for another port: not taken") << "another port" << false << 1;
        QTest::newRow("none prepared") << "nothing" << false << 1;
    }
    // Whatever was prepared, the Connect ends signed in on a connection to its own server, and a
    // spare it does not take is closed.
    void preparedConnection() {
        QFETCH(QString, preparedFor);
        QFETCH(bool, dropped);
        QFETCH(int, connections);
        ScriptedImapServer server(
            [](const QByteArray& tag, const QByteArray&) { return tag + " OK done\r\n"; });
        SilentListener elsewhere;
        EtpanMailImap imap;
        imap.setSSL(false);
        if (preparedFor != QLatin1String("nothing")) {
            imap.setPort(preparedFor == QLatin1String("this server") ? server.port()
                                                                     : elsewhere.port());
            imap.PrepareConnection(QStringLiteral("127.0.0.1"));
        }
        if (dropped)
            imap.DropPreparedConnection();
        imap.setPort(server.port());
        QCOMPARE(imap.Connect(QStringLiteral("127.0.0.1")), 1);
        QCOMPARE(imap.Login(QStringLiteral("someone"), QStringLiteral("secret")), 1);
        if (connections >= 0)
            QCOMPARE(server.connections(), connections);
        QCOMPARE(server.commands().constLast(), QByteArray("LOGIN \"someone\" \"secret\""));
    }

    // A Stop while the prepared connection still waits for its TLS handshake ends the Connect at
    // once, and a spare never answered is closed at once too.
    void stoppedWhileThePreparedConnectionOpens() {
        SilentListener silent;
        EtpanMailImap imap;
        imap.setSSL(true);
        imap.setPort(silent.port());
        imap.PrepareConnection(QStringLiteral("127.0.0.1"));
        connect(&imap, &MailImap::AbortCheck, this, [](qint32& abort) { abort = 1; });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(imap.Connect(QStringLiteral("127.0.0.1")), 0);
        QVERIFY2(imap.LastErrorText().endsWith(QLatin1String("failed: cancelled")),
                 qPrintable(imap.LastErrorText()));
        imap.PrepareConnection(QStringLiteral("127.0.0.1"));
        imap.DropPreparedConnection();
        QVERIFY(clock.elapsed() < 5000); // a hang would take the 30 s of the network timeout
    }
};

QTEST_GUILESS_MAIN(TestSpareConnection)
#include "tst_spareconnection.moc"
