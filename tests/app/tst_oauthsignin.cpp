#include "OAuthMailServers.h"
#include "SimulatedBrowser.h"
#include "WindowFixture.h"

#include "app/BrowserSignInBox.h"
#include "app/DeviceCodeBox.h"
#include "app/Form1.h"
#include "auth/SignIn.h"
#include "auth/TokenStore.h"
#include "base/SettingsStore.h"
#include "list/MessageListView.h"
#include "mail/ErrorLog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <chrono>

using namespace std::chrono_literals;

// The main window signing in with OAuth2: the identity-provider double, a Dovecot that takes only
// its bearer tokens, and a simulated browser in place of the system's.

namespace {

const QString invalidLogin =
    QStringLiteral("Invalid login. Please double-check your username and password.");
const QString connected =
    QStringLiteral("Connected to Windows Live Hotmail. Please select folder.");
const QString done = QStringLiteral("Done.");

} // namespace

class OAuthSignInTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectOutcomes_data();
    void connectOutcomes();
    void retrievalReusesAndRefreshes();
    void deviceCode_data();
    void deviceCode();
    void browserBox_data();
    void browserBox();

private:
    std::unique_ptr<Form1> load(const QString& user, SimulatedBrowser& browser);
    std::unique_ptr<Form1> load(const QString& user, std::function<bool(const QUrl&)> opener);
    int count(const QString& name) const { return idp->count(name); }

    std::unique_ptr<OAuthMailServers> servers;
    IdentityProvider* idp = nullptr;
    std::unique_ptr<WindowFixture> fixture;
};

void OAuthSignInTest::initTestCase() {
    servers = std::make_unique<OAuthMailServers>();
    QVERIFY2(servers->isRunning(), qPrintable(servers->errorText()));
    idp = servers->idp();
}

void OAuthSignInTest::init() {
    fixture = std::make_unique<WindowFixture>();
    ErrorLog::setFolder(fixture->settings.path());
    servers->saveSettings();
    idp->get(QStringLiteral("/configure"),
             QUrlQuery{{QStringLiteral("consent"), QStringLiteral("allow")},
                       {QStringLiteral("access_lifetime"), QStringLiteral("3600")}});
}

void OAuthSignInTest::cleanup() {
    fixture.reset();
}

std::unique_ptr<Form1> OAuthSignInTest::load(const QString& user, SimulatedBrowser& browser) {
    return load(user, browser.opener());
}

std::unique_ptr<Form1> OAuthSignInTest::load(const QString& user,
                                             std::function<bool(const QUrl&)> opener) {
    auto form = loadedWindow([&opener](Form1& window) {
        window.prepareSignIn = [opener](auth::SignIn& signIn) {
            signIn.setOpener(opener);
            signIn.setBrowserTimeout(1500ms);
            signIn.store().setKeyringTimeout(2s);
        };
    });
    form->Combo1->setCurrentIndex(0);
    form->Text1->setText(user);
    return form;
}

void OAuthSignInTest::connectOutcomes_data() {
    QTest::addColumn<SimulatedBrowser::Behaviour>("behaviour");
    QTest::addColumn<QString>("consent");
    QTest::addColumn<QString>("clientId"); // "idp": the double's
    QTest::addColumn<QString>("scopes");   // empty: the default
    QTest::addColumn<QString>("box");      // empty: connected
    QTest::addColumn<QString>("detail");   // the box's Details begin so
    QTest::addColumn<int>("refreshes");

    using B = SimulatedBrowser::Behaviour;
    const QString standard;
    QTest::newRow("signed in") << B::Follow << "allow"
                               << "idp" << standard << QString() << QString() << 0;
    QTest::newRow("consent declined")
        << B::Follow << "deny"
        << "idp" << standard << invalidLogin
        << QStringLiteral("sign-in failed: consent was declined") << 0;
    QTest::newRow("page closed") << B::CloseThePage << "allow"
                                 << "idp" << standard << invalidLogin
                                 << QStringLiteral("sign-in failed: the sign-in page was closed")
                                 << 0;
    // A token without the mail scope: the server refuses it, and once more after one refresh.
    QTest::newRow("token refused") << B::Follow << "allow"
                                   << "idp" << QStringLiteral("offline_access") << invalidLogin
                                   << QStringLiteral("AUTHENTICATE failed: the server refused "
                                                     "the token")
                                   << 1;
    QTest::newRow("no client ID") << B::Follow << "allow"
                                  << "" << standard
                                  << QStringLiteral(
                                         "This build of Quentaril has no sign-in registration")
                                  << QString() << 0;
}

