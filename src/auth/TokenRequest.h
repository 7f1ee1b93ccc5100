#pragma once

#include "auth/OAuthResult.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QObject;

namespace auth {

// The answer of one of the service's endpoints to a form POST.
struct EndpointAnswer {
    QJsonObject json;    // the body, when it was a JSON object
    QString error;       // its "error" field
    QString description; // its "error_description" field
    QString networkText; // set when no usable answer arrived
};

namespace TokenRequest {

// Form fields in order; each name and value is sent percent-encoded, so "+", "%" and "&" in a
// token arrive as they are.
using Form = QList<QPair<QString, QString>>;

// Posts form to url without blocking; done runs in context's thread once the answer is in (not at
// all should context go first). Aborting the returned reply ends the wait with a network error.
QPointer<QNetworkReply> post(QNetworkAccessManager& network, const QUrl& url, const Form& form,
                             QObject* context, std::function<void(const EndpointAnswer&)> done);

// The tokens of a token endpoint's answer, or its failure classified. A refresh answer without a
// refresh token keeps previousRefreshToken.
OAuthResult tokensFrom(const EndpointAnswer& answer, const QString& previousRefreshToken = {});

// The refresh-token grant: a new access token (and, when the service rotates, a new refresh token).
QPointer<QNetworkReply> refresh(QNetworkAccessManager& network, const QUrl& tokenUrl,
                                const QString& clientId, const QString& scopes,
                                const QString& refreshToken, QObject* context,
                                std::function<void(const OAuthResult&)> done);

} // namespace TokenRequest

} // namespace auth
