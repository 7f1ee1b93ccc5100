#include "auth/TokenRequest.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace auth::TokenRequest {

namespace {

constexpr int kTransferTimeoutMs = 30000;

QString text(const QJsonObject& json, const char* key) {
    return json.value(QLatin1String(key)).toString();
}

// "expires_in" comes as a number or, from some services, as a string.
qint64 seconds(const QJsonValue& value) {
    if (value.isDouble())
        return static_cast<qint64>(value.toDouble());
    return value.toString().toLongLong();
}

QByteArray encoded(const Form& form) {
    QByteArray body;
    for (const auto& [name, value] : form) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

OAuthError classify(const QString& error) {
    if (error == QLatin1String("invalid_grant"))
        return OAuthError::InvalidGrant;
    if (error == QLatin1String("access_denied") || error == QLatin1String("authorization_declined"))
        return OAuthError::ConsentDeclined;
    if (error == QLatin1String("expired_token"))
        return OAuthError::CodeExpired;
    return OAuthError::ServiceError;
}

} // namespace

QPointer<QNetworkReply> post(QNetworkAccessManager& network, const QUrl& url, const Form& form,
                             QObject* context, std::function<void(const EndpointAnswer&)> done) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = network.post(request, encoded(form));
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, done = std::move(done)] {
        reply->deleteLater();
        EndpointAnswer answer;
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
        answer.json = document.object();
        answer.error = text(answer.json, "error");
        answer.description = text(answer.json, "error_description");
        // An HTTP error status with the service's JSON error is an answer, not a network fault.
        if (answer.json.isEmpty() && reply->error() != QNetworkReply::NoError)
            answer.networkText = reply->errorString();
        else if (answer.json.isEmpty())
            answer.networkText = QStringLiteral("the answer was not understood");
        done(answer);
    });
    return reply;
}

OAuthResult tokensFrom(const EndpointAnswer& answer, const QString& previousRefreshToken) {
    if (!answer.networkText.isEmpty()) {
        OAuthResult result = OAuthResult::failure(OAuthError::NetworkError);
        result.networkText = answer.networkText;
        return result;
    }
    if (!answer.error.isEmpty() || text(answer.json, "access_token").isEmpty()) {
        OAuthResult result = OAuthResult::failure(classify(answer.error));
        result.serviceError =
            answer.error.isEmpty() ? QStringLiteral("no access token in the answer") : answer.error;
        result.serviceDescription = answer.description;
        return result;
    }
    OAuthTokens tokens;
    tokens.accessToken = text(answer.json, "access_token");
    const qint64 lifetime = seconds(answer.json.value(QLatin1String("expires_in")));
    tokens.expiry = QDateTime::currentDateTimeUtc().addSecs(lifetime);
    tokens.refreshToken = text(answer.json, "refresh_token");
    if (tokens.refreshToken.isEmpty())
        tokens.refreshToken = previousRefreshToken;
    return OAuthResult::success(tokens);
}

QPointer<QNetworkReply> refresh(QNetworkAccessManager& network, const QUrl& tokenUrl,
                                const QString& clientId, const QString& scopes,
                                const QString& refreshToken, QObject* context,
                                std::function<void(const OAuthResult&)> done) {
    const Form form{{QStringLiteral("client_id"), clientId},
                    {QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                    {QStringLiteral("refresh_token"), refreshToken},
                    {QStringLiteral("scope"), scopes}};
    return post(network, tokenUrl, form, context,
                [refreshToken, done = std::move(done)](const EndpointAnswer& answer) {
                    done(tokensFrom(answer, refreshToken));
                });
}

} // namespace auth::TokenRequest
