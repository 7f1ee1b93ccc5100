#include "auth/SignIn.h"

#include "auth/DeviceCodeFlow.h"
#include "auth/TokenRequest.h"
#include "auth/TokenStore.h"
#include "base/NestedWait.h"

namespace auth {

namespace {

// Starts a flow and waits for its finished() in a nested event loop.
template <class Flow, class Start> OAuthResult run(Flow& flow, Start start) {
    OAuthResult result;
    bool done = false;
    QEventLoop loop;
    QObject::connect(&flow, &Flow::finished, &loop, [&](const OAuthResult& r) {
        result = r;
        done = true;
        loop.quit();
    });
    start();
    waitUntil(loop, [&] { return done; });
    return result;
}

} // namespace

SignIn::SignIn(const OAuthSettings& settings, TokenStore& store, QObject* parent)
    : QObject(parent), settings_(settings), store_(store) {}

OAuthResult SignIn::accessToken(const QString& user, Interaction interaction) {
    if (settings_.clientId.isEmpty())
        return OAuthResult::failure(OAuthError::NoClientId);
    const QString key = TokenStore::keyOf(user);
    const OAuthTokens current = tokens_.value(key);
    if (!current.needsRefresh())
        return OAuthResult::success(current);
    cancelled_ = false;

    const QString refreshToken =
        current.refreshToken.isEmpty() ? store_.load(user) : current.refreshToken;
    if (!refreshToken.isEmpty()) {
        const OAuthResult refreshed = refresh(refreshToken);
        if (refreshed.ok())
            return kept(user, refreshed);
        // Only a refused grant makes the refresh token worthless; after an outage or any other
        // failure it is kept, also in the keyring, for the next try.
        if (refreshed.error != OAuthError::InvalidGrant)
            return refreshed;
        tokens_.remove(key);
        store_.remove(user);
    }
    if (interaction == Interaction::Forbidden)
        return OAuthResult::failure(OAuthError::InteractionRequired);
    const OAuthResult signedIn = interactive(user);
    return signedIn.ok() ? kept(user, signedIn) : signedIn;
}

void SignIn::tokenRefused(const QString& user) {
    auto it = tokens_.find(TokenStore::keyOf(user));
    if (it != tokens_.end())
        it->accessToken.clear();
}

void SignIn::signOut(const QString& user) {
    tokens_.remove(TokenStore::keyOf(user));
    store_.remove(user);
}

void SignIn::cancel() {
    cancelled_ = true;
    if (cancelStep_)
        cancelStep_();
}

bool SignIn::openPageAgain() {
    return browserFlow_ && browserFlow_->openAgain();
}

void SignIn::useCodeInstead() {
    if (!browserFlow_)
        return;
    codeInstead_ = true;
    browserFlow_->cancel();
}

OAuthResult SignIn::refresh(const QString& refreshToken) {
    OAuthResult result;
    bool done = false;
    QEventLoop loop;
    const QPointer<QNetworkReply> reply =
        TokenRequest::refresh(network_, settings_.tokenUrl(), settings_.clientId, settings_.scopes,
                              refreshToken, &loop, [&](const OAuthResult& r) {
                                  result = r;
                                  done = true;
                                  loop.quit();
                              });
    cancelStep_ = [reply] {
        if (reply)
            reply->abort();
    };
    waitUntil(loop, [&] { return done; });
    cancelStep_ = nullptr;
    return cancelled_ ? OAuthResult::failure(OAuthError::Cancelled) : result;
}

// A cancel that came between two steps (while the keyring was read) ends the sign-in too.
OAuthResult SignIn::interactive(const QString& user) {
    if (cancelled_)
        return OAuthResult::failure(OAuthError::Cancelled);
    if (settings_.flow == InteractiveFlow::Device)
        return device();
    codeInstead_ = false;
    const OAuthResult result = browser(user);
    // No browser here (a remote session, a bare desktop), or the user asked for a code: the code
    // can be entered elsewhere.
    const bool toCode = result.error == OAuthError::BrowserNotOpened ||
                        (codeInstead_ && result.error == OAuthError::Cancelled);
    return toCode && !cancelled_ ? device() : result;
}

OAuthResult SignIn::browser(const QString& user) {
    AuthorizationCodeFlow flow(settings_, network_);
    flow.setOpener(opener_);
    flow.setTimeout(browserTimeout_);
    connect(&flow, &AuthorizationCodeFlow::pageOpened, this, &SignIn::browserPageOpened);
    cancelStep_ = [&flow] { flow.cancel(); };
    browserFlow_ = &flow;
    const OAuthResult result = run(flow, [&] { flow.start(user); });
    browserFlow_ = nullptr;
    cancelStep_ = nullptr;
    return result;
}

OAuthResult SignIn::device() {
    DeviceCodeFlow flow(settings_, network_);
    flow.setSlowDownStep(slowDownStep_);
    connect(&flow, &DeviceCodeFlow::codeReady, this, &SignIn::deviceCodeReady);
    cancelStep_ = [&flow] { flow.cancel(); };
    const OAuthResult result = run(flow, [&] { flow.start(); });
    cancelStep_ = nullptr;
    return result;
}

OAuthResult SignIn::kept(const QString& user, const OAuthResult& result) {
    tokens_.insert(TokenStore::keyOf(user), result.tokens);
    if (!result.tokens.refreshToken.isEmpty())
        store_.save(user, result.tokens.refreshToken, remember_);
    return result;
}

} // namespace auth
