#pragma once

#include "mail/MailImap.h"

#include <QByteArray>
#include <QDateTime>

// Turns one raw RFC 5322 message into the e-mail object. internalDate is the server's date of
// the message, used when the Date header is missing or unreadable.
EmailObject parseEmail(const QByteArray& raw, const QDateTime& internalDate);
