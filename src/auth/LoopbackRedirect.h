#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrlQuery>

class QTcpServer;
class QTcpSocket;

namespace auth {

// The address the sign-in page sends the browser back to: a small HTTP listener on a free
// loopback port. It answers only a GET of "/" whose state matches; anything else gets an error
// page and the listener keeps waiting.
class LoopbackRedirect : public QObject {
    Q_OBJECT
public:
    explicit LoopbackRedirect(QObject* parent = nullptr);

    // host is "127.0.0.1", or "localhost" to listen on both IPv4 and IPv6 loopback.
    bool listen(const QString& host);
    void close();
    // "http://<host>:<port>": the registration names the host only, the port is free.
    QString redirectUri() const;
    void setExpectedState(const QString& state) { state_ = state; }

signals:
    // The browser came back with the right state: its query holds code, or error and
    // error_description. The browser has been shown a page that says how it went.
    void answered(const QUrlQuery& query);

private:
    void accept(QTcpServer* server);
    void read(QTcpSocket* socket);
    void reply(QTcpSocket* socket, int status, const QByteArray& reason, const QString& text);

    QList<QTcpServer*> servers_;
    QString host_;
    quint16 port_ = 0;
    QString state_;
};

} // namespace auth
