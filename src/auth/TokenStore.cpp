#include "auth/TokenStore.h"

#include "base/NestedWait.h"

#include <QTimer>
#include <qt6keychain/keychain.h>

#include <memory>

namespace auth {

QString TokenStore::keyOf(const QString& user) {
    return user.trimmed().toLower();
}

TokenStore::TokenStore(const QString& service, QObject* parent)
    : QObject(parent), service_(service) {}

TokenStore::Outcome TokenStore::run(QKeychain::Job* job) {
    // The job may answer after the wait gave up: it then writes into this shared outcome only.
    struct Shared {
        Outcome outcome;
        bool done = false;
        QEventLoop* loop = nullptr;
    };
    auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    shared->loop = &loop;
    job->setAutoDelete(true);
    QObject::connect(job, &QKeychain::Job::finished, job, [shared](QKeychain::Job* finished) {
        shared->outcome.error = finished->error();
        shared->outcome.errorString = finished->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
            shared->outcome.text = read->textData();
        shared->done = true;
        if (shared->loop)
            shared->loop->quit();
    });
    bool timedOut = false;
    QTimer::singleShot(timeout_, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    job->start();
    waitUntil(loop, [&] { return shared->done || timedOut; });
    shared->loop = nullptr;
    if (!shared->done)
        return Outcome{-1, QStringLiteral("the keyring did not answer"), {}};
    return shared->outcome;
}

void TokenStore::failed(const Outcome& outcome) {
    if (keyringFailed_)
        return;
    keyringFailed_ = true;
    emit keyringMissing(outcome.errorString);
}

QString TokenStore::load(const QString& user) {
    const QString key = keyOf(user);
    if (session_.contains(key) || keyringFailed_)
        return session_.value(key);
    auto* job = new QKeychain::ReadPasswordJob(service_);
    job->setKey(key);
    const Outcome outcome = run(job);
    if (outcome.error == QKeychain::NoError && !outcome.text.isEmpty()) {
        session_.insert(key, outcome.text);
        return outcome.text;
    }
    if (outcome.error != QKeychain::NoError && outcome.error != QKeychain::EntryNotFound)
        failed(outcome);
    return {};
}

void TokenStore::save(const QString& user, const QString& token, bool remember) {
    const QString key = keyOf(user);
    session_.insert(key, token);
    if (!remember || keyringFailed_)
        return;
    auto* job = new QKeychain::WritePasswordJob(service_);
    job->setKey(key);
    job->setTextData(token);
    const Outcome outcome = run(job);
    if (outcome.error != QKeychain::NoError)
        failed(outcome);
}

void TokenStore::removeStored(const QString& user) {
    if (keyringFailed_)
        return;
    auto* job = new QKeychain::DeletePasswordJob(service_);
    job->setKey(keyOf(user));
    const Outcome outcome = run(job);
    if (outcome.error != QKeychain::NoError && outcome.error != QKeychain::EntryNotFound)
        failed(outcome);
}

void TokenStore::remove(const QString& user) {
    session_.remove(keyOf(user));
    removeStored(user);
}

} // namespace auth
