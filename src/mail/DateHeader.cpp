#include "mail/DateHeader.h"

#include <QTimeZone>

#include <array>
#include <string_view>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool sameLetters(QByteArrayView word, std::string_view name) {
    if (word.size() != qsizetype(name.size()))
        return false;
    for (qsizetype i = 0; i < word.size(); ++i)
        if ((word[i] | 0x20) != name[std::size_t(i)])
            return false;
    return true;
}

// Index of word in names, by its three-letter form or its whole English name; -1 when neither.
template <std::size_t N>
int nameIndex(QByteArrayView word, const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i)
        if (sameLetters(word, names[i].substr(0, 3)) || sameLetters(word, names[i]))
            return int(i);
    return -1;
}

constexpr std::array<std::string_view, 7> dayNames = {"monday", "tuesday",  "wednesday", "thursday",
                                                      "friday", "saturday", "sunday"};
constexpr std::array<std::string_view, 12> monthNames = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};

struct NamedZone {
    std::string_view name;
    int hours;
};
constexpr std::array<NamedZone, 10> namedZones = {{{"ut", 0},
                                                   {"gmt", 0},
                                                   {"est", -5},
                                                   {"edt", -4},
                                                   {"cst", -6},
                                                   {"cdt", -5},
                                                   {"mst", -7},
                                                   {"mdt", -6},
                                                   {"pst", -8},
                                                   {"pdt", -7}}};

// The value's parts in order, with the comments and blanks (CFWS) around each skipped.
class Reader {
public:
    explicit Reader(QByteArrayView text) : text_(text) { skipSpace(); }

    bool atEnd() const { return at_ == text_.size(); }

    bool take(char c) {
        if (atEnd() || text_[at_] != c)
            return false;
        ++at_;
        skipSpace();
        return true;
    }

    // A run of letters; empty when none starts here.
    QByteArrayView word() {
        const qsizetype start = at_;
        while (!atEnd() && isLetter(text_[at_]))
            ++at_;
        const QByteArrayView letters = text_.sliced(start, at_ - start);
        skipSpace();
        return letters;
    }

    // A run of minDigits to maxDigits digits; -1 when none starts here or the run is longer.
    int number(int minDigits, int maxDigits, int* digits = nullptr) {
        const qsizetype start = at_;
        int value = 0;
        while (!atEnd() && isDigit(text_[at_]) && at_ - start <= maxDigits)
            value = value * 10 + (text_[at_++] - '0');
        const auto count = int(at_ - start);
        if (count < minDigits || count > maxDigits)
            return -1;
        if (digits)
            *digits = count;
        skipSpace();
        return value;
    }

    // +1 or -1 for a sign here, taken without the blanks after it; 0 when there is none.
    int sign() {
        if (atEnd() || (text_[at_] != '+' && text_[at_] != '-'))
            return 0;
        return text_[at_++] == '+' ? 1 : -1;
    }

private:
    // Blanks, line breaks of folding, and comments, which nest and may quote a character.
    void skipSpace() {
        int depth = 0;
        for (; !atEnd(); ++at_) {
            const char c = text_[at_];
            if (c == '(') {
                ++depth;
            } else if (depth > 0 && c == ')') {
                --depth;
            } else if (depth > 0 && c == '\\') {
                ++at_;
                if (atEnd())
                    return;
            } else if (depth == 0 && !isBlank(c)) {
                return;
            }
        }
    }

    QByteArrayView text_;
    qsizetype at_ = 0;
};

// A year as written, in full: two digits are 1950 to 2049, three count from 1900.
int fullYear(int year, int digits) {
    if (digits == 2)
        return year < 50 ? 2000 + year : 1900 + year;
    if (digits == 3)
        return 1900 + year;
    return year;
}

// The zone's offset from UTC in seconds. Letters other than the named zones (the military ones,
// whose signs were never agreed on, and local names) say nothing reliable, and neither does a
// missing zone or an offset no place has: such a time is read as UTC. No value when what stands
// there is no zone at all.
std::optional<int> zoneOffset(Reader& reader) {
    if (const int sign = reader.sign(); sign != 0) {
        const int hhmm = reader.number(4, 4);
        if (hhmm < 0)
            return std::nullopt;
        const int offset = sign * (hhmm / 100 * 3600 + hhmm % 100 * 60);
        const bool real = hhmm % 100 < 60 && offset >= QTimeZone::MinUtcOffsetSecs &&
                          offset <= QTimeZone::MaxUtcOffsetSecs;
        return real ? offset : 0;
    }
    const QByteArrayView name = reader.word();
    if (name.size() > 5 || !reader.atEnd())
        return std::nullopt;
    for (const NamedZone& zone : namedZones)
        if (sameLetters(name, zone.name))
            return zone.hours * 3600;
    return 0;
}

// Before Qt 6.5 a time zone made for an offset builds its names, which costs ten times what the
// date with that offset costs; a listing reads thousands of dates.
QDateTime dateTimeAt(QDate date, QTime time, int offset) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime(date, time, QTimeZone::fromSecondsAheadOfUtc(offset));
#else
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
#endif
}

} // namespace

std::optional<QDateTime> readDateHeader(QByteArrayView value) {
    Reader reader(value);
    if (const QByteArrayView dayName = reader.word(); !dayName.isEmpty()) {
        if (nameIndex(dayName, dayNames) < 0)
            return std::nullopt;
        reader.take(',');
    }
    const int day = reader.number(1, 2);
    const int month = nameIndex(reader.word(), monthNames) + 1;
    int yearDigits = 0;
    const int year = reader.number(2, 4, &yearDigits);
    const int hour = reader.number(1, 2);
    if (day < 0 || month == 0 || year < 0 || hour < 0 || !reader.take(':'))
        return std::nullopt;
    const int minute = reader.number(1, 2);
    const int second = reader.take(':') ? reader.number(1, 2) : 0;
    const QDate date(fullYear(year, yearDigits), month, day);
    if (minute < 0 || second < 0 || !date.isValid() || date.year() < 1900 || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;
    const std::optional<int> offset = zoneOffset(reader);
    if (!offset)
        return std::nullopt;
    return dateTimeAt(date, QTime(hour, minute, second == 60 ? 59 : second), *offset);
}
