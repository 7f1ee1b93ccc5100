#include "base/ServerSetting.h"

#include "base/SettingsStore.h"

namespace ServerSetting {

QString defaultHost() {
    return QStringLiteral("outlook.office365.com");
}

ServerAddress parse(const QString& setting) {
    const QString text = setting.trimmed();
    if (text.isEmpty())
        return {defaultHost(), defaultPort};

    QString host = text;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close > 0) {
            host = text.mid(1, close - 1);
            const QString rest = text.mid(close + 1);
            if (rest.startsWith(QLatin1Char(':')))
                portText = rest.mid(1);
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        host = text.left(colon);
        portText = text.mid(colon + 1);
    }

    bool ok = false;
    const int port = portText.toInt(&ok);
    const bool portValid = ok && port > 0 && port <= 65535;
    return {host.isEmpty() ? defaultHost() : host, portValid ? port : defaultPort};
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
