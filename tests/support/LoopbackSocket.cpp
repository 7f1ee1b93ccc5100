#include "LoopbackSocket.h"

#include <sys/socket.h>
#include <unistd.h>

namespace LoopbackSocket {

sockaddr_in address(int port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    result.sin_port = htons(quint16(port));
    return result;
}

int listenOnFreePort(int backlog, int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in bound = address(0);
    socklen_t length = sizeof bound;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&bound), length) == 0 &&
        listen(fd, backlog) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
        port = ntohs(bound.sin_port);
        return fd;
    }
    if (fd >= 0)
        close(fd);
    return -1;
}

bool sendAll(int fd, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

} // namespace LoopbackSocket
