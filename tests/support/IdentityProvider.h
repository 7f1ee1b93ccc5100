#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QUrlQuery>

// The local identity-provider double (scripts/idp-double) on a free loopback port for the life of
// this object: the sign-in service's authorize, token and device-code endpoints, and the token
// introspection an OAuth2 Dovecot asks (MailServer::Options::oauth2Introspection).
class IdentityProvider {
public:
    // Polls of device codes a second apart, and each slow_down adding a second, so tests are
    // quick; everything else as the double's defaults (tests change them through "/configure").
    IdentityProvider();
    ~IdentityProvider();
    IdentityProvider(const IdentityProvider&) = delete;
    IdentityProvider& operator=(const IdentityProvider&) = delete;

    bool isRunning() const { return port_ > 0; }
    QString errorText() const { return error_; }
    int port() const { return port_; }
    QString clientId() const { return clientId_; }
    // The base the endpoints hang off ("<authority>/token"), as the OAuthAuthority setting takes
    // it.
    QString authority() const;
    QString introspectionUrl() const;

    // A GET on the double (a test hook such as "/stats" or "/device"), answered as JSON; empty
    // when it failed.
    QJsonObject get(const QString& path, const QUrlQuery& query = {}) const;
    // An access token for user issued directly (lifetime in seconds; negative: already expired).
    QString mint(const QString& user, int lifetime = 3600) const;
    // Approves (or declines) the device code the user was shown.
    bool approveDevice(const QString& userCode, bool decline = false) const;
    // How often the double was asked something, by name ("refreshed", "slow_down", ...).
    int count(const QString& name) const;

    static QString script();

private:
    QProcess process_;
    int port_ = 0;
    QString clientId_;
    QString error_;
};
