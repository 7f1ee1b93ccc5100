#pragma once

#include "mail/MailImap.h"

#include <QByteArray>
#include <QDateTime>

// Turns one raw RFC 5322 message into the e-mail object. internalDate is the server's date of
// the message, used when the Date header is missing or unreadable (ReadingNote then says so). A
// caller that moves raw in lets a large message be held once less while it is read.
EmailObject parseEmail(QByteArray raw, const QDateTime& internalDate);
