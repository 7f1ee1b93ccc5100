// OAuth2 sign-in (XOAUTH2) against a responder that replays the real mail service's answers: a
// greeting without capabilities, a bare NO for a bad token, [UNAVAILABLE], LOGIN refused by policy
// with a BYE, and a session ended mid-listing when its token expires.
#include "FileContents.h"
#include "ScriptedImapServer.h"
#include "ScriptedMessages.h"
#include "ScriptedPrompter.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/clsMailIMAP.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray serviceGreeting = "* OK The IMAP4 service is ready.\r\n";
const QByteArray serviceCapabilities = "IMAP4 IMAP4rev1 AUTH=PLAIN AUTH=XOAUTH2 SASL-IR UIDPLUS ID "
                                       "UNSELECT CHILDREN IDLE NAMESPACE LITERAL+";
const QString invalidLogin =
    QStringLiteral("Invalid login. Please double-check your username and password.");
const QString refused =
    QStringLiteral("AUTHENTICATE failed: the server refused the token: AUTHENTICATE failed.");

// The token of an AUTHENTICATE XOAUTH2 line with its initial response; "" for none.
QByteArray tokenOf(const QByteArray& command) {
    const QByteArray response = QByteArray::fromBase64(command.split(' ').value(2));
    const qsizetype at = response.indexOf("auth=Bearer ");
    return at < 0 ? QByteArray() : response.mid(at + 12).split('\x01').value(0);
}

// Plays the mail service. Tokens in accepted sign in; any other is refused with a bare NO, unless
// authAnswer gives the answer (after the tag; a continuation or untagged answer alone). A
// connection signed in with expiring ends with
// "* BYE ... AccessTokenExpired" when a FETCH reaches past message expiresAfter; the messages
// before it in that FETCH are still sent.
struct Service {
    QByteArray capabilities = serviceCapabilities;
    QList<QByteArray> accepted{"token-1"};
    QByteArray authAnswer;
    QByteArray expiring;
    int expiresAfter = 0;
    int messages = 6;

    QByteArray signedInWith; // the token of the current connection
    QByteArray challengedTag;
    QList<QByteArray> tokens; // every token received

    QByteArray answer(const QByteArray& tag, const QByteArray& command) {
        const QByteArray verb = command.split(' ').value(0).toUpper();
        if (!challengedTag.isEmpty() && command.isEmpty())
            return std::exchange(challengedTag, {}) +
                   " NO [AUTHENTICATIONFAILED] Authentication failed.\r\n";
        if (verb == "CAPABILITY")
            return "* CAPABILITY " + capabilities + "\r\n" + tag + " OK CAPABILITY completed.\r\n";
        if (verb == "ID")
            return "* ID NIL\r\n" + tag + " OK ID completed.\r\n";
        if (verb == "LOGIN")
            return tag + " NO LOGIN failed.\r\n";
        if (verb == "AUTHENTICATE") {
            const QByteArray token = tokenOf(command);
            tokens.append(token);
            if (authAnswer.startsWith('+'))
                challengedTag = tag;
            if (!authAnswer.isEmpty())
                return authAnswer.startsWith('+') || authAnswer.startsWith('*')
                           ? authAnswer
                           : tag + ' ' + authAnswer;
            if (!accepted.contains(token))
                return tag + " NO AUTHENTICATE failed.\r\n";
            signedInWith = token;
            return tag + " OK AUTHENTICATE completed.\r\n";
        }
        if (verb == "EXAMINE")
            return "* " + QByteArray::number(messages) + " EXISTS\r\n" + tag +
                   " OK [READ-ONLY] EXAMINE completed.\r\n";
        if (verb == "FETCH") {
            const auto [first, last] = fetchSet(command);
            if (signedInWith == expiring && last > expiresAfter)
                return fetchedMessages(first, expiresAfter) +
                       "* BYE Session invalidated - AccessTokenExpired\r\n";
            return fetchedMessages(first, last) + tag + " OK FETCH completed.\r\n";
        }
        if (verb == "LOGOUT")
            return "* BYE Signing off.\r\n" + tag + " OK LOGOUT completed.\r\n";
        return tag + " OK done\r\n";
    }

    ScriptedImapServer::Script script() {
        return [this](const QByteArray& tag, const QByteArray& command) {
            return answer(tag, command);
        };
    }
};

