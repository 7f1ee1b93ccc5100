#pragma once

#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <functional>

// Plays the user's browser for a sign-in: handed to the sign-in as its URL opener, it loads the
// sign-in page (the identity-provider double answers with a redirect at once) and follows the
// redirect back to the program's loopback listener, without blocking.
class SimulatedBrowser {
public:
    enum class Behaviour {
        Follow,          // load the page and follow the redirect
        WrongStateFirst, // first come back with a forged state, then follow the real redirect
        CloseThePage,    // open nothing: the user closed the page
    };

    explicit SimulatedBrowser(Behaviour behaviour = Behaviour::Follow) : behaviour_(behaviour) {}

    std::function<bool(const QUrl&)> opener();

    int opened() const { return opened_; }
    // The text of the last page the listener showed, and the HTTP status of each answer.
    QString lastPage() const { return lastPage_; }
    QList<int> statuses() const { return statuses_; }

private:
    void load(const QUrl& url, bool followRedirects, std::function<void(const QUrl&)> then);

    Behaviour behaviour_;
    QNetworkAccessManager network_;
    int opened_ = 0;
    QString lastPage_;
    QList<int> statuses_;
};
