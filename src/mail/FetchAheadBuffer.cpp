#include "mail/FetchAheadBuffer.h"

#include <chrono>

FetchAheadBuffer::FetchAheadBuffer(qint64 byteLimit, Notify notify)
    : byteLimit_(byteLimit), notify_(std::move(notify)) {}

// Called in the window's thread.
std::optional<FetchAheadBuffer::Outcome> FetchAheadBuffer::take(quint32 n) {
    std::lock_guard lock(mutex_);
    nextWanted_ = qMax(nextWanted_, n);
    roomMade_.notify_all(); // a worker winding down may wait for this number to be wanted
    const auto found = settled_.find(n);
    if (found != settled_.end()) {
        Outcome outcome = std::move(found->second);
        settled_.erase(found);
        if (outcome.message)
            heldBytes_ -= outcome.message->raw.size();
        nextWanted_ = n + 1;
        return outcome;
    }
    const QString number = QStringLiteral("FETCH %1").arg(n);
    if (stopping_)
        return Outcome{std::nullopt, number + QStringLiteral(" failed: cancelled")};
    if (ended_)
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

// Called in the window's thread.
void FetchAheadBuffer::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    settled_.clear();
    heldBytes_ = 0;
    roomMade_.notify_all();
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

void FetchAheadBuffer::settle(quint32 n, Outcome outcome) {
    {
        std::lock_guard lock(mutex_);
        // A message sent again after a throttled request may arrive twice.
        if (stopping_ || n < nextWanted_ || settled_.count(n))
            return;
        if (outcome.message)
            heldBytes_ += outcome.message->raw.size();
        settled_.emplace(n, std::move(outcome));
    }
    notify_();
}

// Called in the worker thread.
void FetchAheadBuffer::put(quint32 n, EtpanWorker::Fetched message) {
    settle(n, Outcome{std::move(message), QString()});
}

// Called in the worker thread.
void FetchAheadBuffer::fail(quint32 n, const QString& error) {
    settle(n, Outcome{std::nullopt, error});
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
