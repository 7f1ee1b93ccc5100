#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Header values as they arrive (folded, raw 8-bit bytes, encoded words) turned into text. Safe to
// call on any thread. Unfolding removes only the line breaks; 8-bit bytes are read as UTF-8 when
// they are UTF-8, otherwise as Windows-1252.

// An unstructured header such as Subject, decoded for display on one line.
QString headerText(QByteArrayView rawValue);

// An address header such as From, unfolded and in UTF-8, with every encoded word of a display
// name or comment replaced by its text (quoted where needed), ready for an address parser that
// then sees no encoded word and no foreign 8-bit byte.
QByteArray addressHeaderUtf8(QByteArrayView rawValue);
