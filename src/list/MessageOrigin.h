#pragma once

#include <QDateTime>
#include <QString>

// Where a listed message came from, to know it again in a later download: the mailbox (server,
// user and folder), the folder's UIDVALIDITY and the message's UID, and, for when the folder's
// UIDVALIDITY has changed, its Message-ID, sender address and date. A UID of 0 is unknown.
struct MessageOrigin {
    QString server; // "host:port"
    QString user;
    QString folder;
    quint32 uidValidity = 0;
    quint32 uid = 0;
    QString messageId;
    QString sender;
    QDateTime date;
};
