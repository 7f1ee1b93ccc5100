// OAuth2 sign-in (XOAUTH2) against a real Dovecot that checks bearer tokens with the local
// identity-provider double; no token may reach Dovecot's log or ours.
#include "FileContents.h"
#include "OAuthMailServers.h"
#include "ScriptedPrompter.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/clsMailIMAP.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QString refused =
    QStringLiteral("AUTHENTICATE failed: the server refused the token: Authentication failed.");

} // namespace

class TestXOAuth2Dovecot : public QObject {
    Q_OBJECT

    std::unique_ptr<OAuthMailServers> servers;
    IdentityProvider* idp = nullptr;
    MailServer* server = nullptr;
    QTemporaryDir logDir;
    QStringList tokensGiven; // every token a test handed out, to look for in the logs

    void connectTo(EtpanMailImap& imap) {
        imap.setTrustedCertificates(server->caFile());
        imap.setSSL(true);
        imap.setPort(server->port());
        QCOMPARE(imap.Connect(server->host()), 1);
    }
    QString mint(const QString& user, int lifetime = 3600) {
        const QString token = idp->mint(user, lifetime);
        tokensGiven.append(token);
        return token;
    }

private slots:
    void initTestCase() {
        servers = std::make_unique<OAuthMailServers>();
        idp = servers->idp();
        server = servers->server();
        QVERIFY2(servers->isRunning(), qPrintable(servers->errorText()));
        ErrorLog::setFolder(logDir.path());
    }
    // Runs last: whatever the tests sent, neither log holds a token.
    void cleanupTestCase() {
        const QString dovecotLog = server ? server->logText() : QString();
        const QString ourLog = errorLogText();
        QVERIFY2(dovecotLog.contains(QLatin1String("Login: user=<")), "Dovecot logged no login");
        for (const QString& token : std::as_const(tokensGiven)) {
            QVERIFY(!token.isEmpty());
            QVERIFY2(!dovecotLog.contains(token), "Dovecot's log holds a token");
            QVERIFY2(!ourLog.contains(token), "errorlog.txt holds a token");
        }
        servers.reset();
        ErrorLog::setFolder(QString());
    }

    void tokensAreClassified_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("lifetime");
        QTest::addColumn<bool>("forged");
        QTest::addColumn<XOAuth2Result>("result");

        const QString user = QStringLiteral("user@example.test");
        QTest::newRow("live") << user << 3600 << false << XOAuth2Result::SignedIn;
        QTest::newRow("expired") << user << -60 << false << XOAuth2Result::TokenRefused;
        QTest::newRow("another user's")
            << QStringLiteral("other@example.test") << 3600 << false << XOAuth2Result::TokenRefused;
        QTest::newRow("unknown") << user << 3600 << true << XOAuth2Result::TokenRefused;
    }
    void tokensAreClassified() {
        QFETCH(QString, user);
        QFETCH(int, lifetime);
        QFETCH(bool, forged);
        QFETCH(XOAuth2Result, result);
        const QString token =
            forged ? QStringLiteral("forged-token-0123456789abcdef") : mint(user, lifetime);
        tokensGiven.append(token);
        EtpanMailImap imap;
        connectTo(imap);

        QCOMPARE(imap.AuthenticateXOAuth2(server->user(), token), result);
        if (result == XOAuth2Result::SignedIn) {
            QCOMPARE(imap.SelectMailbox(QStringLiteral("INBOX")), 1);
            QCOMPARE(imap.MessageCount(), 5);
            QVERIFY(imap.FetchMessage(1, 0));
        } else {
            QCOMPARE(imap.LastErrorText(), refused);
        }
    }

    // A token that has expired is refused; the session gets a fresh one, signs in on a new
    // connection and lists the folder.
    void sessionRenewsARefusedTokenAndLists() {
        ScriptedPrompter prompts;
        EtpanMailImap imap;
        imap.setTrustedCertificates(server->caFile());
        QList<TokenNeed> needs;
        auto session = std::make_shared<clsMailIMAP>();
        session->MailIMAPObject = &imap;
        session->SSL = true;
        session->PORT = server->port();
        session->IMAPServer = server->host();
        session->Username = server->user();
        session->AuthMethod = AuthMode::OAuth2;
        session->TokenSource = [&](TokenNeed need) {
            needs.append(need);
            return AccessToken{mint(server->user(), need == TokenNeed::Current ? -60 : 3600), {}};
        };
        QList<qint32> ids;
        connect(session.get(), &clsMailIMAP::MailExtractListing, this,
                [&ids](const QString&, const QString&, const QString&, const QString&,
                       const QString&, const QString&, const QString&,
                       qint32 id) { ids.append(id); });

        QVERIFY(session->Connect());
        QCOMPARE(needs, (QList<TokenNeed>{TokenNeed::Current, TokenNeed::Fresh}));
        session->CurrentLocation = 1;
        session->MaxRecord = session->GetTotalMessage(QStringLiteral("INBOX"));
        QCOMPARE(session->MaxRecord, 5);
        session->StartMailExtraction(QStringLiteral("INBOX"));
        QCOMPARE(ids, (QList<qint32>{1, 2, 3, 4, 5}));
        QVERIFY(prompts.boxes.isEmpty());
    }

    // This server takes no password: the refusal says how to switch to OAuth2.
    void passwordIsRefusedWithTheWayOut() {
        EtpanMailImap imap;
        connectTo(imap);
        QCOMPARE(imap.Login(server->user(), server->password()), 0);
        QVERIFY2(imap.LastErrorText().endsWith(QLatin1String(
                     "This account needs OAuth2 sign-in: set AuthMethod=oauth2 in the settings "
                     "file.")),
                 qPrintable(imap.LastErrorText()));
    }
};

QTEST_GUILESS_MAIN(TestXOAuth2Dovecot)
#include "tst_xoauth2dovecot.moc"
