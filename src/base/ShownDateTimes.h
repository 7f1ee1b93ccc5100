#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

// The last date-time texts made, each with the value it shows. A listing turns each message's
// date into text and at once reads that text back for the row's day key, and stamps each error-log
// entry with the current time: a text made or read again is found here instead of being formatted
// or parsed anew. Only values in local time, and only formats that show every field from the year
// down to the second and nothing finer, are kept, so a text stands for exactly one whole second
// and reading it back gives that second. A text is found for reading only once the parser has read
// one text of its locale and format back as the value it shows. Per thread.
namespace ShownDateTimes {

// The text of value in format, if it was made lately.
std::optional<QString> findText(const QDateTime& value, const QLocale& locale,
                                const QString& format);
// What text reads back as, if it was made lately.
std::optional<QDateTime> findValue(const QString& text, const QLocale& locale,
                                   const QString& format);
// Remembers that value gave text.
void remember(const QDateTime& value, const QLocale& locale, const QString& format,
              const QString& text);
// Tells that the parser read text as value: the first time for a locale and format, that decides
// whether their texts made lately are found for reading.
void noteReadBack(const QString& text, const QLocale& locale, const QString& format,
                  const QDateTime& value);

} // namespace ShownDateTimes
