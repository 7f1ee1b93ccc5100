#pragma once

#include <QByteArray>
#include <QList>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

// A plain-text IMAP server on a free loopback port for the cases a real server will not play:
// each command line the client sends is handed to a script, which answers the bytes to send back
// (untagged lines and the tagged completion). One client at a time; the script runs on the
// server's own thread, so it may sleep to play a slow link. An answer with an untagged BYE line
// closes the connection after it is sent, as a server does; the next client is then served.
class ScriptedImapServer {
public:
    // tag and the rest of the line ("FETCH 1:4 (BODY.PEEK[] INTERNALDATE)"), without CR LF.
    using Script = std::function<QByteArray(const QByteArray& tag, const QByteArray& command)>;

    explicit ScriptedImapServer(Script script,
                                QByteArray greeting = "* OK scripted server ready\r\n");
    ~ScriptedImapServer();
    ScriptedImapServer(const ScriptedImapServer&) = delete;
    ScriptedImapServer& operator=(const ScriptedImapServer&) = delete;

    int port() const { return port_; }
    // Sends the greeting one byte at a time, this far apart (a link that drips).
    void dripGreeting(std::chrono::milliseconds perByte);
    // Every command line received so far, without tags.
    QList<QByteArray> commands() const;
    // Clients accepted so far.
    int connections() const;

    // Ends an answer after which the server closes the connection (its bytes are not sent).
    static QByteArray hangUp() { return QByteArrayLiteral("\0hang up"); }
    // Ends an answer after which the server sends filler bytes without end, until the client
    // closes the connection (a literal announced far larger than anything sent so far).
    static QByteArray endlessBytes() { return QByteArrayLiteral("\0endless bytes"); }
    // Ends an answer after which the server sends nothing more and reads nothing, until the
    // client closes the connection (a link that stalls).
    static QByteArray stall() { return QByteArrayLiteral("\0stall"); }
    // A message as a FETCH answer of BODY.PEEK[] and INTERNALDATE carries it.
    static QByteArray fetchResponse(quint32 number, const QByteArray& raw);

private:
    void serve();
    bool greet(int fd);
    bool stopping() const;
    void sendWithoutEnd(int fd) const;
    void waitForClose(int fd) const;

    Script script_;
    QByteArray greeting_;
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    QList<QByteArray> commands_;
    int connections_ = 0;
    bool stopping_ = false;
    std::chrono::milliseconds greetingDrip_{0};
    std::thread thread_;
};
