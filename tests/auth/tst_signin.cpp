// Sign-in against the local identity-provider double: the browser flow through a simulated
// browser, refresh with rotation, the device-code flow, and the failures the window must tell
// apart.
#include "IdentityProvider.h"
#include "SimulatedBrowser.h"

#include "auth/DeviceCodeFlow.h"
#include "auth/SignIn.h"
#include "auth/TokenRequest.h"
#include "auth/TokenStore.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace auth;
using namespace std::chrono_literals;

namespace {

const QString kUser = QStringLiteral("alice@example.test");

OAuthResult refreshWith(const OAuthSettings& settings, const QString& refreshToken) {
    QNetworkAccessManager network;
    OAuthResult result;
    bool done = false;
    TokenRequest::refresh(network, settings.tokenUrl(), settings.clientId, settings.scopes,
                          refreshToken, &network, [&](const OAuthResult& r) {
                              result = r;
                              done = true;
                          });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        qWarning("no answer to the refresh");
    return result;
}

} // namespace

class SignInTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void browserFlow_data();
    void browserFlow();
    void refreshRotates();
    void silentRefresh_data();
    void silentRefresh();
    void deviceFlow_data();
    void deviceFlow();

private:
    OAuthSettings settings() const;
    void configure(const QList<QPair<QString, QString>>& values);

    std::unique_ptr<IdentityProvider> idp_;
};

void SignInTest::initTestCase() {
    idp_ = std::make_unique<IdentityProvider>();
    QVERIFY2(idp_->isRunning(), qPrintable(idp_->errorText()));
}

void SignInTest::init() {
    configure({{QStringLiteral("consent"), QStringLiteral("allow")},
               {QStringLiteral("access_lifetime"), QStringLiteral("3600")},
               {QStringLiteral("device_lifetime"), QStringLiteral("900")},
               {QStringLiteral("slow_down"), QStringLiteral("0")},
               {QStringLiteral("outage"), QStringLiteral("0")}});
}

OAuthSettings SignInTest::settings() const {
    OAuthSettings s = OAuthSettings::read([](const QString&) { return QString(); }, true);
    s.authority = idp_->authority();
    s.clientId = idp_->clientId();
    return s;
}

void SignInTest::configure(const QList<QPair<QString, QString>>& values) {
    QUrlQuery query;
    query.setQueryItems(values);
    QVERIFY(!idp_->get(QStringLiteral("/configure"), query).isEmpty());
}

void SignInTest::browserFlow_data() {
    QTest::addColumn<SimulatedBrowser::Behaviour>("behaviour");
    QTest::addColumn<QString>("consent");
    QTest::addColumn<QString>("clientId"); // "none": no registration
    QTest::addColumn<QString>("redirectHost");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QList<int>>("pages"); // HTTP statuses of the pages the browser showed

    using B = SimulatedBrowser::Behaviour;
    const QString ok = QStringLiteral("allow");
    QTest::newRow("signed in") << B::Follow << ok << QString() << QStringLiteral("127.0.0.1")
                               << int(OAuthError::None) << QString() << QList<int>{200};
    QTest::newRow("signed in through localhost")
        << B::Follow << ok << QString() << QStringLiteral("localhost") << int(OAuthError::None)
        << QString() << QList<int>{200};
    QTest::newRow("a wrong state is ignored")
        << B::WrongStateFirst << ok << QString() << QStringLiteral("127.0.0.1")
        << int(OAuthError::None) << QString() << QList<int>{400, 200};
    QTest::newRow("consent declined")
        << B::Follow << QStringLiteral("deny") << QString() << QStringLiteral("127.0.0.1")
        << int(OAuthError::ConsentDeclined) << QStringLiteral("consent was declined")
        << QList<int>{200};
    QTest::newRow("page closed") << B::CloseThePage << ok << QString()
                                 << QStringLiteral("127.0.0.1") << int(OAuthError::PageClosed)
                                 << QStringLiteral("the sign-in page was closed") << QList<int>{};
    QTest::newRow("unknown client")
        << B::Follow << ok << QStringLiteral("someone-else") << QStringLiteral("127.0.0.1")
        << int(OAuthError::PageClosed) << QStringLiteral("the sign-in page was closed")
        << QList<int>{400};
}

