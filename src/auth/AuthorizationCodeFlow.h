#pragma once

#include "auth/OAuthResult.h"
#include "auth/OAuthSettings.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkAccessManager;

namespace auth {

class LoopbackRedirect;

// Shows a URL to the user in a browser; false when it could not.
using UrlOpener = std::function<bool(const QUrl&)>;

// The authorization-code grant with PKCE (S256): the sign-in page opens in the browser, the
// service sends the browser back to a loopback listener with a code, and the code is traded
// for tokens. Never blocks; finished() comes exactly once after start().
class AuthorizationCodeFlow : public QObject {
    Q_OBJECT
public:
    AuthorizationCodeFlow(const OAuthSettings& settings, QNetworkAccessManager& network,
                          QObject* parent = nullptr);

    // The system's browser (QDesktopServices::openUrl).
    static UrlOpener systemBrowser();
    void setOpener(UrlOpener opener) { opener_ = std::move(opener); }
    // How long the browser may take before the page counts as closed (5 minutes).
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

    // loginHint (the user name) fills in the page's account field.
    void start(const QString& loginHint);
    void cancel();
    // Asks the browser once more to show the sign-in page, while the flow waits for it, and starts
    // the time allowed anew; false when it could not (or the flow no longer waits for the page).
    bool openAgain();

signals:
    // The browser was asked to show this sign-in page and said it would.
    void pageOpened(const QUrl& address);
    void finished(const auth::OAuthResult& result);

private:
    void redirected(const QUrlQuery& query);
    void finish(const OAuthResult& result);

    OAuthSettings settings_;
    QNetworkAccessManager& network_;
    UrlOpener opener_;
    std::chrono::milliseconds timeout_ = std::chrono::minutes(5);
    LoopbackRedirect* redirect_ = nullptr;
    QTimer timer_;
    QPointer<QNetworkReply> reply_;
    QUrl address_;
    QString verifier_;
    bool running_ = false;
};

} // namespace auth
