#pragma once

#include "mail/SecureStream.h"

#include <QElapsedTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A connection opened ahead of the request that will use it, in a thread of its own: TCP, TLS
// and the check of the server's certificate go on while the current connection still works, so
// the next sign-in does not wait for them. Whatever is not taken is closed with the object.
class SpareConnection {
public:
    explicit SpareConnection(ImapEndpoint endpoint);
    ~SpareConnection();
    SpareConnection(const SpareConnection&) = delete;
    SpareConnection& operator=(const SpareConnection&) = delete;

    // Any thread: the opening ends at once.
    void cancel();

    // True when the connection goes where endpoint does and is not too old to be used: a server
    // drops a connection that does not sign in within its own time.
    bool suits(const ImapEndpoint& endpoint) const;

    // Waits until the opening has ended, or `cancelled` is set; answers the stream, now the
    // caller's, announced to it through announce, or why there is none. Once only.
    OpenedStream take(const std::atomic<bool>& cancelled, const StreamAnnouncer& announce);

private:
    void run();

    const ImapEndpoint endpoint_;
    QElapsedTimer age_;
    std::atomic<bool> cancelled_{false};

    std::mutex mutex_; // guards what follows against cancel() and take() from other threads
    std::condition_variable ended_;
    bool done_ = false;
    int fd_ = -1;
    OpenedStream opened_;

    std::thread thread_;
};