void OAuthSignInTest::connectOutcomes() {
    QFETCH(SimulatedBrowser::Behaviour, behaviour);
    QFETCH(QString, consent);
    QFETCH(QString, clientId);
    QFETCH(QString, scopes);
    QFETCH(QString, box);
    QFETCH(QString, detail);
    QFETCH(int, refreshes);

    SettingsStore::Save(QStringLiteral("OAuthClientId"),
                        clientId.isEmpty() ? QString() : idp->clientId());
    if (!scopes.isEmpty())
        SettingsStore::Save(QStringLiteral("OAuthScopes"), scopes);
    idp->get(QStringLiteral("/configure"), QUrlQuery{{QStringLiteral("consent"), consent}});
    const int refreshedBefore = count(QStringLiteral("refreshed"));
    SimulatedBrowser browser(behaviour);
    auto form = load(QStringLiteral("user@example.test"), browser);
    QVERIFY(!form->Text2->isEnabled());
    QVERIFY(form->Text2->toolTip().contains(QLatin1String("AuthMethod=oauth2")));

    form->PushButton5->click();
    QCOMPARE(browser.opened(), clientId.isEmpty() ? 0 : 1);
    if (box.isEmpty()) {
        QVERIFY2(fixture->prompter.boxes.isEmpty(),
                 qPrintable(fixture->prompter.texts().join(u'|')));
        QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
        QVERIFY(form->statusText().startsWith(connected));
        QCOMPARE(count(QStringLiteral("refreshed")) - refreshedBefore, refreshes);
        return;
    }
    QCOMPARE(fixture->prompter.boxes.size(), 1);
    QVERIFY2(fixture->prompter.boxes.first().text.startsWith(box),
             qPrintable(fixture->prompter.texts().first()));
    QVERIFY2(fixture->prompter.boxes.first().detail.startsWith(detail),
             qPrintable(fixture->prompter.boxes.first().detail));
    QCOMPARE(count(QStringLiteral("refreshed")) - refreshedBefore, refreshes);
    QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
    QVERIFY(!form->oMail);
}

// Get All signs in anew without the browser, refreshing a token about to expire first; Disconnect
// without "Remember me" forgets the sign-in, so the next Connect opens the page again.
void OAuthSignInTest::retrievalReusesAndRefreshes() {
    // A token of 61 seconds is "about to expire" a second later.
    idp->get(QStringLiteral("/configure"),
             QUrlQuery{{QStringLiteral("access_lifetime"), QStringLiteral("61")}});
    SimulatedBrowser browser;
    auto form = load(QStringLiteral("user@example.test"), browser);
    form->PushButton5->click();
    QVERIFY2(fixture->prompter.boxes.isEmpty(), qPrintable(fixture->prompter.texts().join(u'|')));
    // No keyring here: the status says so, once.
    QCOMPARE(form->statusText(),
             connected + QStringLiteral(" No keyring is available: the "
                                        "sign-in is kept until Quentaril closes."));
    QTest::qWait(1200);

    const int refreshedBefore = count(QStringLiteral("refreshed"));
    form->Option3->setChecked(true);
    form->PushButton10_Click();
    QCOMPARE(fixture->prompter.texts(), QStringList{done});
    QVERIFY(form->ListView1->list().count() > 0);
    QCOMPARE(browser.opened(), 1);
    QCOMPARE(count(QStringLiteral("refreshed")) - refreshedBefore, 1);

    fixture->prompter.clear();
    form->Check1->setChecked(false);
    form->PushButton5->click(); // Disconnect
    form->Text1->setText(QStringLiteral("user@example.test"));
    form->PushButton5->click();
    QVERIFY2(fixture->prompter.boxes.isEmpty(), qPrintable(fixture->prompter.texts().join(u'|')));
    QCOMPARE(browser.opened(), 2);
    QCOMPARE(form->statusText(), connected);
}

void OAuthSignInTest::deviceCode_data() {
    QTest::addColumn<bool>("approve");
    QTest::newRow("approved") << true;
    QTest::newRow("cancelled") << false;
}

// The device-code box shows the code and the address; the sign-in ends when the code is approved,
// or Cancel ends it: the window is back at "1. Connect", with no box.
void OAuthSignInTest::deviceCode() {
    QFETCH(bool, approve);
    SettingsStore::Save(QStringLiteral("OAuthFlow"), QStringLiteral("device"));
    SimulatedBrowser browser;
    auto form = load(QStringLiteral("user@example.test"), browser);
    QString shownCode;
    // The box comes up inside Connect's wait: the user reads it, then approves or cancels.
    const QMetaObject::Connection watch =
        connect(&form->signIn(), &auth::SignIn::deviceCodeReady, this, [&] {
            QTimer::singleShot(0, this, [&] {
                DeviceCodeBox* box = form->deviceCodeBox();
                QVERIFY(box && box->isVisible());
                shownCode = box->userCode();
                QVERIFY(box->address().isValid());
                if (approve)
                    idp->approveDevice(shownCode);
                else
                    box->cancelButton()->click();
            });
        });

    form->PushButton5->click();
    disconnect(watch);
    QVERIFY(!shownCode.isEmpty());
    QCOMPARE(browser.opened(), 0);
    QTRY_VERIFY(!form->deviceCodeBox());
    if (approve) {
        QVERIFY2(fixture->prompter.boxes.isEmpty(),
                 qPrintable(fixture->prompter.texts().join(u'|')));
        QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
    } else {
        QVERIFY2(fixture->prompter.boxes.isEmpty(),
                 qPrintable(fixture->prompter.texts().join(u'|')));
        QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
        QVERIFY(!form->oMail);
    }
}