// Hands out "token-1", "token-2", ... and records what each request asked for.
struct TokenSource {
    QList<TokenNeed> needs;
    QString error;   // when set, no token is given
    int delayMs = 0; // a sign-in in the browser that takes its time

    AccessTokenSource source() {
        return [this](TokenNeed need) {
            needs.append(need);
            QTest::qWait(delayMs);
            if (!error.isEmpty())
                return AccessToken{QString(), error};
            return AccessToken{QStringLiteral("token-%1").arg(needs.size()), QString()};
        };
    }
};

QList<QByteArray> verbs(const ScriptedImapServer& server) {
    QList<QByteArray> out;
    for (const QByteArray& command : server.commands())
        out.append(command.split(' ').value(0));
    return out;
}

void open(EtpanMailImap& imap, const ScriptedImapServer& server) {
    imap.setSSL(false);
    imap.setPort(server.port());
    QCOMPARE(imap.Connect(QStringLiteral("127.0.0.1")), 1);
}

} // namespace

class TestXOAuth2 : public QObject {
    Q_OBJECT

    QTemporaryDir logDir;

    static std::shared_ptr<clsMailIMAP>
    oauthSession(MailImap& imap, const ScriptedImapServer& server, TokenSource& tokens) {
        auto session = std::make_shared<clsMailIMAP>();
        session->MailIMAPObject = &imap;
        session->PORT = server.port();
        session->IMAPServer = QStringLiteral("127.0.0.1");
        session->Username = QStringLiteral("someone@example.test");
        session->AuthMethod = AuthMode::OAuth2;
        session->TokenSource = tokens.source();
        return session;
    }

private slots:
    void initTestCase() { ErrorLog::setFolder(logDir.path()); }
    void cleanupTestCase() { ErrorLog::setFolder(QString()); }
    void init() { QFile::remove(ErrorLog::filePath()); }

    void answersAreClassified_data() {
        QTest::addColumn<QByteArray>("capabilities");
        QTest::addColumn<QByteArray>("authAnswer");
        QTest::addColumn<XOAuth2Result>("result");
        QTest::addColumn<QString>("error");

        QTest::newRow("accepted") << serviceCapabilities << QByteArray() << XOAuth2Result::SignedIn
                                  << QString();
        QTest::newRow("bare NO") << serviceCapabilities << QByteArray("NO AUTHENTICATE failed.\r\n")
                                 << XOAuth2Result::TokenRefused << refused;
        QTest::newRow("challenge, then NO")
            << serviceCapabilities << QByteArray("+ eyJzdGF0dXMiOiI0MDEifQ==\r\n")
            << XOAuth2Result::TokenRefused
            << QStringLiteral(
                   "AUTHENTICATE failed: the server refused the token: Authentication failed.");
        QTest::newRow("unavailable")
            << serviceCapabilities
            << QByteArray("NO [UNAVAILABLE] Temporary authentication failure.\r\n")
            << XOAuth2Result::TemporaryFailure
            << QStringLiteral("AUTHENTICATE failed: the server cannot check the token now: "
                              "Temporary authentication failure.");
        QTest::newRow("BYE") << serviceCapabilities << QByteArray("* BYE Server shutting down.\r\n")
                             << XOAuth2Result::ConnectionLost
                             << QStringLiteral("AUTHENTICATE failed, the server ended the "
                                               "session: Server shutting down.");
        QTest::newRow("not offered") << QByteArray("IMAP4rev1 AUTH=PLAIN SASL-IR") << QByteArray()
                                     << XOAuth2Result::NotOffered
                                     << QStringLiteral("AUTHENTICATE failed: the server does not "
                                                       "offer XOAUTH2 sign-in");
    }
    // The greeting carries no capabilities: CAPABILITY comes first, then AUTHENTICATE, and the
    // answer is told apart; the token is in no text.
    void answersAreClassified() {
        QFETCH(QByteArray, capabilities);
        QFETCH(QByteArray, authAnswer);
        QFETCH(XOAuth2Result, result);
        QFETCH(QString, error);
        Service service;
        service.capabilities = capabilities;
        service.authAnswer = authAnswer;
        ScriptedImapServer server(service.script(), serviceGreeting);
        EtpanMailImap imap;
        open(imap, server);

        QCOMPARE(imap.AuthenticateXOAuth2(QStringLiteral("someone@example.test"),
                                          QStringLiteral("token-1")),
                 result);
        QCOMPARE(imap.LastErrorText(), error);
        QVERIFY(!imap.LastErrorText().contains(QLatin1String("token-1")));
        QCOMPARE(imap.IsConnected(), result != XOAuth2Result::ConnectionLost);
        const QList<QByteArray> sent = verbs(server);
        QCOMPARE(sent.value(0), QByteArray("CAPABILITY"));
        QCOMPARE(sent.contains("AUTHENTICATE"), result != XOAuth2Result::NotOffered);
    }

