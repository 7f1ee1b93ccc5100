#include "app/Form1.h"

#include "app/BrowserSignInBox.h"
#include "app/DeviceCodeBox.h"
#include "auth/OAuthSettings.h"
#include "auth/SignIn.h"
#include "auth/TokenStore.h"
#include "base/Prompter.h"
#include "commands/OAuthTokenSource.h"
#include "mail/clsMailIMAP.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>

// OAuth2 sign-in of the window (AuthMethod=oauth2): Connect may open the sign-in page, the
// retrieval runs only reuse or refresh its tokens; "Remember me" decides whether the refresh token
// is kept in the keyring. While a sign-in waits, a box says where it goes on (the browser, or a
// code to enter elsewhere) and lets the user cancel it; a cancelled sign-in is no failed login.

namespace {

const QString noRegistration = QStringLiteral(
    "This build of Quentaril has no sign-in registration, so it cannot sign in to Outlook.com or "
    "Hotmail.\n\nRegister Quentaril once with the sign-in service as the README explains in "
    "\"Signing in to Outlook.com / Hotmail\", then put the client ID it gives you in the settings "
    "file as OAuthClientId.");

const QString passwordUnused =
    QStringLiteral("Not used: this account signs in through the browser (AuthMethod=oauth2). "
                   "Set AuthMethod=password in the settings file to sign in with a password.");

const QString noKeyring =
    QStringLiteral(" No keyring is available: the sign-in is kept until Quentaril closes.");

} // namespace

bool Form1::usesOAuth2() {
    return auth::OAuthSettings::current().method == auth::AuthMethod::OAuth2;
}

auth::SignIn& Form1::signIn() {
    if (!signIn_) {
        tokenStore_ = std::make_unique<auth::TokenStore>();
        connect(tokenStore_.get(), &auth::TokenStore::keyringMissing, this,
                [this] { keyringNotice_ = noKeyring; });
        signIn_ = std::make_unique<auth::SignIn>(auth::OAuthSettings::current(), *tokenStore_);
        connect(signIn_.get(), &auth::SignIn::browserPageOpened, this, &Form1::showBrowserSignIn);
        connect(signIn_.get(), &auth::SignIn::deviceCodeReady, this, &Form1::showDeviceCode);
        if (prepareSignIn)
            prepareSignIn(*signIn_);
    }
    return *signIn_;
}

bool Form1::connectSession(clsMailIMAP& session) {
    if (session.AuthMethod == AuthMode::OAuth2 && signIn().settings().clientId.isEmpty()) {
        showMessage(this, noRegistration, BoxIcon::Exclamation);
        return false;
    }
    const QScopedValueRollback<bool> interactive(signInInteractive_, true);
    if (session.AuthMethod != AuthMode::OAuth2)
        return session.Connect();
    // One sign-in at a time: a second click would find the session of the first.
    PushButton5->setEnabled(false);
    const auto enable = qScopeGuard([button = QPointer<QPushButton>(PushButton5)] {
        if (button)
            button->setEnabled(true);
    });
    return session.Connect();
}

AccessTokenSource Form1::tokenSource(const QString& user) {
    const QPointer<Form1> window(this);
    AccessTokenSource source = oauthTokenSource(signIn(), user, [window] {
        if (!window || window->closing_)
            return auth::Interaction::Forbidden;
        window->signIn().setRemember(window->Check1->isChecked());
        return window->signInInteractive_ ? auth::Interaction::Allowed
                                          : auth::Interaction::Forbidden;
    });
    return [window, source](TokenNeed need) -> AccessToken {
        AccessToken token = source(need);
        if (!window)
            return token;
        window->closeSignInBoxes();
        if (window->closing_)
            return AccessToken{QString(), QStringLiteral("the sign-in ended with its window"),
                               true};
        return token;
    };
}

void Form1::showBrowserSignIn(const QUrl& address) {
    closeSignInBoxes();
    browserBox_ = new BrowserSignInBox(address, this);
    BrowserSignInBox* box = browserBox_;
    connect(box, &BrowserSignInBox::cancelled, signIn_.get(), &auth::SignIn::cancel);
    connect(box, &BrowserSignInBox::openAgainRequested, this,
            [this, box] { box->pageOpenedAgain(signIn_->openPageAgain()); });
    // The box goes at once; the code box follows when the service has given a code.
    connect(box, &BrowserSignInBox::codeRequested, this, [this] {
        closeSignInBoxes();
        signIn_->useCodeInstead();
    });
    box->show();
}

BrowserSignInBox* Form1::browserSignInBox() const {
    return browserBox_;
}

// The service's own message says the same as the box, in its words: the box shows only the code
// and the address, large enough to copy from across the room.
void Form1::showDeviceCode(const QString& userCode, const QUrl& address) {
    closeSignInBoxes();
    deviceCodeBox_ = new DeviceCodeBox(userCode, address, this);
    connect(deviceCodeBox_, &DeviceCodeBox::cancelled, signIn_.get(), &auth::SignIn::cancel);
    deviceCodeBox_->show();
}

DeviceCodeBox* Form1::deviceCodeBox() const {
    return deviceCodeBox_;
}

void Form1::closeSignInBoxes() {
    for (QDialog* box :
         {static_cast<QDialog*>(browserBox_), static_cast<QDialog*>(deviceCodeBox_)}) {
        if (!box)
            continue;
        const QSignalBlocker quiet(box);
        box->accept();
        box->deleteLater();
    }
    browserBox_ = nullptr;
    deviceCodeBox_ = nullptr;
}

void Form1::applyAuthMethod() {
    const bool oauth2 = usesOAuth2();
    Text2->setEnabled(!oauth2);
    Text2->setToolTip(oauth2 ? passwordUnused : QString());
}

void Form1::forgetSignIn(bool signOut) {
    if (Text1->text().isEmpty() || !usesOAuth2())
        return;
    if (signOut)
        signIn().signOut(liveId());
    else
        signIn().store().removeStored(liveId());
}

QString Form1::takeKeyringNotice() {
    return std::exchange(keyringNotice_, QString());
}
