#pragma once

#include <QByteArray>

// The raw message with its header block ended where a mature mail reader ends it: at the empty
// line, or else before the first line that is neither a header field nor its continuation. So a
// body line that follows the headers without the empty line, and a message with no header block
// at all, keep their text as the body. A message that needs no change comes back as it is.
QByteArray withHeaderBlockEnded(const QByteArray& raw);
