#include "IdentityProvider.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

namespace {

// The double ends itself after this long should a test leave it running.
constexpr int kTimeLimitSeconds = 600;

QByteArray fetch(const QUrl& url, bool& ok) {
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    ok = reply->error() == QNetworkReply::NoError;
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

} // namespace

QString IdentityProvider::script() {
    return QStringLiteral(QUENTARIL_SOURCE_DIR "/scripts/idp-double");
}

IdentityProvider::IdentityProvider() : clientId_(QStringLiteral("quentaril-test-client")) {
    const QStringList arguments{
        QStringLiteral("--time-limit"),     QString::number(kTimeLimitSeconds),
        QStringLiteral("--client-id"),      clientId_,
        QStringLiteral("--interval"),       QStringLiteral("1"),
        QStringLiteral("--slow-down-step"), QStringLiteral("1")};
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(script(), arguments);
    QByteArray out;
    while (process_.waitForReadyRead(10000)) {
        out += process_.readAllStandardOutput();
        if (out.contains('\n'))
            break;
    }
    const QByteArray line = out.trimmed();
    if (line.startsWith("port="))
        port_ = line.mid(5).toInt();
    else
        error_ = QStringLiteral("idp-double did not start: ") + QString::fromUtf8(out) +
                 process_.errorString();
}

IdentityProvider::~IdentityProvider() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString IdentityProvider::authority() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

QString IdentityProvider::introspectionUrl() const {
    return authority() + QStringLiteral("/introspect");
}

QJsonObject IdentityProvider::get(const QString& path, const QUrlQuery& query) const {
    QUrl url(authority() + path);
    url.setQuery(query);
    bool ok = false;
    return QJsonDocument::fromJson(fetch(url, ok)).object();
}

QString IdentityProvider::mint(const QString& user, int lifetime) const {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("user"), user);
    query.addQueryItem(QStringLiteral("lifetime"), QString::number(lifetime));
    return get(QStringLiteral("/mint"), query).value(QStringLiteral("access_token")).toString();
}

bool IdentityProvider::approveDevice(const QString& userCode, bool decline) const {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("user_code"), userCode);
    if (decline)
        query.addQueryItem(QStringLiteral("deny"), QStringLiteral("1"));
    QUrl url(authority() + QStringLiteral("/device"));
    url.setQuery(query);
    bool ok = false;
    fetch(url, ok);
    return ok;
}

int IdentityProvider::count(const QString& name) const {
    return get(QStringLiteral("/stats")).value(name).toInt();
}
