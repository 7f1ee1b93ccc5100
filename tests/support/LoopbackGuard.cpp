// Linked into every test: a test whose settings would send a session anywhere but loopback (the
// default host when no Server is set, above all) fails at once, before any name is looked up.
#include "base/ServerSetting.h"

#include <QtGlobal>

#include <arpa/inet.h>

namespace {

bool isLoopback(const QString& host) {
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6);
    return host == QLatin1String("localhost");
}

const bool installed = [] {
    ServerSetting::setAddressCheck([](const ServerAddress& address) {
        if (address.problem.isEmpty() && !isLoopback(address.host))
            qFatal("A test is about to connect to %s: point its Server setting at loopback",
                   qPrintable(address.host));
    });
    return true;
}();

} // namespace
