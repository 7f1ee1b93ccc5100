#pragma once

#include "mail/EtpanWorker.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

// The messages fetched ahead of the reader: the worker thread puts each message (or the reason it
// could not be had) as it arrives, the window's thread takes them in ascending order. The raw
// bytes held stay near a limit: the worker asks for room before it requests more. Stopping drops
// what is held and everything that arrives later.
class FetchAheadBuffer {
public:
    struct Outcome {
        std::optional<EtpanWorker::Fetched> message;
        QString error; // why there is no message
    };
    // Called in the worker thread after each change the reader may be waiting for.
    using Notify = std::function<void()>;

    FetchAheadBuffer(qint64 byteLimit, Notify notify);

    // Called in the window's thread. Nothing while message n is still on its way.
    std::optional<Outcome> take(quint32 n);
    void stop();

    // Called in the worker thread.
    qint64 byteLimit() const { return byteLimit_; }
    bool stopping() const;
    // True when bytes more (besides those requested and not yet arrived, inFlight) fit.
    bool hasRoom(qint64 inFlight, qint64 bytes) const;
    // Waits until bytes fit, the buffer stops or cancelled is set; true when they fit.
    bool waitForRoom(qint64 bytes, const std::atomic<bool>& cancelled);
    void put(quint32 n, EtpanWorker::Fetched message);
    void fail(quint32 n, const QString& error);
    // No more arrives. reason (" failed: cancelled"), after "FETCH n", explains every number not
    // settled; "" when the work ended normally.
    void end(const QString& reason);

private:
    bool roomFor(qint64 bytes) const; // with mutex_ held
    void settle(quint32 n, Outcome outcome);

    const qint64 byteLimit_;
    const Notify notify_;
    mutable std::mutex mutex_;
    std::condition_variable roomMade_;
    std::map<quint32, Outcome> settled_;
    qint64 heldBytes_ = 0;
    quint32 nextWanted_ = 0; // numbers below it were taken
    bool stopping_ = false;
    bool ended_ = false;
    QString endReason_;
};
