#pragma once

#include "mail/MailImap.h"

#include <QByteArray>
#include <QDateTime>

// Which plain-text bodies the e-mail object gives in UTF-8 (PlainTextUtf8) instead of as
// PlainTextBody: only large ones, or all, for a reader that keeps them in UTF-8 anyway.
enum class PlainBodies { Utf8WhenLarge, Utf8 };

// How a message is read: a message of the commonest shape, and a sender of the commonest form,
// directly; or all of it through GMime, the reading the direct one must match (for tests).
enum class MimeReading { DirectWhenSimple, GMimeOnly };

// Turns one raw RFC 5322 message into the e-mail object. internalDate is the server's date of
// the message, used when the Date header is missing or unreadable (ReadingNote then says so). A
// caller that moves raw in lets a large message be held once less while it is read.
EmailObject parseEmail(QByteArray raw, const QDateTime& internalDate,
                       PlainBodies inUtf8 = PlainBodies::Utf8WhenLarge,
                       MimeReading reading = MimeReading::DirectWhenSimple);