// The browser's whole round trip: page, redirect to the loopback listener, code for tokens.
void SignInTest::browserFlow() {
    QFETCH(SimulatedBrowser::Behaviour, behaviour);
    QFETCH(QString, consent);
    QFETCH(QString, clientId);
    QFETCH(QString, redirectHost);
    QFETCH(int, error);
    QFETCH(QString, detail);
    QFETCH(QList<int>, pages);
    configure({{QStringLiteral("consent"), consent}});

    OAuthSettings s = settings();
    s.redirectHost = redirectHost;
    if (!clientId.isEmpty())
        s.clientId = clientId == QLatin1String("none") ? QString() : clientId;
    TokenStore store;
    SignIn signIn(s, store);
    SimulatedBrowser browser(behaviour);
    signIn.setOpener(browser.opener());
    signIn.setBrowserTimeout(1500ms);

    const OAuthResult result = signIn.accessToken(kUser);
    QCOMPARE(int(result.error), error);
    QCOMPARE(result.detailText(), detail);
    QCOMPARE(browser.opened(), error == int(OAuthError::NoClientId) ? 0 : 1);
    QTRY_COMPARE(browser.statuses(), pages);
    if (result.ok()) {
        QVERIFY(!result.tokens.accessToken.isEmpty());
        QVERIFY(!result.tokens.refreshToken.isEmpty());
        QVERIFY(!result.tokens.needsRefresh());
        QVERIFY(browser.lastPage().contains(QStringLiteral("Signed in.")));
        // A second request reuses the session's token.
        QCOMPARE(signIn.accessToken(kUser).tokens.accessToken, result.tokens.accessToken);
    }
}

// A refresh gives a new access token and a new refresh token; the old one is dead from then on.
void SignInTest::refreshRotates() {
    TokenStore store;
    SignIn signIn(settings(), store);
    SimulatedBrowser browser;
    signIn.setOpener(browser.opener());
    const OAuthResult first = signIn.accessToken(kUser);
    QVERIFY(first.ok());

    signIn.tokenRefused(kUser);
    const OAuthResult second = signIn.accessToken(kUser, Interaction::Forbidden);
    QVERIFY(second.ok());
    QCOMPARE(browser.opened(), 1);
    QVERIFY(second.tokens.accessToken != first.tokens.accessToken);
    QVERIFY(second.tokens.refreshToken != first.tokens.refreshToken);
    QCOMPARE(store.load(kUser), second.tokens.refreshToken);

    const OAuthResult stale = refreshWith(settings(), first.tokens.refreshToken);
    QCOMPARE(stale.error, OAuthError::InvalidGrant);
    QCOMPARE(stale.serviceError, QStringLiteral("invalid_grant"));
}

void SignInTest::silentRefresh_data() {
    QTest::addColumn<QString>("storedToken"); // "minted": a live one from the double
    QTest::addColumn<int>("accessLifetime");
    QTest::addColumn<QString>("service"); // "up", "unreachable" or "outage"
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("refreshes");   // asked of the double
    QTest::addColumn<bool>("storeKeeps"); // the stored token survives

    QTest::newRow("stored token refreshed")
        << "minted" << 3600 << "up" << int(OAuthError::None) << 1 << true;
    // Within a minute of its end an access token is renewed before it is used.
    QTest::newRow("short-lived token renewed before use")
        << "minted" << 30 << "up" << int(OAuthError::None) << 2 << true;
    QTest::newRow("revoked token: a new sign-in is needed")
        << "rt-revoked" << 3600 << "up" << int(OAuthError::InteractionRequired) << 0 << false;
    QTest::newRow("nothing stored: a new sign-in is needed")
        << "" << 3600 << "up" << int(OAuthError::InteractionRequired) << 0 << false;
    QTest::newRow("service unreachable: the token is kept")
        << "minted" << 3600 << "unreachable" << int(OAuthError::NetworkError) << 0 << true;
    QTest::newRow("service down for a moment: the token is kept")
        << "minted" << 3600 << "outage" << int(OAuthError::ServiceError) << 0 << true;
}

