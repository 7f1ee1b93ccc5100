#pragma once

#include <QByteArray>
#include <QByteArrayView>

// ISO-2022-JP as its senders write it (the JIS X 0208 set with the NEC and IBM extension rows,
// half-width katakana, JIS X 0212) rewritten as the same characters in EUC-JP-MS, whose decoder
// knows every one of those rows. Unknown escape sequences stay in the text; 8-bit bytes, which
// the 7-bit charset cannot hold, become 0xFF, which no EUC-JP decoder accepts.
QByteArray iso2022JpAsEucJpMs(QByteArrayView bytes);
