// Reading the sign-in settings, and reading the token endpoint's answers.
#include "TemporarySettings.h"

#include "auth/OAuthSettings.h"
#include "auth/TokenRequest.h"
#include "base/SettingsStore.h"

#include <QJsonDocument>
#include <QTest>

using namespace auth;

class OAuthSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void current();
    void tokenAnswer_data();
    void tokenAnswer();
    void needsRefresh();
};

void OAuthSettingsTest::read_data() {
    QTest::addColumn<QString>("stored"); // key=value;key=value
    QTest::addColumn<bool>("defaultServer");
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("tokenUrl");
    QTest::addColumn<QString>("clientId");
    QTest::addColumn<QString>("scopes");
    QTest::addColumn<QString>("redirectHost");
    QTest::addColumn<int>("flow");

    const int oauth = int(AuthMethod::OAuth2), password = int(AuthMethod::Password);
    const int browser = int(InteractiveFlow::Browser), device = int(InteractiveFlow::Device);
    const QString service =
        QStringLiteral("https://login.microsoftonline.com/consumers/oauth2/v2.0/token");
    const QString builtIn = OAuthSettings::builtInClientId();
    const QString scopes = OAuthSettings::defaultScopes();
    QTest::newRow("nothing stored, the service's server")
        << "" << true << oauth << service << builtIn << scopes << "127.0.0.1" << browser;
    QTest::newRow("nothing stored, another server")
        << "" << false << password << service << builtIn << scopes << "127.0.0.1" << browser;
    QTest::newRow("password asked for on the service's server")
        << "AuthMethod=Password" << true << password << service << builtIn << scopes << "127.0.0.1"
        << browser;
    QTest::newRow("everything set")
        << "AuthMethod= oauth2 ;OAuthAuthority=http://127.0.0.1:8080/tenant/;OAuthClientId= abc "
           ";OAuthScopes=imap   offline_access;OAuthRedirectHost=LocalHost;OAuthFlow=device"
        << false << oauth << "http://127.0.0.1:8080/tenant/token"
        << "abc"
        << "imap offline_access"
        << "localhost" << device;
    QTest::newRow("unknown values fall back")
        << "AuthMethod=kerberos;OAuthRedirectHost=[::1];OAuthFlow=carrier pigeon" << true << oauth
        << service << builtIn << scopes << "127.0.0.1" << browser;
}

void OAuthSettingsTest::read() {
    QFETCH(QString, stored);
    QFETCH(bool, defaultServer);
    QHash<QString, QString> values;
    for (const QString& pair : stored.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        values.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));

    const OAuthSettings s =
        OAuthSettings::read([&](const QString& key) { return values.value(key); }, defaultServer);
    QTEST(int(s.method), "method");
    QTEST(s.tokenUrl().toString(), "tokenUrl");
    QCOMPARE(
        s.authorizeUrl().toString().replace(QLatin1String("/authorize"), QLatin1String("/token")),
        s.tokenUrl().toString());
    QTEST(s.clientId, "clientId");
    QTEST(s.scopes, "scopes");
    QTEST(s.redirectHost, "redirectHost");
    QTEST(int(s.flow), "flow");
}

// The default method follows the stored server: the mail service's own signs in with OAuth2.
void OAuthSettingsTest::current() {
    TemporarySettings settings;
    QCOMPARE(OAuthSettings::current().method, AuthMethod::OAuth2);
    SettingsStore::Save(QStringLiteral("Server"), QStringLiteral("127.0.0.1:1993"));
    QCOMPARE(OAuthSettings::current().method, AuthMethod::Password);
    SettingsStore::Save(QStringLiteral("AuthMethod"), QStringLiteral("oauth2"));
    SettingsStore::Save(QStringLiteral("OAuthAuthority"), QStringLiteral("http://127.0.0.1:8/x"));
    QCOMPARE(OAuthSettings::current().method, AuthMethod::OAuth2);
    QCOMPARE(OAuthSettings::current().deviceCodeUrl().toString(),
             QStringLiteral("http://127.0.0.1:8/x/devicecode"));
}

void OAuthSettingsTest::tokenAnswer_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("networkText");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("refreshToken"); // after a refresh that sent "rt-old"
    QTest::addColumn<int>("lifetime");

    QTest::newRow("rotated")
        << QByteArray(R"({"access_token":"a","expires_in":3599,"refresh_token":"rt-new"})")
        << QString() << int(OAuthError::None) << "rt-new" << 3599;
    QTest::newRow("no new refresh token keeps the old")
        << QByteArray(R"({"access_token":"a","expires_in":"3600"})") << QString()
        << int(OAuthError::None) << "rt-old" << 3600;
    QTest::newRow("invalid_grant")
        << QByteArray(R"({"error":"invalid_grant","error_description":"AADSTS70008: expired"})")
        << QString() << int(OAuthError::InvalidGrant) << "" << 0;
    QTest::newRow("declined") << QByteArray(R"({"error":"authorization_declined"})") << QString()
                              << int(OAuthError::ConsentDeclined) << "" << 0;
    QTest::newRow("other refusal") << QByteArray(R"({"error":"invalid_client"})") << QString()
                                   << int(OAuthError::ServiceError) << "" << 0;
    QTest::newRow("no access token") << QByteArray(R"({"token_type":"Bearer"})") << QString()
                                     << int(OAuthError::ServiceError) << "" << 0;
    QTest::newRow("unreachable") << QByteArray() << QStringLiteral("Connection refused")
                                 << int(OAuthError::NetworkError) << "" << 0;
}

void OAuthSettingsTest::tokenAnswer() {
    QFETCH(QByteArray, json);
    QFETCH(QString, networkText);
    QFETCH(int, error);
    QFETCH(QString, refreshToken);
    QFETCH(int, lifetime);
    EndpointAnswer answer;
    answer.json = QJsonDocument::fromJson(json).object();
    answer.error = answer.json.value(QLatin1String("error")).toString();
    answer.networkText = networkText;

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const OAuthResult result = TokenRequest::tokensFrom(answer, QStringLiteral("rt-old"));
    QCOMPARE(int(result.error), error);
    QCOMPARE(result.tokens.refreshToken, refreshToken);
    QVERIFY(!result.detailText().isEmpty() || result.ok());
    if (result.ok())
        QVERIFY(qAbs(before.secsTo(result.tokens.expiry) - lifetime) <= 1);
}

void OAuthSettingsTest::needsRefresh() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    OAuthTokens tokens{QStringLiteral("a"), now.addSecs(61), {}};
    QVERIFY(!tokens.needsRefresh(now));
    QVERIFY(tokens.needsRefresh(now.addSecs(2)));
    QVERIFY(OAuthTokens{}.needsRefresh(now));
    QVERIFY((OAuthTokens{QStringLiteral("a"), QDateTime(), {}}.needsRefresh(now)));
}

QTEST_MAIN(OAuthSettingsTest)
#include "tst_oauthsettings.moc"
