#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The conversions of the program's window logic, with exact semantics. Each one that can fail
// throws Failure ("Overflow", "Type mismatch") so that a guarded statement reports it.
namespace Conversions {

// Lenient number reading: blanks, tabs and line feeds are ignored anywhere; then an optional
// sign, digits with at most one period and an optional exponent (E or D) are read up to the first
// character that does not fit; &H and &O introduce hexadecimal and octal integers; no leading
// number reads as 0. The period is the decimal point in every locale.
double readNumber(const QString& text);

// Rounds to the nearest integer, a half going to the even neighbour; Overflow outside the range.
qint32 roundToInt32(double value);
qint16 roundToInt16(double value);

// Text to a 16-bit number (a stored setting): Type mismatch when the text is not a number,
// Overflow when it is out of range.
qint16 toInt16(const QString& text);

// Text to a Boolean: "True"/"False" in any letter case, or a number (0 is False).
// Type mismatch otherwise.
bool toBoolean(const QString& text);

// The platform's default date-time text: the locale's short date with a four-digit year, a
// blank, and the locale's long time without its time zone.
QString dateTimeText(const QDateTime& value, const QLocale& locale = QLocale::system());
// Reads such a text back (Type mismatch when it is not one).
QDateTime readDateTimeText(const QString& text, const QLocale& locale = QLocale::system());
// The format of that text in a locale.
QString dateTimeFormat(const QLocale& locale);

// Days since 30 December 1899 with the time of day as the fraction.
double toOleDate(const QDateTime& value);

// The whole-day key of a date text: its OLE Automation date rounded half to even, as digits.
QString wholeDayKey(const QString& dateText);

} // namespace Conversions
