#pragma once

#include <QDate>
#include <QString>

enum class FilterMode { Keep, Drop };

// Walks text one character at a time: in Keep mode a character stays when it occurs in set, in
// Drop mode when it does not. The order of the characters that stay is kept.
QString filterCharacters(const QString& text, const QString& set, FilterMode mode);

// The name of the counter-th file of a download to separate files: the counter, " - ", the date
// as yyyy-mm-dd, a blank and the subject; then ":" removed, only letters A-Z and a-z, digits,
// "-" and the blank kept, cut to 200 characters, and ".txt" appended.
QString downloadFileName(qint32 counter, const QDate& date, const QString& subject);
