#include "auth/DeviceCodeFlow.h"

#include "auth/TokenRequest.h"

#include <QJsonValue>

namespace auth {

namespace {

constexpr std::chrono::seconds kDefaultInterval{5};
constexpr std::chrono::minutes kDefaultLifetime{15};

std::chrono::seconds secondsOf(const QJsonValue& value, std::chrono::seconds fallback) {
    const qint64 n =
        value.isDouble() ? static_cast<qint64>(value.toDouble()) : value.toString().toLongLong();
    return n > 0 ? std::chrono::seconds(n) : fallback;
}

} // namespace

DeviceCodeFlow::DeviceCodeFlow(const OAuthSettings& settings, QNetworkAccessManager& network,
                               QObject* parent)
    : QObject(parent), settings_(settings), network_(network) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DeviceCodeFlow::poll);
}

void DeviceCodeFlow::start() {
    running_ = true;
    if (settings_.clientId.isEmpty()) {
        finish(OAuthResult::failure(OAuthError::NoClientId));
        return;
    }
    const TokenRequest::Form form{{QStringLiteral("client_id"), settings_.clientId},
                                  {QStringLiteral("scope"), settings_.scopes}};
    reply_ = TokenRequest::post(network_, settings_.deviceCodeUrl(), form, this,
                                [this](const EndpointAnswer& answer) { codeAnswered(answer); });
}

void DeviceCodeFlow::cancel() {
    finish(OAuthResult::failure(OAuthError::Cancelled));
}

void DeviceCodeFlow::codeAnswered(const EndpointAnswer& answer) {
    deviceCode_ = answer.json.value(QLatin1String("device_code")).toString();
    const QString userCode = answer.json.value(QLatin1String("user_code")).toString();
    if (!answer.networkText.isEmpty() || !answer.error.isEmpty() || deviceCode_.isEmpty() ||
        userCode.isEmpty()) {
        EndpointAnswer refused = answer;
        if (refused.networkText.isEmpty() && refused.error.isEmpty())
            refused.error = QStringLiteral("no device code in the answer");
        finish(TokenRequest::tokensFrom(refused));
        return;
    }
    interval_ = secondsOf(answer.json.value(QLatin1String("interval")), kDefaultInterval);
    deadline_.setRemainingTime(
        secondsOf(answer.json.value(QLatin1String("expires_in")), kDefaultLifetime));
    emit codeReady(userCode, QUrl(answer.json.value(QLatin1String("verification_uri")).toString()),
                   answer.json.value(QLatin1String("message")).toString());
    if (running_)
        timer_.start(interval_);
}

void DeviceCodeFlow::poll() {
    if (deadline_.hasExpired()) {
        finish(OAuthResult::failure(OAuthError::CodeExpired));
        return;
    }
    const TokenRequest::Form form{{QStringLiteral("client_id"), settings_.clientId},
                                  {QStringLiteral("grant_type"),
                                   QStringLiteral("urn:ietf:params:oauth:grant-type:device_code")},
                                  {QStringLiteral("device_code"), deviceCode_}};
    reply_ = TokenRequest::post(network_, settings_.tokenUrl(), form, this,
                                [this](const EndpointAnswer& answer) { pollAnswered(answer); });
}

void DeviceCodeFlow::pollAnswered(const EndpointAnswer& answer) {
    if (!running_)
        return;
    if (answer.error == QLatin1String("authorization_pending")) {
        timer_.start(interval_);
        return;
    }
    if (answer.error == QLatin1String("slow_down")) {
        interval_ += slowDownStep_;
        timer_.start(interval_);
        return;
    }
    finish(TokenRequest::tokensFrom(answer));
}

void DeviceCodeFlow::finish(const OAuthResult& result) {
    if (!running_)
        return;
    running_ = false;
    timer_.stop();
    if (reply_)
        reply_->abort();
    emit finished(result);
}

} // namespace auth
