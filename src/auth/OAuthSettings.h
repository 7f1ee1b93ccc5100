#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace auth {

enum class AuthMethod { Password, OAuth2 };
enum class InteractiveFlow { Browser, Device };

// How the program signs in, from the settings section that holds "Server":
//   AuthMethod        "oauth2" | "password" (missing: oauth2 for the mail service's own server)
//   OAuthAuthority    base of the endpoints <authority>/authorize, /token and /devicecode
//   OAuthClientId     this build's registration (missing: the build's QUENTARIL_OAUTH_CLIENT_ID)
//   OAuthScopes       space-separated scopes asked for
//   OAuthRedirectHost "127.0.0.1" | "localhost" (then both IPv4 and IPv6 loopback are listened on)
//   OAuthFlow         "browser" | "device"
struct OAuthSettings {
    AuthMethod method = AuthMethod::OAuth2;
    QString authority;
    QString clientId;
    QString scopes;
    QString redirectHost;
    InteractiveFlow flow = InteractiveFlow::Browser;

    QUrl authorizeUrl() const;
    QUrl tokenUrl() const;
    QUrl deviceCodeUrl() const;

    static QString defaultAuthority();
    static QString defaultScopes();
    static QString builtInClientId();

    // value(key) gives the stored text of a key, empty when missing; defaultServer tells whether
    // the configured server is the mail service's own.
    static OAuthSettings read(const std::function<QString(const QString& key)>& value,
                              bool defaultServer);
    // The stored settings, for the stored "Server".
    static OAuthSettings current();
};

} // namespace auth
