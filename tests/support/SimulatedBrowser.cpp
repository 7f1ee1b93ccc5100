#include "SimulatedBrowser.h"

#include <QNetworkReply>
#include <QUrlQuery>

std::function<bool(const QUrl&)> SimulatedBrowser::opener() {
    return [this](const QUrl& url) {
        ++opened_;
        switch (behaviour_) {
        case Behaviour::CloseThePage:
            return true;
        case Behaviour::Follow:
            load(url, true, nullptr);
            return true;
        case Behaviour::WrongStateFirst:
            // Stop at the redirect, go back with the state changed, then follow it as it is.
            load(url, false, [this](const QUrl& redirect) {
                QUrlQuery query(redirect);
                query.removeAllQueryItems(QStringLiteral("state"));
                query.addQueryItem(QStringLiteral("state"), QStringLiteral("forged"));
                QUrl forged = redirect;
                forged.setQuery(query);
                load(forged, false,
                     [this, redirect](const QUrl&) { load(redirect, false, nullptr); });
            });
            return true;
        }
        return false;
    };
}

void SimulatedBrowser::load(const QUrl& url, bool followRedirects,
                            std::function<void(const QUrl&)> then) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         followRedirects ? QNetworkRequest::NoLessSafeRedirectPolicy
                                         : QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = network_.get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, then] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl location =
            reply->url().resolved(reply->header(QNetworkRequest::LocationHeader).toUrl());
        if (status != 302) {
            statuses_.append(status);
            lastPage_ = QString::fromUtf8(reply->readAll());
        }
        if (then)
            then(location);
    });
}