// Retrieval runs sign in again without ever opening the browser.
void SignInTest::silentRefresh() {
    QFETCH(QString, storedToken);
    QFETCH(int, accessLifetime);
    QFETCH(QString, service);
    QFETCH(int, error);
    QFETCH(int, refreshes);
    QFETCH(bool, storeKeeps);
    configure({{QStringLiteral("access_lifetime"), QString::number(accessLifetime)}});

    if (storedToken == QLatin1String("minted"))
        storedToken = idp_->get(QStringLiteral("/mint"), QUrlQuery(QStringLiteral("user=") + kUser))
                          .value(QStringLiteral("refresh_token"))
                          .toString();
    OAuthSettings s = settings();
    if (service == QLatin1String("unreachable"))
        s.authority = QStringLiteral("http://127.0.0.1:1");
    configure(
        {{QStringLiteral("outage"), QString::number(int(service == QLatin1String("outage")))}});
    TokenStore store;
    if (!storedToken.isEmpty())
        store.save(kUser, storedToken, false);
    SignIn signIn(s, store);
    SimulatedBrowser browser;
    signIn.setOpener(browser.opener());
    const int before = idp_->count(QStringLiteral("refreshed"));

    OAuthResult result = signIn.accessToken(kUser, Interaction::Forbidden);
    if (result.ok())
        result = signIn.accessToken(kUser, Interaction::Forbidden);
    QCOMPARE(int(result.error), error);
    QCOMPARE(idp_->count(QStringLiteral("refreshed")) - before, refreshes);
    QCOMPARE(browser.opened(), 0);
    QCOMPARE(store.load(kUser).isEmpty(), !storeKeeps);
    if (service == QLatin1String("unreachable"))
        QVERIFY(result.detailText().startsWith(
            QStringLiteral("the sign-in service could not be reached: ")));
}

void SignInTest::deviceFlow_data() {
    QTest::addColumn<QString>("user");     // approve, decline, cancel or wait
    QTest::addColumn<int>("approveAfter"); // polls answered "pending" first
    QTest::addColumn<int>("slowDown");     // slow_down answers first
    QTest::addColumn<int>("deviceLifetime");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("detail");

    QTest::newRow("approved") << "approve" << 0 << 0 << 900 << int(OAuthError::None) << QString();
    QTest::newRow("pending, then approved")
        << "approve" << 2 << 0 << 900 << int(OAuthError::None) << QString();
    QTest::newRow("slow_down honoured")
        << "approve" << 0 << 2 << 900 << int(OAuthError::None) << QString();
    QTest::newRow("declined") << "decline" << 0 << 0 << 900 << int(OAuthError::ConsentDeclined)
                              << QStringLiteral("consent was declined");
    QTest::newRow("expired") << "wait" << 0 << 0 << 2 << int(OAuthError::CodeExpired)
                             << QStringLiteral("the sign-in code expired before it was entered");
    QTest::newRow("cancelled") << "cancel" << 0 << 0 << 900 << int(OAuthError::Cancelled)
                               << QStringLiteral("the sign-in was cancelled");
}

// The code and address are shown, the program polls, and the user acts on another device.
void SignInTest::deviceFlow() {
    QFETCH(QString, user);
    QFETCH(int, approveAfter);
    QFETCH(int, slowDown);
    QFETCH(int, deviceLifetime);
    QFETCH(int, error);
    QFETCH(QString, detail);
    configure({{QStringLiteral("slow_down"), QString::number(slowDown)},
               {QStringLiteral("slow_down_step"), QStringLiteral("1")},
               {QStringLiteral("device_lifetime"), QString::number(deviceLifetime)}});

    OAuthSettings s = settings();
    s.flow = InteractiveFlow::Device;
    TokenStore store;
    SignIn signIn(s, store);
    signIn.setSlowDownStep(1s);
    const int pendingBefore = idp_->count(QStringLiteral("pending"));
    const int slowBefore = idp_->count(QStringLiteral("slow_down"));
    QString shownCode;
    QUrl shownAddress;
    connect(&signIn, &SignIn::deviceCodeReady, this,
            [&](const QString& code, const QUrl& address, const QString&) {
                shownCode = code;
                shownAddress = address;
                if (user == QLatin1String("cancel"))
                    signIn.cancel();
                if (user == QLatin1String("decline"))
                    QVERIFY(idp_->approveDevice(code, true));
            });
    // The user finishes only after the program has polled a few times.
    QTimer approver;
    connect(&approver, &QTimer::timeout, this, [&] {
        const int polls = idp_->count(QStringLiteral("pending")) - pendingBefore;
        if (!shownCode.isEmpty() && user == QLatin1String("approve") && polls >= approveAfter) {
            approver.stop();
            idp_->approveDevice(shownCode);
        }
    });
    approver.start(100);

    const OAuthResult result = signIn.accessToken(kUser);
    QCOMPARE(int(result.error), error);
    QCOMPARE(result.detailText(), detail);
    QVERIFY(!shownCode.isEmpty());
    QCOMPARE(shownAddress.path(), QStringLiteral("/device"));
    QVERIFY(idp_->count(QStringLiteral("pending")) - pendingBefore >= approveAfter);
    QCOMPARE(idp_->count(QStringLiteral("slow_down")) - slowBefore, slowDown);
    QCOMPARE(result.ok(), !result.tokens.refreshToken.isEmpty());
}

QTEST_MAIN(SignInTest)
#include "tst_signin.moc"