    void passwordRefusedByPolicySaysHowToSwitch_data() {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QByteArray>("loginAnswer");
        QTest::addColumn<QString>("error");

        const QString hint = QStringLiteral(
            " This account needs OAuth2 sign-in: set AuthMethod=oauth2 in the settings file.");
        QTest::newRow("basic authentication disabled")
            << serviceGreeting
            << QByteArray(" NO Basic authentication is disabled.\r\n* BYE Server signing off.\r\n")
            << QStringLiteral("LOGIN failed, server replied: Basic authentication is disabled.") +
                   hint;
        QTest::newRow("LOGINDISABLED advertised")
            << QByteArray(
                   "* OK [CAPABILITY IMAP4rev1 SASL-IR LOGINDISABLED AUTH=XOAUTH2] ready\r\n")
            << QByteArray()
            << QStringLiteral("LOGIN failed: the server does not accept passwords.") + hint;
        QTest::newRow("plain refusal")
            << serviceGreeting << QByteArray(" NO LOGIN failed.\r\n")
            << QStringLiteral("LOGIN failed, server replied: LOGIN failed.");
    }
    void passwordRefusedByPolicySaysHowToSwitch() {
        QFETCH(QByteArray, greeting);
        QFETCH(QByteArray, loginAnswer);
        QFETCH(QString, error);
        ScriptedImapServer server(
            [loginAnswer](const QByteArray& tag, const QByteArray&) { return tag + loginAnswer; },
            greeting);
        EtpanMailImap imap;
        open(imap, server);

        QCOMPARE(imap.Login(QStringLiteral("someone@example.test"), QStringLiteral("secret")), 0);
        QCOMPARE(imap.LastErrorText(), error);
        QCOMPARE(server.commands().size(), loginAnswer.isEmpty() ? 0 : 1);
    }

    void refusedTokenIsRenewedOnceOnANewConnection_data() {
        QTest::addColumn<QList<QByteArray>>("accepted");
        QTest::addColumn<QByteArray>("authAnswer");
        QTest::addColumn<QString>("sourceError");
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QList<TokenNeed>>("needs");
        QTest::addColumn<int>("connections");
        QTest::addColumn<QString>("detail");

        const QList<TokenNeed> once{TokenNeed::Current};
        const QList<TokenNeed> twice{TokenNeed::Current, TokenNeed::Fresh};
        QTest::newRow("accepted") << QList<QByteArray>{"token-1"} << QByteArray() << QString()
                                  << true << once << 1 << QString();
        QTest::newRow("refused, then a fresh one accepted")
            << QList<QByteArray>{"token-2"} << QByteArray() << QString() << true << twice << 2
            << QString();
        QTest::newRow("refused twice")
            << QList<QByteArray>{} << QByteArray() << QString() << false << twice << 2 << refused;
        QTest::newRow("unavailable is not retried")
            << QList<QByteArray>{"token-1"}
            << QByteArray("NO [UNAVAILABLE] Temporary authentication failure.\r\n") << QString()
            << false << once << 1
            << QStringLiteral("AUTHENTICATE failed: the server cannot check the token now: "
                              "Temporary authentication failure.");
        QTest::newRow("no token to be had")
            << QList<QByteArray>{"token-1"} << QByteArray()
            << QStringLiteral("the sign-in page was closed") << false << once << 0
            << QStringLiteral("sign-in failed: the sign-in page was closed");
    }
    void refusedTokenIsRenewedOnceOnANewConnection() {
        QFETCH(QList<QByteArray>, accepted);
        QFETCH(QByteArray, authAnswer);
        QFETCH(QString, sourceError);
        QFETCH(bool, signedIn);
        QFETCH(QList<TokenNeed>, needs);
        QFETCH(int, connections);
        QFETCH(QString, detail);
        Service service;
        service.accepted = accepted;
        service.authAnswer = authAnswer;
        ScriptedImapServer server(service.script(), serviceGreeting);
        ScriptedPrompter prompts;
        EtpanMailImap imap;
        TokenSource tokens;
        tokens.error = sourceError;
        const auto session = oauthSession(imap, server, tokens);

        QCOMPARE(session->Connect(), signedIn);
        QCOMPARE(tokens.needs, needs);
        QTRY_COMPARE(server.connections(), connections);
        QVERIFY(!verbs(server).contains("LOGIN"));
        if (signedIn) {
            QVERIFY(prompts.boxes.isEmpty());
            QVERIFY(session->LastSignIn() == XOAuth2Result::SignedIn);
        } else {
            QCOMPARE(prompts.texts(), QStringList{invalidLogin});
            QCOMPARE(prompts.boxes[0].detail, detail);
        }
    }

