#pragma once

#include "auth/OAuthResult.h"
#include "auth/OAuthSettings.h"

#include <QDeadlineTimer>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

class QNetworkAccessManager;

namespace auth {

struct EndpointAnswer;

// The device-code grant: the service gives a short code and an address, the user enters the code
// there on any device, and the program polls until the sign-in is done. Never blocks;
// finished() comes exactly once after start().
class DeviceCodeFlow : public QObject {
    Q_OBJECT
public:
    DeviceCodeFlow(const OAuthSettings& settings, QNetworkAccessManager& network,
                   QObject* parent = nullptr);

    // What each slow_down answer adds to the polling interval (5 seconds, as the grant says).
    void setSlowDownStep(std::chrono::seconds step) { slowDownStep_ = step; }

    void start();
    void cancel();

signals:
    // Show these to the user (with a way to cancel) until finished().
    void codeReady(const QString& userCode, const QUrl& verificationUri, const QString& message);
    void finished(const auth::OAuthResult& result);

private:
    void codeAnswered(const EndpointAnswer& answer);
    void poll();
    void pollAnswered(const EndpointAnswer& answer);
    void finish(const OAuthResult& result);

    OAuthSettings settings_;
    QNetworkAccessManager& network_;
    std::chrono::seconds slowDownStep_{5};
    std::chrono::seconds interval_{5};
    QString deviceCode_;
    QDeadlineTimer deadline_;
    QTimer timer_;
    QPointer<QNetworkReply> reply_;
    bool running_ = false;
};

} // namespace auth
