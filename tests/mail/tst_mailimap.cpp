// The IMAP component against a real Dovecot on loopback.
#include "MailServer.h"
#include "SilentListener.h"
#include "mail/CertificateCheck.h"
#include "mail/EtpanMailImap.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

QByteArray derOf(const QString& pemFile) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("x509"), QStringLiteral("-in"), pemFile,
                   QStringLiteral("-outform"), QStringLiteral("DER")});
    openssl.waitForFinished();
    return openssl.readAllStandardOutput();
}

} // namespace

class TestMailImap : public QObject {
    Q_OBJECT

    MailServer* server = nullptr;

    void prepare(EtpanMailImap& imap) {
        imap.setSSL(true);
        imap.setPort(server->port());
        imap.setTrustedCertificates(server->caFile());
    }

private slots:
    void initTestCase() {
        server = new MailServer;
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    }
    void cleanupTestCase() { delete server; }

    void identifiesBeforeLoginAndReadsFolders() {
        EtpanMailImap imap;
        prepare(imap);
        QCOMPARE(imap.Connect(server->host()), 1);
        const QString id = imap.SendRawCommand(QStringLiteral("ID (\"GUID\" \"1\")"));
        QVERIFY2(id.contains(QLatin1String("ID")), qPrintable(id));
        QCOMPARE(imap.Login(server->user(), server->password()), 1);

        // Dovecot's log process writes a moment after the reply has gone out.
        QTRY_VERIFY_WITH_TIMEOUT(
            server->logText().contains(QLatin1String("Login: user=<user@example.test>")), 5000);
        const QString log = server->logText();
        const qsizetype idAt = log.indexOf(QLatin1String("ID sent: GUID=1"));
        const qsizetype loginAt = log.indexOf(QLatin1String("Login: user=<user@example.test>"));
        QVERIFY2(idAt >= 0 && loginAt > idAt, qPrintable(log));

        const auto folders = imap.ListMailboxes(QString(), QStringLiteral("*"));
        QVERIFY(folders);
        QStringList sorted = *folders;
        sorted.sort();
        QCOMPARE(sorted, (QStringList{"Deleted", "Drafts", "INBOX", "Junk", "Sent"}));

        QCOMPARE(imap.SelectMailbox(QStringLiteral("Inbox")), 1);
        QCOMPARE(imap.MessageCount(), 5);
        QCOMPARE(imap.SelectMailbox(QStringLiteral("Sent")), 1);
        QCOMPARE(imap.MessageCount(), 2);
        QCOMPARE(imap.SelectMailbox(QStringLiteral("Nowhere")), 0);
        QVERIFY2(imap.LastErrorText().contains(QLatin1String("server replied")),
                 qPrintable(imap.LastErrorText()));

        QCOMPARE(imap.SelectMailbox(QStringLiteral("INBOX")), 1);
        qint32 lastPercent = -1;
        connect(&imap, &MailImap::PercentDone, this, [&](qint32 p) { lastPercent = p; });
        const auto email = imap.FetchMessage(1, 0);
        QVERIFY(email);
        QCOMPARE(email->Subject, QStringLiteral("Lunch on Friday"));
        QCOMPARE(lastPercent, 100);
        QVERIFY(!imap.FetchMessage(6, 0));
        QVERIFY(!imap.LastErrorText().isEmpty());
        QCOMPARE(imap.Disconnect(), 1);
        QCOMPARE(imap.SelectMailbox(QStringLiteral("INBOX")), 0);
    }

    void wrongPasswordIsRefusedWithTheServersWords() {
        EtpanMailImap imap;
        prepare(imap);
        QCOMPARE(imap.Connect(server->host()), 1);
        QCOMPARE(imap.Login(server->user(), QStringLiteral("wrong")), 0);
        QVERIFY2(imap.LastErrorText().startsWith(QLatin1String("LOGIN failed, server replied:")),
                 qPrintable(imap.LastErrorText()));
    }

    void certificateMustLeadToATrustedAuthority() {
        EtpanMailImap imap;
        imap.setSSL(true);
        imap.setPort(server->port());
        QCOMPARE(imap.Connect(server->host()), 0);
        QVERIFY2(imap.LastErrorText().contains(QLatin1String("certificate not trusted")),
                 qPrintable(imap.LastErrorText()));

        imap.setTrustedCertificates(server->caFile());
        QCOMPARE(imap.Connect(QStringLiteral("127.0.0.1")), 1);
    }

    void certificateMustNameTheHost() {
        const QByteArray der = derOf(server->stateDir() + QStringLiteral("/server.pem"));
        QVERIFY(!der.isEmpty());
        QCOMPARE(checkCertificateChain({der}, QStringLiteral("localhost"), server->caFile()),
                 QString());
        QVERIFY(checkCertificateChain({der}, QStringLiteral("mail.example.test"), server->caFile())
                    .startsWith(QLatin1String("host name mismatch")));
    }

    void refusedConnectionIsSaid() {
        EtpanMailImap imap;
        imap.setSSL(true);
        imap.setPort(1); // nothing listens on port 1 of the loopback
        QCOMPARE(imap.Connect(QStringLiteral("127.0.0.1")), 0);
        QVERIFY2(imap.LastErrorText().contains(QLatin1String("connection refused")),
                 qPrintable(imap.LastErrorText()));
    }

    void abortEndsAConnectToASilentHostQuickly() {
        SilentListener silent;
        EtpanMailImap imap;
        imap.setSSL(true);
        imap.setPort(silent.port());
        QElapsedTimer clock;
        clock.start();
        qint64 abortedAt = -1;
        int checks = 0;
        connect(&imap, &MailImap::AbortCheck, this, [&](qint32& abort) {
            ++checks;
            if (clock.elapsed() >= 300) {
                if (abortedAt < 0)
                    abortedAt = clock.elapsed();
                abort = 1;
            }
        });
        QCOMPARE(imap.Connect(QStringLiteral("127.0.0.1")), 0);
        const qint64 returnedAt = clock.elapsed();
        QVERIFY(abortedAt >= 0);
        // Proves the abort ends the call long before the network timeout; its speed is no test's
        // business on a shared machine.
        QVERIFY2(returnedAt - abortedAt < 5000,
                 qPrintable(QString::number(returnedAt - abortedAt)));
        QVERIFY(checks >= 3); // polled at least every 100 ms while waiting
        QVERIFY2(imap.LastErrorText().contains(QLatin1String("cancelled")),
                 qPrintable(imap.LastErrorText()));
    }

    void anyPasswordLogsIn() {
        MailServer::Options options;
        options.password = QStringLiteral("q\"uo\\te sp ä€𝄞'x");
        MailServer special(options);
        QVERIFY2(special.isRunning(), qPrintable(special.errorText()));
        EtpanMailImap imap;
        imap.setSSL(true);
        imap.setPort(special.port());
        imap.setTrustedCertificates(special.caFile());
        QCOMPARE(imap.Connect(special.host()), 1);
        QCOMPARE(imap.Login(special.user(), options.password), 1);
        QCOMPARE(imap.SelectMailbox(QStringLiteral("Drafts")), 1);
        QCOMPARE(imap.MessageCount(), 1);

        EtpanMailImap plain;
        plain.setSSL(true);
        plain.setPort(special.port());
        plain.setTrustedCertificates(special.caFile());
        QCOMPARE(plain.Connect(special.host()), 1);
        QCOMPARE(plain.Login(special.user(), QStringLiteral("q\"uo\\te sp")), 0);
    }
};

QTEST_GUILESS_MAIN(TestMailImap)
#include "tst_mailimap.moc"
