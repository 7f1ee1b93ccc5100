#include "mail/EtpanMailImap.h"

#include "base/NestedWait.h"
#include "mail/EtpanWorker.h"
#include "mail/FetchAheadBuffer.h"
#include "mail/MimeParser.h"
#include "mail/ModifiedUtf7.h"
#include "mail/SpareConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <limits>

namespace {
constexpr int abortPollMs = 50;
// How long a message fetched ahead may still take to arrive after an abort: short enough that a
// Stop shows its end within a second even when the message never comes.
constexpr qint64 abortGraceMs = 300;

// A fetched message's last-error text, which the error log records: what its reading had to guess.
QString readingNote(quint32 number, const EmailObject& email) {
    return email.ReadingNote.isEmpty()
               ? QString()
               : QStringLiteral("FETCH %1: %2").arg(number).arg(email.ReadingNote);
}

} // namespace

struct EtpanMailImap::Pending {
    QEventLoop loop;
    bool done = false;
};

EtpanMailImap::EtpanMailImap() {
    worker_ = new EtpanWorker([this](quint64 callId, int percent) {
        // Called in the worker thread: hand the report to the window's thread.
        if (callId != awaitedCallId_.load(std::memory_order_relaxed))
            return;
        QMetaObject::invokeMethod(
            this, [this, callId, percent] { progressed(callId, percent); }, Qt::QueuedConnection);
    });
    thread_.setObjectName(QStringLiteral("imap"));
    worker_->moveToThread(&thread_);
    thread_.start();
}

