#include "mail/FetchAheadBuffer.h"

#include "base/BackgroundPriority.h"
#include "mail/MimeParser.h"

#include <algorithm>
#include <chrono>

namespace {

// Parsing, above all rendering HTML-only messages to text, is the slowest step of a listing; one
// thread per core, within bounds, keeps up with the link.
unsigned parsingThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
}

// What a message that failed counts against the limit: a server that refuses every message at
// once must not let the worker run ahead without bound.
constexpr qint64 failedMessageBytes = 64 * 1024;

} // namespace

FetchAheadBuffer::FetchAheadBuffer(qint64 byteLimit, Notify notify, PlainBodies inUtf8)
    : byteLimit_(byteLimit), notify_(std::move(notify)), inUtf8_(inUtf8) {
    try {
        for (unsigned i = parsingThreads(); i > 0; --i)
            parsers_.emplace_back([this] {
                BackgroundPriority::lowerCurrentThread();
                parseArrivals();
            });
    } catch (...) {
        joinParsers();
        throw;
    }
}

// Called in whichever thread lets go of the buffer last.
FetchAheadBuffer::~FetchAheadBuffer() {
    joinParsers();
}

void FetchAheadBuffer::joinParsers() {
    stop();
    for (std::thread& parser : parsers_)
        parser.join();
}

// Called in the window's thread.
std::optional<FetchAheadBuffer::Outcome> FetchAheadBuffer::take(quint32 n) {
    if (!handedOver_.empty() && n == handedFirst_) {
        Outcome outcome = std::move(handedOver_.front());
        handedOver_.pop_front();
        ++handedFirst_;
        return outcome;
    }
    handedOver_.clear();
    std::lock_guard lock(mutex_);
    if (!stopping_) // stopping let go of everything held
        heldBytes_ -= handedBytes_;
    handedBytes_ = 0;
    awaited_ = 0;
    nextWanted_ = qMax(nextWanted_, n);
    roomMade_.notify_all(); // a worker winding down may wait for this number to be wanted
    if (settled_.count(n))
        return handOver(n);
    const QString number = QStringLiteral("FETCH %1").arg(n);
    if (stopping_)
        return Outcome{std::nullopt, number + QStringLiteral(" failed: cancelled")};
    if (ended_ && !seen_.count(n)) // a message seen but not settled is being parsed
        return Outcome{std::nullopt,
                       number + (endReason_.isEmpty()
                                     ? QStringLiteral(" failed: the server sent no message")
                                     : endReason_)};
    awaited_ = n;
    return std::nullopt;
}

// Called in the window's thread.
FetchAheadBuffer::Outcome FetchAheadBuffer::handOver(quint32 n) {
    auto found = settled_.find(n);
    Outcome outcome = std::move(found->second.outcome);
    heldBytes_ -= found->second.bytes;
    found = settled_.erase(found);
    handedFirst_ = n + 1;
    quint32 next = n + 1;
    for (; found != settled_.end() && found->first == next; ++next) {
        handedOver_.push_back(std::move(found->second.outcome));
        handedBytes_ += found->second.bytes;
        found = settled_.erase(found);
    }
    nextWanted_ = next;
    return outcome;
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

// A message larger than the limit is still fetched, alone. So is the one the reader takes next
// when it comes after messages held, asked for again: nothing held can go before it arrives.
bool FetchAheadBuffer::roomFor(quint32 first, qint64 bytes) const {
    return (heldBytes_ + bytes <= byteLimit_ || heldBytes_ == 0 || first == nextWanted_) &&
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
    arrived_.notify_one(); // one parsing thread takes it
}

// Called in the worker thread.
void FetchAheadBuffer::fail(quint32 n, const QString& error) {
    {
        std::lock_guard lock(mutex_);
        if (!accepts(n))
            return;
        seen_.insert(n);
        settled_.emplace(n, Held{Outcome{std::nullopt, error}, failedMessageBytes});
        heldBytes_ += failedMessageBytes;
        if (awaited_ != n)
            return;
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

// Called in each of the buffer's parsing threads: turns the messages that arrived into their e-mail
// objects, each taken by one thread.
void FetchAheadBuffer::parseArrivals() {
    std::unique_lock lock(mutex_);
    while (true) {
        arrived_.wait(lock, [this] { return stopping_ || !unparsed_.empty(); });
        if (stopping_)
            return;
        auto [n, message] = std::move(unparsed_.front());
        unparsed_.pop_front();
        lock.unlock();
        const qint64 bytes = message.raw.size();
        EmailObject email = parseEmail(std::move(message.raw), message.internalDate, inUtf8_);
        email.Uid = message.uid;
        lock.lock();
        if (stopping_)
            return;
        settled_.emplace(n, Held{Outcome{std::move(email), QString()}, bytes});
        if (awaited_ == n) {
            lock.unlock();
            notify_();
            lock.lock();
        }
    }
}
