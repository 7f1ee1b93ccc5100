#include "OAuthMailServers.h"

#include "base/SettingsStore.h"

OAuthMailServers::OAuthMailServers() {
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            QByteArray("unix:path=") + noBus_.filePath(QStringLiteral("no-bus")).toUtf8());
    idp_ = std::make_unique<IdentityProvider>();
    if (!idp_->isRunning())
        return;
    MailServer::Options options;
    options.oauth2Introspection = idp_->introspectionUrl();
    server_ = std::make_unique<MailServer>(options);
}

bool OAuthMailServers::isRunning() const {
    return server_ && server_->isRunning();
}

void OAuthMailServers::saveSettings() const {
    SettingsStore::Save(QStringLiteral("Server"),
                        server_->host() + u':' + QString::number(server_->port()));
    SettingsStore::Save(QStringLiteral("TrustedCertificates"), server_->caFile());
    SettingsStore::Save(QStringLiteral("AuthMethod"), QStringLiteral("oauth2"));
    SettingsStore::Save(QStringLiteral("OAuthAuthority"), idp_->authority());
    SettingsStore::Save(QStringLiteral("OAuthClientId"), idp_->clientId());
}

QString OAuthMailServers::errorText() const {
    return server_ ? server_->errorText() : idp_->errorText();
}
