#pragma once

#include <QByteArray>

#include <netinet/in.h>

// Plain sockets on the loopback interface for the test servers and the benchmarks' proxy.
namespace LoopbackSocket {

// 127.0.0.1 at port (0: any free port).
sockaddr_in address(int port);
// A socket listening on a free loopback port; -1 when none could be had. port receives its number.
int listenOnFreePort(int backlog, int& port);
// Sends every byte; false when the peer has gone.
bool sendAll(int fd, const QByteArray& bytes);

} // namespace LoopbackSocket
