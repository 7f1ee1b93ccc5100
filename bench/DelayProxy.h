#pragma once

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// A TCP proxy on a free loopback port that forwards every connection to a loopback target port,
// holding each chunk for a fixed delay in each direction: a round trip through it takes twice the
// delay longer, while the bandwidth stays that of the loopback.
class DelayProxy {
public:
    DelayProxy(int targetPort, int oneWayDelayMs);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    int port() const { return port_; }

private:
    void acceptConnections();
    void forward(int from, int to) const;

    const int targetPort_;
    const int delayMs_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<int> sockets_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};
