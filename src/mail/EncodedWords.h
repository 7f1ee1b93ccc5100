#pragma once

#include <QString>
#include <QStringView>

// RFC 2047 encoded words ("=?charset?B?...?=", "=?charset?Q?...?="), read leniently: base64
// without its padding, a language tag after the charset, a word that is not separated from the
// text around it. Safe to call on any thread.

// Decodes the run of encoded words that starts at text[from]: adjacent words with only blanks
// between them make one text, and the bytes of words in one charset are joined before they are
// decoded, so a character split between two words survives. Returns the end of the run, or from
// itself when no encoded word starts there.
qsizetype decodeEncodedWordRun(QStringView text, qsizetype from, QString& decoded);
