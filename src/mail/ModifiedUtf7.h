#pragma once

#include <QByteArray>
#include <QString>

// IMAP mailbox names travel in modified UTF-7: printable ASCII stands for itself, "&-" is "&",
// and other characters are UTF-16 in a base64 variant ("," for "/") between "&" and "-".
namespace ModifiedUtf7 {

// A name as the server sends it, for display. Malformed runs are kept as they came.
QString decode(const QByteArray& name);
// A display name as the server expects it.
QByteArray encode(const QString& name);

} // namespace ModifiedUtf7
