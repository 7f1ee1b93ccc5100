#include "ScriptedMessages.h"

#include "ScriptedImapServer.h"

#include <QList>

QByteArray numberedMessage(qint64 n, const QByteArray& date) {
    const QByteArray dateHeader = date.isEmpty() ? QByteArray() : "\r\nDate: " + date;
    return "From: Sender <sender@example.test>\r\nSubject: Message " + QByteArray::number(n) +
           dateHeader + "\r\n\r\nBody " + QByteArray::number(n) + "\r\n";
}

std::pair<qint64, qint64> fetchSet(const QByteArray& command) {
    const QList<QByteArray> set = command.split(' ').value(1).split(':');
    return {set.first().toLongLong(), set.last().toLongLong()};
}

QByteArray fetchedMessages(qint64 first, qint64 last, const QByteArray& date) {
    QByteArray out;
    for (qint64 n = first; n <= last; ++n)
        out += ScriptedImapServer::fetchResponse(quint32(n), numberedMessage(n, date));
    return out;
}
