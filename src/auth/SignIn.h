#pragma once

#include "auth/AuthorizationCodeFlow.h"
#include "auth/OAuthResult.h"
#include "auth/OAuthSettings.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

namespace auth {

class TokenStore;

enum class Interaction {
    Allowed,  // may open the sign-in page (Connect)
    Forbidden // silent refresh only (retrieval runs that sign in anew)
};

// Gives the window a valid access token for a user: the session's while it lasts, else one from
// the refresh token (the session's or the keyring's), else, when allowed, from a new sign-in in
// the browser (or with a device code, by setting or when no browser opens). A rotated refresh
// token replaces the old one in the store. One request at a time.
class SignIn : public QObject {
    Q_OBJECT
public:
    SignIn(const OAuthSettings& settings, TokenStore& store, QObject* parent = nullptr);

    const OAuthSettings& settings() const { return settings_; }
    TokenStore& store() { return store_; }

    // Whether refresh tokens go to the keyring ("Remember me"); off: this session only.
    void setRemember(bool remember) { remember_ = remember; }
    void setOpener(UrlOpener opener) { opener_ = std::move(opener); }
    void setBrowserTimeout(std::chrono::milliseconds timeout) { browserTimeout_ = timeout; }
    void setSlowDownStep(std::chrono::seconds step) { slowDownStep_ = step; }

    // Waits in a nested event loop (the window stays responsive; cancel() ends the wait).
    OAuthResult accessToken(const QString& user, Interaction interaction = Interaction::Allowed);
    // The server refused the access token: the next accessToken() refreshes it.
    void tokenRefused(const QString& user);
    // Forgets the user's tokens in the session and in the keyring.
    void signOut(const QString& user);

public slots:
    void cancel();
    // While the browser sign-in waits: shows its page once more (false when the browser did not
    // open), or leaves it for a device-code sign-in.
    bool openPageAgain();
    void useCodeInstead();

signals:
    // The browser was asked to show the sign-in page: show its address with a way to copy it, to
    // open it again, to use a code instead and to cancel, until accessToken() returns or a device
    // code is ready.
    void browserPageOpened(const QUrl& address);
    // The device-code sign-in waits for the user: show the code and the address with a Cancel
    // button until accessToken() returns.
    void deviceCodeReady(const QString& userCode, const QUrl& verificationUri,
                         const QString& message);

private:
    OAuthResult refresh(const QString& refreshToken);
    OAuthResult interactive(const QString& user);
    OAuthResult browser(const QString& user);
    OAuthResult device();
    OAuthResult kept(const QString& user, const OAuthResult& result);

    OAuthSettings settings_;
    TokenStore& store_;
    QNetworkAccessManager network_;
    QHash<QString, OAuthTokens> tokens_;
    UrlOpener opener_ = AuthorizationCodeFlow::systemBrowser();
    std::chrono::milliseconds browserTimeout_ = std::chrono::minutes(5);
    std::chrono::seconds slowDownStep_{5};
    bool remember_ = false;
    bool cancelled_ = false;
    bool codeInstead_ = false;
    std::function<void()> cancelStep_;
    QPointer<AuthorizationCodeFlow> browserFlow_;
};

} // namespace auth
