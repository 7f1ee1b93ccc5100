#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Transfer encodings read as leniently as mature mail readers read them. Safe on any thread.

// Base64 with characters outside the alphabet skipped and missing padding supplied: a last group
// of two or three characters still gives its one or two bytes. Padding in the middle (pieces
// written one after another) ends a piece instead of producing zero bytes.
QByteArray decodeBase64Leniently(QByteArrayView text);

// A base64 body, which may have plain text after it: a footer that a mailing list appended. The
// base64 run ends at its first blank line or at the first line that cannot be base64 (more than
// one character outside the alphabet, blanks within the line counted; one is junk the run skips);
// what follows is kept as it stands, on a line of its own, unless it is only blank lines. The run
// is read as decodeBase64Leniently reads it.
QByteArray decodeBase64Body(QByteArrayView text);

// Quoted-printable with the blanks that transport added at line ends removed first, so that
// "= " before a line break is still a soft break. Escapes that are not two hex digits stay as
// they are.
QByteArray decodeQuotedPrintable(QByteArrayView text);
