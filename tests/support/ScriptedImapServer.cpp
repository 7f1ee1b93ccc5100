#include "ScriptedImapServer.h"

#include "LoopbackSocket.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

ScriptedImapServer::ScriptedImapServer(Script script, QByteArray greeting)
    : script_(std::move(script)), greeting_(std::move(greeting)) {
    listener_ = LoopbackSocket::listenOnFreePort(4, port_);
    thread_ = std::thread([this] { serve(); });
}

ScriptedImapServer::~ScriptedImapServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (client_ >= 0)
            shutdown(client_, SHUT_RDWR);
    }
    thread_.join();
    close(listener_);
}

void ScriptedImapServer::dripGreeting(std::chrono::milliseconds perByte) {
    std::lock_guard lock(mutex_);
    greetingDrip_ = perByte;
}

// Runs on the server's thread: false once the client is gone or the server stops.
bool ScriptedImapServer::greet(int fd) {
    QByteArray greeting;
    std::chrono::milliseconds drip;
    {
        std::lock_guard lock(mutex_);
        greeting = greeting_;
        drip = greetingDrip_;
    }
    if (drip.count() == 0)
        return LoopbackSocket::sendAll(fd, greeting);
    for (char c : greeting) {
        std::this_thread::sleep_for(drip);
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return false;
        }
        if (!LoopbackSocket::sendAll(fd, QByteArray(1, c)))
            return false;
    }
    return true;
}

QList<QByteArray> ScriptedImapServer::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

int ScriptedImapServer::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

QByteArray ScriptedImapServer::fetchResponse(quint32 number, const QByteArray& raw) {
    return "* " + QByteArray::number(number) +
           " FETCH (INTERNALDATE \"01-Jan-2024 10:00:00 +0000\" BODY[] {" +
           QByteArray::number(raw.size()) + "}\r\n" + raw + ")\r\n";
}

// Runs on the server's thread.
void ScriptedImapServer::serve() {
    while (true) {
        pollfd waiting{listener_, POLLIN, 0};
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
        }
        if (poll(&waiting, 1, 20) <= 0)
            continue;
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0)
            continue;
        {
            std::lock_guard lock(mutex_);
            client_ = fd;
            ++connections_;
            if (stopping_)
                shutdown(fd, SHUT_RDWR);
        }
        QByteArray pending;
        bool open = greet(fd);
        while (open) {
            const qsizetype end = pending.indexOf("\r\n");
            if (end < 0) {
                char chunk[4096];
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                open = n > 0;
                if (open)
                    pending.append(chunk, n);
                continue;
            }
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 2);
            const qsizetype space = line.indexOf(' ');
            const QByteArray tag = line.left(space);
            const QByteArray command = line.mid(space + 1);
            {
                std::lock_guard lock(mutex_);
                commands_.append(command);
            }
            QByteArray answer = script_(tag, command);
            const bool hangingUp = answer.endsWith(hangUp());
            const bool endless = answer.endsWith(endlessBytes());
            const bool stalling = answer.endsWith(stall());
            if (hangingUp || endless || stalling)
                answer.chop(answer.size() - answer.lastIndexOf('\0'));
            open = LoopbackSocket::sendAll(fd, answer) && !hangingUp && !endless && !stalling &&
                   !answer.startsWith("* BYE") && !answer.contains("\r\n* BYE");
            if (endless)
                sendWithoutEnd(fd);
            if (stalling)
                waitForClose(fd);
        }
        std::lock_guard lock(mutex_);
        client_ = -1;
        close(fd);
    }
}

bool ScriptedImapServer::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

// Runs on the server's thread.
void ScriptedImapServer::sendWithoutEnd(int fd) const {
    const QByteArray filler(64 * 1024, 'x');
    while (!stopping() && LoopbackSocket::sendAll(fd, filler)) {
    }
}

// Runs on the server's thread.
void ScriptedImapServer::waitForClose(int fd) const {
    while (!stopping()) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, 20) <= 0)
            continue;
        char chunk[4096];
        if (recv(fd, chunk, sizeof chunk, 0) <= 0)
            return;
    }
}
