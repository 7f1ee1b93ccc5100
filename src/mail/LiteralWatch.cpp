#include "mail/LiteralWatch.h"

#include <cstring>
#include <limits>

namespace {

// Enough for "* 4294967295 FETCH", and for "{18446744073709551615}\r".
constexpr qsizetype headSize = 24;
constexpr qsizetype tailSize = 24;

} // namespace

bool LiteralWatch::feed(const char* data, qsizetype size) {
    bool beyond = false;
    while (size > 0) {
        if (literalLeft_ > 0) {
            const auto skipped = qsizetype(qMin<quint64>(literalLeft_, quint64(size)));
            literalLeft_ -= quint64(skipped);
            data += skipped;
            size -= skipped;
            continue;
        }
        const auto* newline = static_cast<const char*>(std::memchr(data, '\n', std::size_t(size)));
        const qsizetype taken = newline ? newline - data + 1 : size;
        if (head_.size() < headSize)
            head_.append(data, qMin(taken, headSize - head_.size()));
        tail_.append(data + qMax<qsizetype>(0, taken - tailSize), qMin(taken, tailSize));
        if (tail_.size() > tailSize)
            tail_.remove(0, tail_.size() - tailSize);
        data += taken;
        size -= taken;
        if (newline) {
            const quint64 before = announced_;
            endLine();
            beyond = beyond || announced_ != before;
        }
    }
    return beyond;
}

// A complete line is in head_ and tail_ (which end with its LF).
void LiteralWatch::endLine() {
    // "* n FETCH", read without taking the line apart: this runs for every message.
    const QByteArrayView head(head_);
    const qsizetype numberEnd = head.startsWith("* ") ? head.indexOf(' ', 2) : -1;
    if (numberEnd > 2) {
        bool ok = false;
        const quint32 number = head.sliced(2, numberEnd - 2).toUInt(&ok);
        const QByteArrayView rest = head.sliced(numberEnd + 1);
        if (ok && rest.size() >= 5 && qstrnicmp(rest.data(), "FETCH", 5) == 0)
            fetchNumber_ = number;
    }

    QByteArray end = tail_.chopped(1);
    if (end.endsWith('\r'))
        end.chop(1);
    const qsizetype open = end.lastIndexOf('{');
    const bool cut = tail_.size() == tailSize; // the line may begin before the tail
    head_.clear();
    tail_.clear();
    if (!end.endsWith('}'))
        return;
    const QByteArray digits = end.mid(open + 1, end.size() - open - 2);
    if (digits.isEmpty() || (open < 0 && !cut))
        return;
    // Digits that fill the whole tail announce more than any number here holds.
    quint64 size = open < 0 ? std::numeric_limits<quint64>::max() : 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return;
        const quint64 digit = quint64(c - '0');
        size = size > (std::numeric_limits<quint64>::max() - digit) / 10
                   ? std::numeric_limits<quint64>::max()
                   : size * 10 + digit;
    }
    if (size > limit_)
        announced_ = size;
    else
        literalLeft_ = size;
}

void LiteralWatch::reset() {
    literalLeft_ = 0;
    head_.clear();
    tail_.clear();
    announced_ = 0;
    fetchNumber_ = 0;
}