    void slowSignInIsNotCountedAgainstTheConnection() {
        // The connection's deadline starts once the token is had, not before.
        clsMailIMAP::setConnectDeadline(std::chrono::milliseconds(800));
        const auto restore =
            qScopeGuard([] { clsMailIMAP::setConnectDeadline(std::chrono::seconds(60)); });
        Service service;
        service.accepted = {"token-1"};
        // A little slow to answer ID, so that the connection's deadline is looked at.
        ScriptedImapServer server(
            [&service](const QByteArray& tag, const QByteArray& command) {
                if (command.startsWith("ID"))
                    std::this_thread::sleep_for(std::chrono::milliseconds(150));
                return service.answer(tag, command);
            },
            serviceGreeting);
        ScriptedPrompter prompts;
        EtpanMailImap imap;
        TokenSource tokens;
        tokens.delayMs = 1200;
        const auto session = oauthSession(imap, server, tokens);
        QVERIFY(session->Connect());
        QVERIFY(prompts.boxes.isEmpty());
    }

    void expiredTokenMidListingIsRenewed_data() {
        QTest::addColumn<bool>("fetchAhead");
        QTest::newRow("fetching ahead") << true;
        QTest::newRow("one message at a time") << false;
    }
    // The session ends after message 3 with "* BYE ... AccessTokenExpired": the listing signs in
    // anew with a fresh token, opens the folder again and lists every message once.
    void expiredTokenMidListingIsRenewed() {
        QFETCH(bool, fetchAhead);
        Service service;
        service.accepted = {"token-1", "token-2"};
        service.expiring = "token-1";
        service.expiresAfter = 3;
        ScriptedImapServer server(service.script(), serviceGreeting);
        ScriptedPrompter prompts;
        EtpanMailImap imap;
        imap.setFetchAhead(fetchAhead);
        TokenSource tokens;
        const auto session = oauthSession(imap, server, tokens);
        QList<qint32> ids;
        QStringList subjects;
        connect(session.get(), &clsMailIMAP::MailExtractListing, this,
                [&](const QString&, const QString&, const QString&, const QString& subject,
                    const QString&, const QString&, const QString&, qint32 id) {
                    ids.append(id);
                    subjects.append(subject);
                });
        session->CurrentLocation = 1;
        session->MaxRecord = service.messages;
        session->StartMailExtraction(QStringLiteral("Inbox"));

        QCOMPARE(ids, (QList<qint32>{1, 2, 3, 4, 5, 6}));
        QCOMPARE(subjects.value(3), QStringLiteral("Message 4"));
        QCOMPARE(tokens.needs, (QList<TokenNeed>{TokenNeed::Current, TokenNeed::Fresh}));
        QCOMPARE(server.connections(), 2);
        QCOMPARE(service.tokens, (QList<QByteArray>{"token-1", "token-2"}));
        QCOMPARE(verbs(server).count("EXAMINE"), 2);
        QVERIFY(!verbs(server).contains("SELECT"));
        QVERIFY(prompts.boxes.isEmpty());

        const QByteArray logText = fileContents(ErrorLog::filePath());
        QVERIFY2(logText.contains("FETCH 4 failed, the server ended the session: Session "
                                  "invalidated - AccessTokenExpired"),
                 logText.constData());
        QVERIFY(!logText.contains("token-"));
    }
};

QTEST_GUILESS_MAIN(TestXOAuth2)
#include "tst_xoauth2.moc"
