#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The charset an HTML text names for itself, found as browsers find it before they parse: a
// byte-order mark, or else a <meta charset=...> or <meta http-equiv="Content-Type"
// content="...; charset=..."> within the first 1024 bytes, skipping comments and the attributes
// of other tags. A UTF-16 name there means UTF-8 (the bytes that spelt it were ASCII), and
// x-user-defined means Windows-1252. Empty when the text names none. Safe on any thread.
QByteArray htmlDeclaredCharset(QByteArrayView html);
