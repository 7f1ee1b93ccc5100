#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Bytes of a message to text. Safe to call on any thread.
//
// A declared charset is read as the common superset its senders really use (Shift_JIS as
// Windows-31J, EUC-KR as Unified Hangul, ISO-8859-1 as Windows-1252, ...). Bytes that still cannot
// be decoded become U+FFFD, and so do control characters other than tab, line breaks and form
// feed: nothing is dropped silently.
QString decodeCharset(QByteArrayView bytes, QByteArrayView charset);

// 8-bit text with no usable declaration: UTF-8 when it reads as UTF-8, otherwise Windows-1252.
QString decodeUndeclared(QByteArrayView bytes);
