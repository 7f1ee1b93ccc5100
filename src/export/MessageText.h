#pragma once

#include "list/MessageRecord.h"

#include <QByteArray>
#include <QString>

// The text a download writes for one message. Lines end with CR LF; the body is written as stored.
namespace MessageText {

// A file of its own: the From, Subject and Date lines, an empty line and the body, with nothing
// after the body.
QString separateFile(const MessageRecord& record);

// One block of "Emails.txt": the same lines, the body ended by CR LF, an empty line, a line of 58
// "=" and another empty line.
QString oneFileBlock(const MessageRecord& record);

// The text in the locale's encoding, without a byte-order mark; characters the encoding cannot
// hold are replaced.
QByteArray localeBytes(const QString& text);

} // namespace MessageText
