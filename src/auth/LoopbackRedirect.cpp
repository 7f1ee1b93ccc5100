#include "auth/LoopbackRedirect.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace auth {

namespace {

constexpr qint64 kMaxRequestBytes = 16 * 1024;
constexpr int kListenAttempts = 5;
constexpr std::chrono::seconds kSocketLifetime{30};

QString page(const QString& text) {
    return QStringLiteral("<!doctype html><html><head><meta charset=\"utf-8\"><title>Quentaril"
                          "</title></head><body style=\"font-family:sans-serif;margin:3em\"><p>") +
           text.toHtmlEscaped() + QStringLiteral("</p></body></html>");
}

} // namespace

LoopbackRedirect::LoopbackRedirect(QObject* parent) : QObject(parent) {}

bool LoopbackRedirect::listen(const QString& host) {
    host_ = host;
    for (int attempt = 0; attempt < kListenAttempts; ++attempt) {
        auto* v4 = new QTcpServer(this);
        if (!v4->listen(QHostAddress::LocalHost, 0)) {
            delete v4;
            return false;
        }
        port_ = v4->serverPort();
        servers_ = {v4};
        if (host != QLatin1String("localhost"))
            break;
        // A browser may try ::1 first for "localhost": answer there on the same port.
        auto* v6 = new QTcpServer(this);
        if (v6->listen(QHostAddress::LocalHostIPv6, port_)) {
            servers_.append(v6);
            break;
        }
        const bool taken = v6->serverError() == QAbstractSocket::AddressInUseError;
        delete v6;
        if (!taken)
            break; // no IPv6 loopback here: IPv4 alone
        close();
    }
    if (servers_.isEmpty())
        return false;
    for (QTcpServer* server : servers_)
        connect(server, &QTcpServer::newConnection, this, [this, server] { accept(server); });
    return true;
}

void LoopbackRedirect::close() {
    qDeleteAll(servers_);
    servers_.clear();
}

QString LoopbackRedirect::redirectUri() const {
    return QStringLiteral("http://%1:%2").arg(host_).arg(port_);
}

void LoopbackRedirect::accept(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        // The flow, and this listener with it, may end as soon as the answer is in: the socket
        // lives on until the browser has the page, or a little while at most.
        socket->setParent(QCoreApplication::instance());
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kSocketLifetime, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
    }
}

void LoopbackRedirect::read(QTcpSocket* socket) {
    if (socket->property("answered").toBool())
        return;
    const QByteArray head = socket->peek(kMaxRequestBytes);
    if (!head.contains("\r\n\r\n") && head.size() < kMaxRequestBytes)
        return; // wait for the whole request head
    socket->setProperty("answered", true);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    if (requestLine.size() < 3 || requestLine[0] != "GET") {
        reply(socket, 400, "Bad Request",
              QStringLiteral("This address only takes the sign-in answer."));
        return;
    }
    const QByteArray target = requestLine[1];
    const qsizetype mark = target.indexOf('?');
    const QByteArray path = mark < 0 ? target : target.left(mark);
    if (path != "/") {
        reply(socket, 404, "Not Found", QStringLiteral("Not found."));
        return;
    }
    // A "+" in the query stands for a space; QUrlQuery would keep it as a plus.
    QByteArray raw = mark < 0 ? QByteArray() : target.mid(mark + 1);
    raw.replace('+', "%20");
    const QUrlQuery query(QString::fromLatin1(raw));
    if (state_.isEmpty() ||
        query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded) != state_) {
        reply(socket, 400, "Bad Request",
              QStringLiteral("This sign-in answer does not belong to Quentaril's request."));
        return;
    }
    if (query.hasQueryItem(QStringLiteral("error")))
        reply(socket, 200, "OK",
              QStringLiteral("Sign-in did not complete. You can close this window and return to "
                             "Quentaril."));
    else
        reply(socket, 200, "OK",
              QStringLiteral("Signed in. You can close this window and return to Quentaril."));
    emit answered(query);
}

void LoopbackRedirect::reply(QTcpSocket* socket, int status, const QByteArray& reason,
                             const QString& text) {
    const QByteArray body = page(text).toUtf8();
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                  "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                  QByteArray::number(body.size()) +
                  "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace auth
