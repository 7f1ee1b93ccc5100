#include "auth/OAuthSettings.h"

#include "base/ServerSetting.h"
#include "base/SettingsStore.h"

namespace auth {

namespace {

QString lowered(const std::function<QString(const QString&)>& value, const QString& key) {
    return value(key).trimmed().toLower();
}

} // namespace

QString OAuthSettings::defaultAuthority() {
    return QStringLiteral("https://login.microsoftonline.com/consumers/oauth2/v2.0");
}

QString OAuthSettings::defaultScopes() {
    return QStringLiteral("https://outlook.office.com/IMAP.AccessAsUser.All offline_access");
}

QString OAuthSettings::builtInClientId() {
    return QStringLiteral(QUENTARIL_OAUTH_CLIENT_ID);
}

QUrl OAuthSettings::authorizeUrl() const {
    return QUrl(authority + QStringLiteral("/authorize"));
}

QUrl OAuthSettings::tokenUrl() const {
    return QUrl(authority + QStringLiteral("/token"));
}

QUrl OAuthSettings::deviceCodeUrl() const {
    return QUrl(authority + QStringLiteral("/devicecode"));
}

OAuthSettings OAuthSettings::read(const std::function<QString(const QString& key)>& value,
                                  bool defaultServer) {
    OAuthSettings s;
    const QString method = lowered(value, QStringLiteral("AuthMethod"));
    if (method == QLatin1String("oauth2"))
        s.method = AuthMethod::OAuth2;
    else if (method == QLatin1String("password"))
        s.method = AuthMethod::Password;
    else
        s.method = defaultServer ? AuthMethod::OAuth2 : AuthMethod::Password;

    s.authority = value(QStringLiteral("OAuthAuthority")).trimmed();
    while (s.authority.endsWith(QLatin1Char('/')))
        s.authority.chop(1);
    if (s.authority.isEmpty())
        s.authority = defaultAuthority();

    s.clientId = value(QStringLiteral("OAuthClientId")).trimmed();
    if (s.clientId.isEmpty())
        s.clientId = builtInClientId();

    s.scopes = value(QStringLiteral("OAuthScopes")).simplified();
    if (s.scopes.isEmpty())
        s.scopes = defaultScopes();

    s.redirectHost =
        lowered(value, QStringLiteral("OAuthRedirectHost")) == QLatin1String("localhost")
            ? QStringLiteral("localhost")
            : QStringLiteral("127.0.0.1");
    s.flow = lowered(value, QStringLiteral("OAuthFlow")) == QLatin1String("device")
                 ? InteractiveFlow::Device
                 : InteractiveFlow::Browser;
    return s;
}

OAuthSettings OAuthSettings::current() {
    return read([](const QString& key) { return SettingsStore::Read(key); },
                ServerSetting::current().host.compare(ServerSetting::defaultHost(),
                                                      Qt::CaseInsensitive) == 0);
}

} // namespace auth
