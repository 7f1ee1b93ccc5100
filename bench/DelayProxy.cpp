#include "DelayProxy.h"

#include "LoopbackSocket.h"

#include <QByteArray>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

DelayProxy::DelayProxy(int targetPort, int oneWayDelayMs)
    : targetPort_(targetPort), delayMs_(oneWayDelayMs) {
    listener_ = LoopbackSocket::listenOnFreePort(16, port_);
    acceptor_ = std::thread([this] { acceptConnections(); });
}

DelayProxy::~DelayProxy() {
    stopping_ = true;
    acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        for (int fd : sockets_)
            shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : threads_)
        t.join();
    for (int fd : sockets_)
        close(fd);
    close(listener_);
}

void DelayProxy::acceptConnections() {
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0)
            continue;
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0)
            continue;
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in target = LoopbackSocket::address(targetPort_);
        if (connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
            close(client);
            close(server);
            continue;
        }
        // A link passes each chunk on as it comes: the proxy's own sends never wait for an
        // acknowledgement, or it would add delays of its own on top of the round trip.
        const int noDelay = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        std::lock_guard lock(mutex_);
        sockets_.push_back(client);
        sockets_.push_back(server);
        threads_.emplace_back([this, client, server] { forward(client, server); });
        threads_.emplace_back([this, client, server] { forward(server, client); });
    }
}

// One direction: what arrives on from leaves on to the delay later, in order.
void DelayProxy::forward(int from, int to) const {
    std::deque<std::pair<Clock::time_point, QByteArray>> held;
    bool ended = false;
    while (true) {
        while (!held.empty() && held.front().first <= Clock::now()) {
            if (!LoopbackSocket::sendAll(to, held.front().second))
                return;
            held.pop_front();
        }
        if (ended && held.empty()) {
            shutdown(to, SHUT_WR);
            return;
        }
        const int wait = held.empty() ? 100
                                      : int(std::chrono::ceil<std::chrono::milliseconds>(
                                                held.front().first - Clock::now())
                                                .count());
        if (ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(qMax(wait, 0)));
            continue;
        }
        pollfd readable{from, POLLIN, 0};
        if (poll(&readable, 1, qMax(wait, 0)) <= 0)
            continue;
        char chunk[65536];
        const ssize_t n = recv(from, chunk, sizeof chunk, 0);
        if (n <= 0) {
            ended = true;
            continue;
        }
        held.emplace_back(Clock::now() + std::chrono::milliseconds(delayMs_), QByteArray(chunk, n));
    }
}
