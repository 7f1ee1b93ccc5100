#include "mail/LiteralWatch.h"

#include <QByteArrayView>

#include <cstring>
#include <limits>

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
        const qsizetype toHead = qMin(taken, headSize - headSize_);
        std::memcpy(head_.data() + headSize_, data, std::size_t(toHead));
        headSize_ += toHead;
        keepTail(data, taken);
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

// The last bytes of the line so far, with size more of them: kept in place, since this runs for
// every line of every message.
void LiteralWatch::keepTail(const char* data, qsizetype size) {
    if (size >= tailSize) {
        std::memcpy(tail_.data(), data + size - tailSize, std::size_t(tailSize));
        tailSize_ = tailSize;
        return;
    }
    const qsizetype dropped = qMax<qsizetype>(0, tailSize_ + size - tailSize);
    std::memmove(tail_.data(), tail_.data() + dropped, std::size_t(tailSize_ - dropped));
    tailSize_ -= dropped;
    std::memcpy(tail_.data() + tailSize_, data, std::size_t(size));
    tailSize_ += size;
}

// A complete line is in head_ and tail_ (which end with its LF).
void LiteralWatch::endLine() {
    // "* n FETCH", read without taking the line apart: this runs for every message.
    const QByteArrayView head(head_.data(), headSize_);
    const qsizetype numberEnd = head.startsWith("* ") ? head.indexOf(' ', 2) : -1;
    if (numberEnd > 2) {
        bool ok = false;
        const quint32 number = head.sliced(2, numberEnd - 2).toUInt(&ok);
        const QByteArrayView rest = head.sliced(numberEnd + 1);
        if (ok && rest.size() >= 5 && qstrnicmp(rest.data(), "FETCH", 5) == 0)
            fetchNumber_ = number;
    }

    QByteArrayView end(tail_.data(), tailSize_ - 1);
    if (end.endsWith('\r'))
        end.chop(1);
    const qsizetype open = end.lastIndexOf('{');
    const bool cut = tailSize_ == tailSize; // the line may begin before the tail
    headSize_ = 0;
    tailSize_ = 0;
    if (!end.endsWith('}'))
        return;
    const QByteArrayView digits = end.sliced(open + 1, end.size() - open - 2);
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
    headSize_ = 0;
    tailSize_ = 0;
    announced_ = 0;
    fetchNumber_ = 0;
}
