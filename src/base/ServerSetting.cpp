#include "base/ServerSetting.h"

#include "base/SettingsStore.h"

#include <optional>

namespace ServerSetting {

QString defaultHost() {
    return QStringLiteral("outlook.office365.com");
}

namespace {

// A part of the setting as the problem text quotes it: a long one is cut.
QString quotedPart(const QString& text) {
    constexpr qsizetype longest = 20;
    return text.size() <= longest ? text : text.left(longest) + QStringLiteral("...");
}

ServerAddress unusable(const QString& setting, const QString& host, const QString& why) {
    return {host, 0,
            QStringLiteral("The \"Server\" setting \"%1\" cannot be used: %2")
                .arg(quotedPart(setting), why)};
}

} // namespace

ServerAddress parse(const QString& setting) {
    const QString text = setting.trimmed();
    if (text.isEmpty())
        return {defaultHost(), defaultPort, {}};

    QString host = text;
    std::optional<QString> portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return unusable(text, {},
                            QStringLiteral("the \"]\" after the IPv6 address is missing."));
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (rest.startsWith(QLatin1Char(':')))
            portText = rest.mid(1);
        else if (!rest.isEmpty())
            return unusable(text, host,
                            QStringLiteral("\"%1\" after the IPv6 address is not \":\" and a port.")
                                .arg(quotedPart(rest)));
    } else if (text.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        host = text.left(colon);
        portText = text.mid(colon + 1);
    }
    if (host.isEmpty())
        return unusable(text, host, QStringLiteral("it names no host."));
    if (!portText)
        return {host, defaultPort, {}};

    bool ok = false;
    const int port = portText->toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return unusable(text, host,
                        QStringLiteral("its port \"%1\" is not a number from 1 to 65535.")
                            .arg(quotedPart(*portText)));
    return {host, port, {}};
}

namespace {
std::function<void(const ServerAddress&)>& addressCheck() {
    static std::function<void(const ServerAddress&)> check;
    return check;
}
} // namespace

void setAddressCheck(std::function<void(const ServerAddress&)> check) {
    addressCheck() = std::move(check);
}

ServerAddress current() {
    return parse(SettingsStore::Read(QStringLiteral("Server")));
}

ServerAddress forSession() {
    const ServerAddress address = current();
    if (addressCheck())
        addressCheck()(address);
    return address;
}

} // namespace ServerSetting
