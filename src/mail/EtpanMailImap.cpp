#include "mail/EtpanMailImap.h"

#include "mail/EtpanWorker.h"
#include "mail/MimeParser.h"
#include "mail/ModifiedUtf7.h"

#include <QEventLoop>
#include <QTimer>

namespace {
constexpr int abortPollMs = 50;
}

struct EtpanMailImap::Pending {
    QEventLoop loop;
    bool done = false;
};

EtpanMailImap::EtpanMailImap() {
    worker_ = new EtpanWorker([this](quint64 callId, int percent) {
        // Called in the worker thread: hand the report to the window's thread.
        QMetaObject::invokeMethod(
            this, [this, callId, percent] { progressed(callId, percent); }, Qt::QueuedConnection);
    });
    thread_.setObjectName(QStringLiteral("imap"));
    worker_->moveToThread(&thread_);
    thread_.start();
}

EtpanMailImap::~EtpanMailImap() {
    worker_->cancel();
    EtpanWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

template <class Result> Result EtpanMailImap::call(std::function<Result(EtpanWorker&)> job) {
    const quint64 callId = ++lastCallId_;
    Pending pending;
    pending_.insert(callId, &pending);

    // The worker writes these before it reports the call finished; this thread reads them after.
    Result result{};
    QString error;
    EtpanWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker,
        [this, worker, callId, &job, &result, &error] {
            worker->beginCall(callId);
            result = job(*worker);
            error = worker->lastError();
            QMetaObject::invokeMethod(
                this, [this, callId] { finished(callId); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);

    QTimer poll;
    poll.setInterval(abortPollMs);
    connect(&poll, &QTimer::timeout, this, [this, worker, &pending] {
        if (pending.done)
            return;
        qint32 abort = 0;
        emit AbortCheck(abort);
        if (abort != 0)
            worker->cancel();
    });
    poll.start();
    // A handler may start another call of this component inside the wait; each call waits for
    // its own end, so the outer one returns after the inner one.
    while (!pending.done)
        pending.loop.exec();
    pending_.remove(callId);
    lastError_ = error;
    return result;
}

void EtpanMailImap::finished(quint64 callId) {
    if (Pending* pending = pending_.value(callId)) {
        pending->done = true;
        pending->loop.quit();
    }
}

void EtpanMailImap::progressed(quint64 callId, int percent) {
    if (pending_.contains(callId))
        emit PercentDone(percent);
}

qint32 EtpanMailImap::Connect(const QString& host) {
    const EtpanWorker::Endpoint endpoint{host, port_, ssl_, trustedCertificates_};
    return call<bool>([endpoint](EtpanWorker& w) { return w.open(endpoint); }) ? 1 : 0;
}

QString EtpanMailImap::SendRawCommand(const QString& command) {
    const QByteArray line = command.toUtf8();
    return call<QString>([line](EtpanWorker& w) { return w.command(line); });
}

qint32 EtpanMailImap::Login(const QString& user, const QString& password) {
    return call<bool>([user, password](EtpanWorker& w) { return w.login(user, password); }) ? 1 : 0;
}

qint32 EtpanMailImap::SelectMailbox(const QString& folder) {
    const QByteArray name = ModifiedUtf7::encode(folder);
    return call<bool>([name](EtpanWorker& w) { return w.examine(name); }) ? 1 : 0;
}

qint32 EtpanMailImap::MessageCount() {
    return call<qint32>([](EtpanWorker& w) { return w.exists(); });
}

std::unique_ptr<EmailObject> EtpanMailImap::FetchMessage(qint32 sequenceNumber, qint32) {
    if (sequenceNumber < 1) {
        lastError_ = QStringLiteral("FETCH %1 failed: no such message").arg(sequenceNumber);
        return nullptr;
    }
    const auto number = quint32(sequenceNumber);
    const auto fetched = call<std::optional<EtpanWorker::Fetched>>(
        [number](EtpanWorker& w) { return w.fetch(number); });
    if (!fetched)
        return nullptr;
    return std::make_unique<EmailObject>(parseEmail(fetched->raw, fetched->internalDate));
}

std::optional<QStringList> EtpanMailImap::ListMailboxes(const QString& reference,
                                                        const QString& pattern) {
    const QByteArray ref = ModifiedUtf7::encode(reference);
    const QByteArray pat = ModifiedUtf7::encode(pattern);
    const auto names = call<std::optional<QList<QByteArray>>>(
        [ref, pat](EtpanWorker& w) { return w.list(ref, pat); });
    if (!names)
        return std::nullopt;
    QStringList display;
    for (const QByteArray& name : *names)
        display.append(ModifiedUtf7::decode(name));
    return display;
}

qint32 EtpanMailImap::Disconnect() {
    return call<bool>([](EtpanWorker& w) { return w.logout(); }) ? 1 : 0;
}

std::unique_ptr<MailImap> createMailImap() {
    return std::make_unique<EtpanMailImap>();
}
