#include "mail/CancellableConnect.h"

#include <condition_variable>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto slice = std::chrono::milliseconds(20);

// Shared between the waiting caller and the lookup thread, which may outlive the wait.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    addrinfo* result = nullptr;
    ~Lookup() {
        if (result)
            freeaddrinfo(result);
    }
};

std::shared_ptr<Lookup> startLookup(const QByteArray& host, const QByteArray& port) {
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* result = nullptr;
        const int status = getaddrinfo(host.constData(), port.constData(), &hints, &result);
        std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->result = result;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    return lookup;
}

bool setBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    return fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

QString systemText(int code) {
    if (code == ECONNREFUSED)
        return QStringLiteral("connection refused");
    if (code == ETIMEDOUT)
        return QStringLiteral("timed out");
    if (code == ENETUNREACH || code == EHOSTUNREACH)
        return QStringLiteral("host unreachable");
    return QString::fromLocal8Bit(std::strerror(code));
}

// One address: -1 with error set, or the connected socket.
int connectOne(const addrinfo& address, Clock::time_point deadline,
               const std::atomic<bool>& cancelled, QString& error) {
    const int fd =
        socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        error = systemText(errno);
        return -1;
    }
    if (!setBlocking(fd, false)) {
        error = systemText(errno);
        close(fd);
        return -1;
    }
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
        error = systemText(errno);
        close(fd);
        return -1;
    }
    while (true) {
        if (cancelled) {
            error = QStringLiteral("cancelled");
            close(fd);
            return -1;
        }
        if (Clock::now() >= deadline) {
            error = QStringLiteral("timed out");
            close(fd);
            return -1;
        }
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, int(slice.count()));
        if (ready < 0 && errno != EINTR) {
            error = systemText(errno);
            close(fd);
            return -1;
        }
        if (ready > 0)
            break;
    }
    int code = 0;
    socklen_t length = sizeof code;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length) != 0)
        code = errno;
    if (code != 0 || !setBlocking(fd, true)) {
        error = systemText(code != 0 ? code : errno);
        close(fd);
        return -1;
    }
    return fd;
}

// A server that closes the connection while TLS is still writing to it must give the writer
// EPIPE, which ends the call with an error; the default action of SIGPIPE would end the program.
void ignoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

} // namespace

int connectCancellable(const QString& host, int port, std::chrono::seconds timeout,
                       const std::atomic<bool>& cancelled, QString& error) {
    ignoreBrokenPipes();
    const auto deadline = Clock::now() + timeout;
    auto lookup = startLookup(host.toUtf8(), QByteArray::number(port));
    {
        std::unique_lock lock(lookup->mutex);
        while (!lookup->finished) {
            if (cancelled) {
                error = QStringLiteral("cancelled");
                return -1;
            }
            if (Clock::now() >= deadline) {
                error = QStringLiteral("timed out");
                return -1;
            }
            lookup->done.wait_for(lock, slice);
        }
    }
    if (lookup->status != 0) {
        error = QStringLiteral("host not found: %1")
                    .arg(QString::fromLocal8Bit(gai_strerror(lookup->status)));
        return -1;
    }
    error = QStringLiteral("host not found");
    for (const addrinfo* a = lookup->result; a; a = a->ai_next) {
        const int fd = connectOne(*a, deadline, cancelled, error);
        if (fd >= 0 || error == QLatin1String("cancelled") || error == QLatin1String("timed out"))
            return fd;
    }
    return -1;
}
