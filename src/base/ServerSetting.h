#pragma once

#include <QString>

#include <functional>

// The IMAP server the sessions connect to: the "Server" setting, "host" or "host:port" (an IPv6
// address in brackets), by default the mail service's host on the IMAPS port. A setting that
// cannot work is never replaced by the default: problem says which part of it is wrong.
struct ServerAddress {
    QString host;
    qint32 port = 993;
    QString problem; // "" when the setting can be used
};

namespace ServerSetting {

inline constexpr qint32 defaultPort = 993;
QString defaultHost();

ServerAddress parse(const QString& setting);
// The address from the stored setting.
ServerAddress current();
// The same, for a session about to connect to it: it passes the address check first.
ServerAddress forSession();

// Sees every address a session is about to be given; the tests install one that fails any test
// about to leave the machine.
void setAddressCheck(std::function<void(const ServerAddress&)> check);

} // namespace ServerSetting
