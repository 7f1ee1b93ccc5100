#pragma once

#include "LoopbackSocket.h"

#include <unistd.h>

// A loopback port that accepts connections into its backlog and never says a word.
class SilentListener {
public:
    SilentListener() : fd_(LoopbackSocket::listenOnFreePort(4, port_)) {}
    ~SilentListener() {
        if (fd_ >= 0)
            close(fd_);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int port() const { return port_; }

private:
    int port_ = 0;
    int fd_ = -1;
};
