#pragma once

#include "mail/EtpanWorker.h"
#include "mail/MailImap.h"
#include "mail/MimeParser.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

// The messages fetched ahead of the reader: the worker thread puts each message (or the reason it
// could not be had) as it arrives, threads of the buffer's own parse it into the e-mail object
// (several messages at once, each settled under its number whenever it is done), so the window's
// thread only takes finished objects, in ascending order: all the finished ones that follow each
// other at once, so it seldom meets the parsing threads' lock, and it is woken only when it waits
// for the message that has just been settled. The raw bytes held stay near a limit:
// the worker asks for room before it requests more. Winding down lets the worker request only
// what the reader waits for; stopping drops what is held and everything that arrives later.
class FetchAheadBuffer {
public:
    struct Outcome {
        std::optional<EmailObject> email;
        QString error; // why there is no message
    };
    // Called in the worker or a parsing thread when the reader may stop waiting.
    using Notify = std::function<void()>;

    FetchAheadBuffer(qint64 byteLimit, Notify notify,
                     PlainBodies inUtf8 = PlainBodies::Utf8WhenLarge);
    ~FetchAheadBuffer();
    FetchAheadBuffer(const FetchAheadBuffer&) = delete;
    FetchAheadBuffer& operator=(const FetchAheadBuffer&) = delete;

    // Called in the window's thread, for ascending numbers. Nothing while message n is still on
    // its way; the reader is then notified when that changes.
    std::optional<Outcome> take(quint32 n);
    void windDown();
    void stop();

    // Called in the worker thread.
    qint64 byteLimit() const { return byteLimit_; }
    bool stopping() const;
    bool windingDown() const;
    // True when bytes more, besides those requested and not yet arrived (inFlight), may be
    // requested now; never while winding down.
    bool hasRoom(qint64 inFlight, qint64 bytes) const;
    // Waits until messages from first on, bytes of them, may be requested, the buffer stops or
    // cancelled is set; true when they may.
    bool waitForRoom(quint32 first, qint64 bytes, const std::atomic<bool>& cancelled);
    void put(quint32 n, EtpanWorker::Fetched message);
    void fail(quint32 n, const QString& error);
    // No more arrives. reason (" failed: cancelled"), after "FETCH n", explains every number not
    // settled; "" when the work ended normally.
    void end(const QString& reason);

private:
    struct Held {
        Outcome outcome;
        qint64 bytes = 0; // raw bytes the message counts against the limit
    };

    void parseArrivals(); // each parsing thread
    void joinParsers();
    bool roomFor(quint32 first, qint64 bytes) const; // with mutex_ held
    bool accepts(quint32 n) const;                   // with mutex_ held
    // With mutex_ held: n and the settled numbers right after it, n returned, the others kept
    // in handedOver_.
    Outcome handOver(quint32 n);

    const qint64 byteLimit_;
    const Notify notify_;
    const PlainBodies inUtf8_;
    mutable std::mutex mutex_;
    std::condition_variable roomMade_;
    std::condition_variable arrived_;
    std::deque<std::pair<quint32, EtpanWorker::Fetched>> unparsed_;
    std::map<quint32, Held> settled_;
    std::set<quint32> seen_; // every number put or failed, to drop a second copy
    qint64 heldBytes_ = 0;
    quint32 nextWanted_ = 0; // numbers below it were handed to the reader
    quint32 awaited_ = 0;    // the number the reader waits for, 0 when it does not wait
    bool stopping_ = false;
    bool windingDown_ = false;
    bool ended_ = false;
    QString endReason_;
    std::vector<std::thread> parsers_;

    // The reader's own: what was handed over together, from number handedFirst_ on, and the raw
    // bytes it counted against the limit, given back with the next hand-over.
    std::deque<Outcome> handedOver_;
    quint32 handedFirst_ = 0;
    qint64 handedBytes_ = 0;
};
