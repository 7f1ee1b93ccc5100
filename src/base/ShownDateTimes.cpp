#include "base/ShownDateTimes.h"

#include <array>

namespace ShownDateTimes {

namespace {

struct Shown {
    QLocale locale;
    QString format;
    QString text;
    QDate date;
    QTime time;      // whole seconds
    QDateTime value; // date and time, in local time
};

// Two: a listing's message dates and the error log's time stamps take turns.
thread_local std::array<Shown, 2> recent;
thread_local std::size_t newest = 0;

// Whether the texts of a format read back as the values they show, checked once per format.
struct ReadBack {
    QLocale locale;
    QString format;
    bool exact = false;
};
thread_local ReadBack checked;

// Every field from the year to the second, no milliseconds.
bool showsWholeSeconds(const QString& format) {
    for (const char16_t field : {u'y', u'M', u'd', u'm', u's'})
        if (!format.contains(QChar(field)))
            return false;
    return (format.contains(u'h') || format.contains(u'H')) && !format.contains(u'z');
}

QTime wholeSeconds(const QTime& time) {
    return QTime(time.hour(), time.minute(), time.second());
}

bool kept(const QDateTime& value, const QString& format) {
    return value.isValid() && value.timeSpec() == Qt::LocalTime && showsWholeSeconds(format);
}

} // namespace

std::optional<QString> findText(const QDateTime& value, const QLocale& locale,
                                const QString& format) {
    if (!kept(value, format))
        return std::nullopt;
    const QDate date = value.date();
    const QTime time = wholeSeconds(value.time());
    for (const Shown& shown : recent)
        if (shown.time == time && shown.date == date && shown.format == format &&
            shown.locale == locale)
            return shown.text;
    return std::nullopt;
}

std::optional<QDateTime> findValue(const QString& text, const QLocale& locale,
                                   const QString& format) {
    if (!checked.exact || checked.locale != locale || checked.format != format)
        return std::nullopt;
    for (const Shown& shown : recent)
        if (shown.text == text && shown.locale == locale && shown.format == format)
            return shown.value;
    return std::nullopt;
}

void remember(const QDateTime& value, const QLocale& locale, const QString& format,
              const QString& text) {
    if (!kept(value, format))
        return;
    const QDate date = value.date();
    const QTime time = wholeSeconds(value.time());
    newest = (newest + 1) % recent.size();
    recent[newest] = {locale, format, text, date, time, QDateTime(date, time)};
}

void noteReadBack(const QString& text, const QLocale& locale, const QString& format,
                  const QDateTime& value) {
    if (checked.locale == locale && checked.format == format)
        return;
    for (const Shown& shown : recent)
        if (shown.text == text && shown.locale == locale && shown.format == format) {
            checked = {locale, format, value.date() == shown.date && value.time() == shown.time};
            return;
        }
}

} // namespace ShownDateTimes
