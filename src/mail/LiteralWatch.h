#pragma once

#include <QtGlobal>

#include <array>

// Follows what a server sends, as it arrives, for the announcement of a literal ("{size}" at the
// end of a line) larger than a limit, before any of its bytes are kept. The bytes of the literals
// it lets pass are skipped, so a message that talks about literals is never taken for one. It also
// keeps the number of the last "* n FETCH" line, which names the message a literal belongs to.
class LiteralWatch {
public:
    explicit LiteralWatch(quint64 limit) : limit_(limit) {}

    // The next bytes received; true when they complete the announcement of a literal larger than
    // the limit.
    bool feed(const char* data, qsizetype size);
    // Forgets everything, for a new connection.
    void reset();

    // The size of the last literal announced beyond the limit (anything beyond 64 bits counts as
    // the largest number), 0 when none was.
    quint64 announced() const { return announced_; }
    // The message number of the last "* n FETCH" line, 0 when none came.
    quint32 fetchNumber() const { return fetchNumber_; }

    // Enough for "* 4294967295 FETCH", and for "{18446744073709551615}\r\n".
    static constexpr qsizetype headSize = 24;
    static constexpr qsizetype tailSize = 24;

private:
    void endLine();
    void keepTail(const char* data, qsizetype size);

    quint64 limit_;
    quint64 literalLeft_ = 0;              // bytes of the literal being received, not yet seen
    std::array<char, headSize> head_ = {}; // the first bytes of the line being received
    qsizetype headSize_ = 0;
    std::array<char, tailSize> tail_ = {}; // its last bytes
    qsizetype tailSize_ = 0;
    quint64 announced_ = 0;
    quint32 fetchNumber_ = 0;
};
