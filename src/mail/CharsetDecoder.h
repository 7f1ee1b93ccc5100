#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Bytes of a message to text. Safe to call on any thread.
//
// A declared charset is read as the common superset its senders really use (Shift_JIS as
// Windows-31J, EUC-KR as Unified Hangul, ISO-8859-1 as Windows-1252, ...). Bytes that still cannot
// be decoded become U+FFFD, and so do control characters other than tab, line breaks and form
// feed: nothing is dropped silently. Text declared UTF-8 is read as UTF-8 as soon as it holds one
// UTF-8 sequence, its stray bytes then shown as U+FFFD; a comment after the label, as in
// "koi8-r (Cyrillic)", is no part of it.
QString decodeCharset(QByteArrayView bytes, QByteArrayView charset);

// 8-bit text with no usable declaration (none, an unknown one, or US-ASCII that the bytes belie):
// UTF-8 when it is valid UTF-8, or when its UTF-8 sequences outnumber its bytes that fit none (a
// UTF-8 text with a stray byte, which shows as U+FFFD); otherwise Windows-1252. A pair of bytes
// that happens to form UTF-8 in a text of another charset does not make it UTF-8. A wide East-Asian
// charset is deliberately not tried in between: GB18030 accepts most Latin-1 words whose accented
// letter is followed by another letter ("M\xfcller" would come out as CJK text), which would garble
// common Western names without any error.
QString decodeUndeclared(QByteArrayView bytes);

// True when decodeCharset gives exactly the characters these bytes are in UTF-8: valid UTF-8 read
// as UTF-8 (so declared, or not declared), with no byte-order mark and no control it replaces.
// With inCrLfLines, every line break must also be a CR LF pair already. Most bodies are such text.
bool decodesToItself(QByteArrayView bytes, QByteArrayView charset, bool inCrLfLines);
