#pragma once

#include <QByteArrayView>
#include <QDateTime>

#include <optional>

// A Date header's value, folded or not, read as RFC 5322 writes it, obsolete forms included: no
// day name, no seconds, comments and blanks between any two parts, two- and three-digit years
// (00-49 are 2000-2049, 50-99 are 1950-1999, three digits count from 1900), and named zones (UT,
// GMT and the North American ones; military and other letters mean an unknown zone, read as UTC).
// A leap second, 23:59:60, is shown as 23:59:59. Text after a numeric zone is ignored. No value
// when the text does not have that form or names no real date. Safe to call on any thread; takes
// no allocation but the date's own.
std::optional<QDateTime> readDateHeader(QByteArrayView value);
