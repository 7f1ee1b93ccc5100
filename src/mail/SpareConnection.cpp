#include "mail/SpareConnection.h"

#include <QDateTime>

#include <libetpan/libetpan.h>

#include <poll.h>
#include <sys/socket.h>

namespace {

// A spare older than this is not used: a server gives up on a connection that has not signed in
// within a minute or so, and the request it was opened for comes within a round trip or two.
constexpr qint64 longestKeptMs = 10'000;

// True when the server has already closed its side of the connection.
bool hungUp(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

} // namespace

SpareConnection::SpareConnection(ImapEndpoint endpoint) : endpoint_(std::move(endpoint)) {
    age_.start();
    thread_ = std::thread([this] { run(); });
}

SpareConnection::~SpareConnection() {
    cancel();
    thread_.join();
    if (opened_.stream)
        mailstream_close(opened_.stream);
}

void SpareConnection::cancel() {
    cancelled_ = true;
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        shutdown(fd_, SHUT_RDWR);
}

bool SpareConnection::suits(const ImapEndpoint& endpoint) const {
    return endpoint == endpoint_ && !age_.hasExpired(longestKeptMs);
}

void SpareConnection::run() {
    OpenedStream opened = openSecureStream(
        endpoint_, cancelled_, QDateTime::currentMSecsSinceEpoch(), [this](int fd, _mailstream*) {
            std::lock_guard lock(mutex_);
            fd_ = fd;
            if (cancelled_ && fd_ >= 0)
                shutdown(fd_, SHUT_RDWR);
        });
    std::lock_guard lock(mutex_);
    opened_ = std::move(opened);
    done_ = true;
    ended_.notify_all();
}

OpenedStream SpareConnection::take(const std::atomic<bool>& cancelled,
                                   const StreamAnnouncer& announce) {
    std::unique_lock lock(mutex_);
    while (!done_) {
        if (cancelled) {
            lock.unlock();
            cancel();
            lock.lock();
            ended_.wait(lock, [this] { return done_; });
            break;
        }
        ended_.wait_for(lock, std::chrono::milliseconds(20));
    }
    OpenedStream opened = std::exchange(opened_, OpenedStream{});
    fd_ = -1;
    if (opened.stream && (cancelled || hungUp(opened.fd))) {
        mailstream_close(opened.stream);
        opened = {nullptr, -1,
                  cancelled ? QStringLiteral("cancelled")
                            : QStringLiteral("the connection was closed")};
    }
    if (opened.stream)
        announce(opened.fd, opened.stream);
    return opened;
}
