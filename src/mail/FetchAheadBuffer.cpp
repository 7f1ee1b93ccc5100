#include "mail/FetchAheadBuffer.h"

#include "mail/MimeParser.h"

#include <chrono>

FetchAheadBuffer::FetchAheadBuffer(qint64 byteLimit, Notify notify)
    : byteLimit_(byteLimit), notify_(std::move(notify)) {
    parser_ = std::thread([this] { parseArrivals(); });
}

// Called in whichever thread lets go of the buffer last.
FetchAheadBuffer::~FetchAheadBuffer() {
    stop();
    parser_.join();
}

// Called in the window's thread.
std::optional<FetchAheadBuffer::Outcome> FetchAheadBuffer::take(quint32 n) {
    std::lock_guard lock(mutex_);
    nextWanted_ = qMax(nextWanted_, n);
    roomMade_.notify_all(); // a worker winding down may wait for this number to be wanted
    const auto found = settled_.find(n);
    if (found != settled_.end()) {
        Outcome outcome = std::move(found->second.outcome);
        heldBytes_ -= found->second.bytes;
        settled_.erase(found);
        nextWanted_ = n + 1;
        return outcome;
    }
    const QString number = QStringLiteral("FETCH %1").arg(n);
    if (stopping_)
        return Outcome{std::nullopt, number + QStringLiteral(" failed: cancelled")};
    if (ended_ && !seen_.count(n)) // a message seen but not settled is being parsed
        return Outcome{std::nullopt,
                       number + (endReason_.isEmpty()
                                     ? QStringLiteral(" failed: the server sent no message")
                                     : endReason_)};
    return std::nullopt;
}

// Called in the window's thread.
void FetchAheadBuffer::windDown() {
    std::lock_guard lock(mutex_);
    windingDown_ = true;
}

// Called in any thread.
void FetchAheadBuffer::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    unparsed_.clear();
    settled_.clear();
    heldBytes_ = 0;
    roomMade_.notify_all();
    arrived_.notify_all();
}

bool FetchAheadBuffer::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

bool FetchAheadBuffer::windingDown() const {
    std::lock_guard lock(mutex_);
    return windingDown_;
}

// A message larger than the limit is still fetched, alone.
bool FetchAheadBuffer::roomFor(quint32 first, qint64 bytes) const {
    return (heldBytes_ + bytes <= byteLimit_ || heldBytes_ == 0) &&
           (!windingDown_ || first <= nextWanted_);
}

bool FetchAheadBuffer::hasRoom(qint64 inFlight, qint64 bytes) const {
    std::lock_guard lock(mutex_);
    return !windingDown_ && heldBytes_ + inFlight + bytes <= byteLimit_;
}

// Called in the worker thread.
bool FetchAheadBuffer::waitForRoom(quint32 first, qint64 bytes,
                                   const std::atomic<bool>& cancelled) {
    std::unique_lock lock(mutex_);
    while (!stopping_ && !cancelled && !roomFor(first, bytes))
        roomMade_.wait_for(lock, std::chrono::milliseconds(20));
    return !stopping_ && !cancelled;
}

// A message sent again after a throttled request may arrive twice; one taken is not wanted.
bool FetchAheadBuffer::accepts(quint32 n) const {
    return !stopping_ && n >= nextWanted_ && !seen_.count(n);
}

// Called in the worker thread.
void FetchAheadBuffer::put(quint32 n, EtpanWorker::Fetched message) {
    std::lock_guard lock(mutex_);
    if (!accepts(n))
        return;
    seen_.insert(n);
    heldBytes_ += message.raw.size();
    unparsed_.emplace_back(n, std::move(message));
    arrived_.notify_all();
}

// Called in the worker thread.
void FetchAheadBuffer::fail(quint32 n, const QString& error) {
    {
        std::lock_guard lock(mutex_);
        if (!accepts(n))
            return;
        seen_.insert(n);
        settled_.emplace(n, Held{Outcome{std::nullopt, error}, 0});
    }
    notify_();
}

// Called in the worker thread.
void FetchAheadBuffer::end(const QString& reason) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        endReason_ = reason;
    }
    notify_();
}

// Called in the buffer's parsing thread: turns each message that arrived into its e-mail object.
void FetchAheadBuffer::parseArrivals() {
    std::unique_lock lock(mutex_);
    while (true) {
        arrived_.wait(lock, [this] { return stopping_ || !unparsed_.empty(); });
        if (stopping_)
            return;
        auto [n, message] = std::move(unparsed_.front());
        unparsed_.pop_front();
        lock.unlock();
        EmailObject email = parseEmail(message.raw, message.internalDate);
        const qint64 bytes = message.raw.size();
        lock.lock();
        if (stopping_)
            return;
        settled_.emplace(n, Held{Outcome{std::move(email), QString()}, bytes});
        lock.unlock();
        notify_();
        lock.lock();
    }
}
