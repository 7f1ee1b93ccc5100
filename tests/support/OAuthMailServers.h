#pragma once

#include "IdentityProvider.h"
#include "MailServer.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// The identity-provider double and an OAuth2 Dovecot that checks bearer tokens against it. The
// process is left without a D-Bus session bus, so a sign-in lives in memory and a developer's own
// keyring stays untouched.
class OAuthMailServers {
public:
    OAuthMailServers();

    bool isRunning() const;
    QString errorText() const;
    IdentityProvider* idp() const { return idp_.get(); }
    MailServer* server() const { return server_.get(); }
    // Points the settings at these servers: their address and certificate, OAuth2 sign-in with
    // the double's authority and client id.
    void saveSettings() const;

private:
    QTemporaryDir noBus_;
    std::unique_ptr<IdentityProvider> idp_;
    std::unique_ptr<MailServer> server_;
};