EtpanMailImap::~EtpanMailImap() {
    dropPlan();
    worker_->cancel();
    EtpanWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

template <class Result> Result EtpanMailImap::call(std::function<Result(EtpanWorker&)> job) {
    // Anything else on the connection ends fetching ahead; the worker finishes the commands in
    // flight before it takes this request.
    dropPlan();
    const quint64 callId = ++lastCallId_;
    Pending pending;
    pending_.insert(callId, &pending);
    const quint64 outerAwaited = awaitedCallId_.exchange(callId);

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
    waitUntil(pending.loop, [&pending] { return pending.done; });
    awaitedCallId_ = outerAwaited;
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
    else if (aheadWait_ && callId == aheadCallId_)
        reportAheadProgress(percent, false);
}

// The reports of the work fetching ahead: at most every EtpanWorker::aheadProgressMs, besides
// those that must be seen, such as the last message's.
void EtpanMailImap::reportAheadProgress(int percent, bool always) {
    if (!always && sinceProgress_.isValid() &&
        !sinceProgress_.hasExpired(EtpanWorker::aheadProgressMs))
        return;
    sinceProgress_.start();
    emit PercentDone(percent);
}

qint32 EtpanMailImap::Connect(const QString& host) {
    const EtpanWorker::Endpoint endpoint{host, port_, ssl_, trustedCertificates_};
    std::shared_ptr<SpareConnection> spare = std::exchange(spare_, nullptr);
    return call<bool>([endpoint, spare](EtpanWorker& w) { return w.open(endpoint, spare); }) ? 1
                                                                                             : 0;
}

void EtpanMailImap::PrepareConnection(const QString& host) {
    spare_ = std::make_shared<SpareConnection>(
        EtpanWorker::Endpoint{host, port_, ssl_, trustedCertificates_});
}

QString EtpanMailImap::SendRawCommand(const QString& command) {
    const QByteArray line = command.toUtf8();
    return call<QString>([line](EtpanWorker& w) { return w.command(line); });
}

qint32 EtpanMailImap::Login(const QString& user, const QString& password) {
    return call<bool>([user, password](EtpanWorker& w) { return w.login(user, password); }) ? 1 : 0;
}

XOAuth2Result EtpanMailImap::AuthenticateXOAuth2(const QString& user, const QString& accessToken) {
    return call<XOAuth2Result>(
        [user, accessToken](EtpanWorker& w) { return w.authenticateXOAuth2(user, accessToken); });
}

bool EtpanMailImap::IsConnected() const {
    return worker_->isConnected();
}

qint32 EtpanMailImap::SelectMailbox(const QString& folder) {
    const QByteArray name = ModifiedUtf7::encode(folder);
    const auto selected = call<std::optional<std::pair<qint32, quint32>>>([name](EtpanWorker& w) {
        return w.examine(name) ? std::optional(std::pair(w.exists(), w.uidValidity()))
                               : std::nullopt;
    });
    selectedCount_ = selected ? qMax(selected->first, 0) : 0;
    uidValidity_ = selected ? selected->second : 0;
    return selected ? 1 : 0;
}

std::optional<QList<MessageUid>> EtpanMailImap::MessageUids() {
    return call<std::optional<QList<MessageUid>>>([](EtpanWorker& w) { return w.uids(); });
}

qint32 EtpanMailImap::MessageCount() {
    return call<qint32>([](EtpanWorker& w) { return w.exists(); });
}

std::unique_ptr<EmailObject> EtpanMailImap::FetchMessage(qint32 sequenceNumber, qint32 flags) {
    std::unique_ptr<EmailObject> email = fetchOne(sequenceNumber, flags);
    const quint32 refused = email ? 0 : worker_->refusedForSize();
    refusedForSize_ = refused <= quint32(std::numeric_limits<qint32>::max()) ? qint32(refused) : 0;
    return email;
}

qint32 EtpanMailImap::MessageRefusedForSize() const {
    return refusedForSize_;
}

std::unique_ptr<EmailObject> EtpanMailImap::fetchOne(qint32 sequenceNumber, qint32) {
    if (sequenceNumber < 1) {
        lastError_ = QStringLiteral("FETCH %1 failed: no such message").arg(sequenceNumber);
        return nullptr;
    }
    const auto number = quint32(sequenceNumber);
    if (plan_ && number == plan_->next && number <= plan_->last)
        return fetchPlanned(number);
    const auto fetched = call<std::optional<EtpanWorker::Fetched>>(
        [number](EtpanWorker& w) { return w.fetch(number); });
    if (!fetched)
        return nullptr;
    auto email = std::make_unique<EmailObject>(
        parseEmail(std::move(fetched->raw), fetched->internalDate, plainBodies_));
    email->Uid = fetched->uid;
    lastError_ = readingNote(number, *email);
    return email;
}

void EtpanMailImap::setFetchWindow(qint32 first, qint32 last) {
    dropPlan();
    // Only messages the folder has are fetched ahead; a number past its end is asked for alone.
    const qint32 end = qMin(last, selectedCount_);
    if (!fetchAhead_ || first < 1 || end < first)
        return;
    plan_ = Plan{quint32(first), quint32(end), nullptr, 0};
}

void EtpanMailImap::dropPlan() {
    if (plan_ && plan_->buffer)
        plan_->buffer->stop();
    plan_.reset();
}

// Message n, the next of the fetch window: taken from what the worker fetched ahead, waiting for
// it while it is on its way. The worker starts with the first request.
std::unique_ptr<EmailObject> EtpanMailImap::fetchPlanned(quint32 n) {
    if (!plan_->buffer) {
        plan_->buffer = std::make_shared<FetchAheadBuffer>(
            fetchAheadLimit_,
            [this] {
                // Called in the worker or a parsing thread: wake the wait, if one runs, here.
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (aheadWait_)
                            aheadWait_->quit();
                    },
                    Qt::QueuedConnection);
            },
            plainBodies_);
        plan_->callId = ++lastCallId_;
        EtpanWorker* worker = worker_;
        QMetaObject::invokeMethod(
            worker,
            [worker, buffer = plan_->buffer, callId = plan_->callId, first = n,
             last = plan_->last] {
                worker->beginCall(callId);
                worker->fetchAhead(first, last, *buffer);
            },
            Qt::QueuedConnection);
    }
    plan_->next = n + 1;
    const std::shared_ptr<FetchAheadBuffer> buffer = plan_->buffer;
    const quint64 callId = plan_->callId;
    const bool lastOfPlan = n == plan_->last;
    if (lastOfPlan)
        plan_.reset(); // the worker ends by itself after the last message

    std::optional<FetchAheadBuffer::Outcome> outcome = buffer->take(n);
    if (!outcome) {
        QEventLoop wait;
        QEventLoop* outerWait = std::exchange(aheadWait_, &wait);
        const quint64 outerCallId = std::exchange(aheadCallId_, callId);
        // An abort lets the message asked for arrive, so the listing sees it and stops, and asks
        // the server for nothing more: the connection stays usable. Only a message that does
        // not come soon after is cancelled, with the connection.
        QTimer poll;
        poll.setInterval(abortPollMs);
        QElapsedTimer sinceAbort;
        connect(&poll, &QTimer::timeout, this, [this, &buffer, &sinceAbort] {
            qint32 abort = 0;
            emit AbortCheck(abort);
            if (abort == 0)
                return;
            if (!sinceAbort.isValid()) {
                sinceAbort.start();
                buffer->windDown();
            } else if (sinceAbort.elapsed() >= abortGraceMs) {
                worker_->cancel();
            }
        });
        poll.start();
        const quint64 outerAwaited = awaitedCallId_.exchange(callId);
        waitUntil(wait, [&] { return bool(outcome = buffer->take(n)); });
        awaitedCallId_ = outerAwaited;
        aheadWait_ = outerWait;
        aheadCallId_ = outerCallId;
    }
    if (!outcome->email) {
        lastError_ = outcome->error;
        return nullptr;
    }
    lastError_ = readingNote(n, *outcome->email);
    reportAheadProgress(100, lastOfPlan);
    return std::make_unique<EmailObject>(std::move(*outcome->email));
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

std::optional<FolderDirectory> EtpanMailImap::ListFolderDirectory() {
    const auto raw = call<std::optional<EtpanWorker::RawDirectory>>(
        [](EtpanWorker& w) { return w.directory(); });
    if (!raw)
        return std::nullopt;
    FolderDirectory directory{
        ModifiedUtf7::decode(raw->personalPrefix), QChar::fromLatin1(raw->separator), {}};
    for (const EtpanWorker::RawFolder& folder : raw->folders)
        directory.folders.append(MailboxEntry{ModifiedUtf7::decode(folder.name),
                                              QChar::fromLatin1(folder.separator),
                                              folder.attributes});
    return directory;
}

qint32 EtpanMailImap::Disconnect() {
    spare_.reset();
    return call<bool>([](EtpanWorker& w) { return w.logout(); }) ? 1 : 0;
}

std::unique_ptr<MailImap> createMailImap() {
    return std::make_unique<EtpanMailImap>();
}
