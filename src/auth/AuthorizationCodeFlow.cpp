#include "auth/AuthorizationCodeFlow.h"

#include "auth/LoopbackRedirect.h"
#include "auth/Pkce.h"
#include "auth/TokenRequest.h"

#include <QDesktopServices>
#include <QUrlQuery>

namespace auth {

AuthorizationCodeFlow::AuthorizationCodeFlow(const OAuthSettings& settings,
                                             QNetworkAccessManager& network, QObject* parent)
    : QObject(parent), settings_(settings), network_(network), opener_(systemBrowser()) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this,
            [this] { finish(OAuthResult::failure(OAuthError::PageClosed)); });
}

UrlOpener AuthorizationCodeFlow::systemBrowser() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void AuthorizationCodeFlow::start(const QString& loginHint) {
    running_ = true;
    if (settings_.clientId.isEmpty()) {
        finish(OAuthResult::failure(OAuthError::NoClientId));
        return;
    }
    redirect_ = new LoopbackRedirect(this);
    if (!redirect_->listen(settings_.redirectHost)) {
        finish(OAuthResult::failure(OAuthError::ListenFailed));
        return;
    }
    verifier_ = Pkce::verifier();
    const QString state = Pkce::state();
    redirect_->setExpectedState(state);
    connect(redirect_, &LoopbackRedirect::answered, this, &AuthorizationCodeFlow::redirected);

    QUrlQuery query;
    query.addQueryItem(QStringLiteral("client_id"), settings_.clientId);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("redirect_uri"), redirect_->redirectUri());
    query.addQueryItem(QStringLiteral("response_mode"), QStringLiteral("query"));
    query.addQueryItem(QStringLiteral("scope"), settings_.scopes);
    query.addQueryItem(QStringLiteral("state"), state);
    query.addQueryItem(QStringLiteral("code_challenge"), Pkce::challenge(verifier_));
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    if (!loginHint.isEmpty())
        query.addQueryItem(QStringLiteral("login_hint"), loginHint);
    address_ = settings_.authorizeUrl();
    address_.setQuery(query);

    timer_.start(timeout_);
    if (!opener_(address_))
        finish(OAuthResult::failure(OAuthError::BrowserNotOpened));
    else if (running_)
        emit pageOpened(address_);
}

void AuthorizationCodeFlow::cancel() {
    finish(OAuthResult::failure(OAuthError::Cancelled));
}

// The user gets the whole time again from the moment the page opens anew.
bool AuthorizationCodeFlow::openAgain() {
    if (!running_ || reply_ || !opener_(address_))
        return false;
    timer_.start(timeout_);
    return true;
}

void AuthorizationCodeFlow::redirected(const QUrlQuery& query) {
    if (!running_ || reply_)
        return;
    redirect_->close();
    timer_.stop();
    const QString error = query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
    if (!error.isEmpty()) {
        EndpointAnswer answer;
        answer.error = error;
        answer.description =
            query.queryItemValue(QStringLiteral("error_description"), QUrl::FullyDecoded);
        finish(TokenRequest::tokensFrom(answer));
        return;
    }
    const TokenRequest::Form form{
        {QStringLiteral("client_id"), settings_.clientId},
        {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
        {QStringLiteral("code"), query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded)},
        {QStringLiteral("redirect_uri"), redirect_->redirectUri()},
        {QStringLiteral("code_verifier"), verifier_},
        {QStringLiteral("scope"), settings_.scopes}};
    reply_ = TokenRequest::post(
        network_, settings_.tokenUrl(), form, this,
        [this](const EndpointAnswer& answer) { finish(TokenRequest::tokensFrom(answer)); });
}

void AuthorizationCodeFlow::finish(const OAuthResult& result) {
    if (!running_)
        return;
    running_ = false;
    timer_.stop();
    if (redirect_)
        redirect_->close();
    if (reply_)
        reply_->abort();
    emit finished(result);
}

} // namespace auth
