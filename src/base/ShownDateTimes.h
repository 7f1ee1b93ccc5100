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
// and reading it back gives that second; a format whose texts do not read back so is never used
// for reading. Per thread.
namespace ShownDateTimes {

// The text of value in format, if it was made lately.
std::optional<QString> findText(const QDateTime& value, const QLocale& locale,
                                const QString& format);
// What text reads back as, if it was made lately.
std::optional<QDateTime> findValue(const QString& text, const QLocale& locale,
                                   const QString& format);
// Remembers that value gave text; read is the parser, asked once per locale and format whether
// the texts read back as the values they show.
void remember(const QDateTime& value, const QLocale& locale, const QString& format,
              const QString& text, QDateTime (*read)(const QString&, const QLocale&));

} // namespace ShownDateTimes
