#include "base/Conversions.h"

#include "base/Failure.h"
#include "base/LocaleTimeFormat.h"
#include "base/ShownDateTimes.h"

#include <QLocale>
#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace Conversions {

namespace {

// A number read from the start of a text, and how many characters it took (0: no number).
struct Reading {
    double value = 0;
    qsizetype length = 0;
};

bool isDecimalDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int digitValue(QChar c, int base) {
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c.unicode() - u'A' + 10;
    return value < base ? value : -1;
}

// &H and &O integers. They are read as plain non-negative numbers: a pattern such as &HFFFF
// gives 65535 here, not a negative 16-bit value.
Reading readRadixInteger(const QString& text) {
    const QChar kind = text.size() > 1 ? text[1].toUpper() : QChar();
    const int base = kind == u'H' ? 16 : 8;
    qsizetype i = 2;
    double value = 0;
    for (; i < text.size() && digitValue(text[i], base) >= 0; ++i)
        value = value * base + digitValue(text[i], base);
    if (i == 2)
        return {};
    return {value, i};
}

// Sign, digits with at most one period, and an exponent introduced by E or D, read as far as
// they fit. The digits are handed to a locale-independent parser.
Reading readDecimal(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';

    std::string digits;
    int integerDigits = 0; // significant digits before the period
    int leadingFractionZeros = 0;
    bool anyDigit = false;
    bool seenPeriod = false;
    bool significant = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'.' && !seenPeriod) {
            seenPeriod = true;
            digits += '.';
            continue;
        }
        if (!isDecimalDigit(c))
            break;
        anyDigit = true;
        digits += static_cast<char>(c.unicode());
        significant = significant || c != u'0';
        if (!seenPeriod && significant)
            ++integerDigits;
        if (seenPeriod && !significant)
            ++leadingFractionZeros;
    }
    if (!anyDigit)
        return {};
    qsizetype length = i;

    long long exponent = 0;
    if (i < text.size() && (text[i].toUpper() == u'E' || text[i].toUpper() == u'D')) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            negativeExponent = text[j++] == u'-';
        const qsizetype firstExponentDigit = j;
        for (; j < text.size() && isDecimalDigit(text[j]); ++j)
            exponent = std::min(exponent * 10 + (text[j].unicode() - u'0'), 100000LL);
        if (j > firstExponentDigit) {
            exponent = negativeExponent ? -exponent : exponent;
            digits += 'e' + std::to_string(exponent);
            length = j;
        } else {
            exponent = 0;
        }
    }

    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        const long long magnitude =
            exponent + (integerDigits > 0 ? integerDigits : -leadingFractionZeros);
        if (magnitude > 0)
            throw Failure::overflow();
        value = 0;
    }
    return {negative ? -value : value, length};
}

Reading readLeadingNumber(const QString& text) {
    if (text.startsWith(u'&') && text.size() > 1 &&
        (text[1].toUpper() == u'H' || text[1].toUpper() == u'O'))
        return readRadixInteger(text);
    return readDecimal(text);
}

// The whole text, blanks around it aside, must be a number.
double readWholeNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    const Reading reading = readLeadingNumber(trimmed);
    if (reading.length == 0 || reading.length != trimmed.size())
        throw Failure::typeMismatch();
    return reading.value;
}

template <class Integer> Integer roundTo(double value) {
    const double rounded = std::nearbyint(value); // the default mode rounds a half to even
    if (!(rounded >= std::numeric_limits<Integer>::min() &&
          rounded <= std::numeric_limits<Integer>::max()))
        throw Failure::overflow();
    return static_cast<Integer>(rounded);
}

} // namespace

QString dateTimeFormat(const QLocale& locale) {
    // Every listed message asks for this format, twice: it is made again only when the
    // locale's formats change.
    thread_local QString dateFormat;
    thread_local QString timeFormat;
    thread_local QString format;
    const QString rawDate = locale.dateFormat(QLocale::ShortFormat);
    const QString rawTime = locale.timeFormat(QLocale::LongFormat);
    if (format.isEmpty() || rawDate != dateFormat || rawTime != timeFormat) {
        static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
        format = QString(rawDate).replace(twoDigitYear, QStringLiteral("yyyy")) + u' ' +
                 timeFormatWithoutZone(rawTime);
        dateFormat = rawDate;
        timeFormat = rawTime;
    }
    return format;
}

double readNumber(const QString& text) {
    QString compact = text;
    compact.remove(u' ').remove(u'\t').remove(u'\n');
    return readLeadingNumber(compact).value;
}

qint32 roundToInt32(double value) {
    return roundTo<qint32>(value);
}

qint16 roundToInt16(double value) {
    return roundTo<qint16>(value);
}

qint16 toInt16(const QString& text) {
    return roundToInt16(readWholeNumber(text));
}

bool toBoolean(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    return readWholeNumber(trimmed) != 0;
}

QString dateTimeText(const QDateTime& value, const QLocale& locale) {
    const QString format = dateTimeFormat(locale);
    if (std::optional<QString> text = ShownDateTimes::findText(value, locale, format))
        return *text;
    const QString text = locale.toString(value, format);
    ShownDateTimes::remember(value, locale, format, text);
    return text;
}

QDateTime readDateTimeText(const QString& text, const QLocale& locale) {
    const QString format = dateTimeFormat(locale);
    if (std::optional<QDateTime> value = ShownDateTimes::findValue(text, locale, format))
        return *value;
    const QDateTime value = locale.toDateTime(text.trimmed(), format);
    if (!value.isValid())
        throw Failure::typeMismatch();
    ShownDateTimes::noteReadBack(text, locale, format, value);
    return value;
}

double toOleDate(const QDateTime& value) {
    static const QDate epoch(1899, 12, 30);
    const double days = static_cast<double>(epoch.daysTo(value.date()));
    const double fraction = value.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the day counts down while the time of day still counts up.
    return days < 0 ? days - fraction : days + fraction;
}

QString wholeDayKey(const QString& dateText) {
    return QString::number(roundToInt32(toOleDate(readDateTimeText(dateText))));
}

} // namespace Conversions