void OAuthSignInTest::browserBox_data() {
    QTest::addColumn<bool>("opens");     // the browser says it shows the page
    QTest::addColumn<QString>("action"); // what the user does in the browser box
    QTest::addColumn<bool>("connected"); // the end: "Disconnect", else "1. Connect"
    QTest::addColumn<int>("opened");     // how often the browser was asked
    QTest::addColumn<bool>("codeBox");   // the device-code box came
    QTest::newRow("no browser: a code instead") << false << QString() << true << 1 << true;
    QTest::newRow("browser does nothing: cancel") << true << "cancel" << false << 1 << false;
    QTest::newRow("address copied into a browser") << true << "copy" << true << 1 << false;
    QTest::newRow("opened again") << true << "open again" << true << 2 << false;
    QTest::newRow("a code instead") << true << "code" << true << 1 << true;
    QTest::newRow("window closed") << true << "close" << false << 1 << false;
}

// While the browser sign-in waits, its box shows the address at once and "1. Connect" is disabled.
// The browser here says it opens the page and shows nothing the first time; asked again, it signs
// in. A cancelled sign-in, and one the closing window ends, show no box at all.
void OAuthSignInTest::browserBox() {
    QFETCH(bool, opens);
    QFETCH(QString, action);
    QFETCH(bool, connected);
    QFETCH(int, opened);
    QFETCH(bool, codeBox);

    SimulatedBrowser real;
    const std::function<bool(const QUrl&)> follow = real.opener();
    int asked = 0;
    auto form = load(QStringLiteral("user@example.test"), [&](const QUrl& url) {
        ++asked;
        return opens && (asked == 1 || follow(url));
    });
    bool boxShown = false;
    bool codeShown = false;
    connect(&form->signIn(), &auth::SignIn::browserPageOpened, this, [&](const QUrl& address) {
        BrowserSignInBox* box = form->browserSignInBox();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->address(), address);
        QVERIFY(!form->PushButton5->isEnabled());
        boxShown = true;
        QTimer::singleShot(0, this, [&, box, address] {
            if (action == QLatin1String("cancel")) {
                box->cancelButton()->click();
            } else if (action == QLatin1String("copy")) {
                box->copyButton()->click();
                const QString copied = QGuiApplication::clipboard()->text();
                QCOMPARE(QUrl(copied), address);
                follow(QUrl(copied));
            } else if (action == QLatin1String("open again")) {
                box->openAgainButton()->click();
                QCOMPARE(box->note(),
                         QStringLiteral("The browser was asked to show the page again."));
            } else if (action == QLatin1String("code")) {
                box->useCodeButton()->click();
                QVERIFY(!form->browserSignInBox());
            } else if (action == QLatin1String("close")) {
                form->close();
                follow(address); // too late: nothing listens for the answer any more
            }
        });
    });
    connect(&form->signIn(), &auth::SignIn::deviceCodeReady, this, [&] {
        QTimer::singleShot(0, this, [&] {
            QVERIFY(!form->browserSignInBox());
            DeviceCodeBox* box = form->deviceCodeBox();
            QVERIFY(box && box->isVisible());
            codeShown = true;
            idp->approveDevice(box->userCode());
        });
    });

    form->PushButton5->click();
    QCOMPARE(boxShown, opens);
    QCOMPARE(codeShown, codeBox);
    QCOMPARE(asked, opened);
    QVERIFY2(fixture->prompter.boxes.isEmpty(), qPrintable(fixture->prompter.texts().join(u'|')));
    QCOMPARE(form->PushButton5->text(),
             connected ? QStringLiteral("Disconnect") : QStringLiteral("1. Connect"));
    QCOMPARE(bool(form->oMail), connected);
    QVERIFY(form->PushButton5->isEnabled());
    QTRY_VERIFY(!form->browserSignInBox() && !form->deviceCodeBox());
}

QTEST_MAIN(OAuthSignInTest)
#include "tst_oauthsignin.moc"
