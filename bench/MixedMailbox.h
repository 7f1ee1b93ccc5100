#pragma once

#include <QString>

// Writes count messages of mixed sizes and kinds into folder as 000001.eml, 000002.eml, ...: most
// short plain text, some HTML only, some with an attachment of 100 KB to 250 KB, one in a hundred
// of about 1 MB. The same count always gives the same messages. Answers the bytes written, -1 on
// failure.
qint64 writeMixedMailbox(const QString& folder, int count);

// Writes count short plain-text messages of 2 KB to 8 KB into folder as 000001.eml, ...: the
// folder where the work per message, not per byte, decides. Answers the bytes written, -1 on
// failure.
qint64 writeSmallMailbox(const QString& folder, int count);

// Writes one plain-text message whose body is about bodyBytes long into folder as 000001.eml.
// Answers the bytes written, -1 on failure.
qint64 writeLargeMessage(const QString& folder, qint64 bodyBytes);
