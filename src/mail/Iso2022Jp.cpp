#include "mail/Iso2022Jp.h"

namespace {

enum class Set { Ascii, Katakana, Jis0208, Jis0212 };

constexpr char escape = '\x1b';
constexpr char shiftOut = '\x0e'; // katakana until shift in
constexpr char shiftIn = '\x0f';

char high(char c) {
    return static_cast<char>(static_cast<unsigned char>(c) | 0x80);
}

// The set an escape sequence at the start of text selects, and its length; 0 when unknown.
qsizetype designation(QByteArrayView text, Set& set) {
    struct Designation {
        QByteArrayView sequence;
        Set set;
    };
    static const Designation designations[] = {
        {"\x1b(B", Set::Ascii},    {"\x1b(J", Set::Ascii},    {"\x1b(H", Set::Ascii},
        {"\x1b(I", Set::Katakana}, {"\x1b$@", Set::Jis0208},  {"\x1b$B", Set::Jis0208},
        {"\x1b$(B", Set::Jis0208}, {"\x1b$(D", Set::Jis0212},
    };
    for (const Designation& d : designations)
        if (text.startsWith(d.sequence)) {
            set = d.set;
            return d.sequence.size();
        }
    return 0;
}

} // namespace

QByteArray iso2022JpAsEucJpMs(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    Set set = Set::Ascii;
    Set beforeShift = Set::Ascii;
    bool shifted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == escape) {
            if (const qsizetype length = designation(bytes.sliced(i), set)) {
                shifted = false;
                i += length - 1;
                continue;
            }
        }
        if (c == shiftOut && !shifted) {
            beforeShift = set;
            set = Set::Katakana;
            shifted = true;
            continue;
        }
        if (c == shiftIn && shifted) {
            set = beforeShift;
            shifted = false;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out += '\xff';
            continue;
        }
        // A line break ends any multi-byte run, so one broken line cannot garble the next.
        if (byte < 0x21 || byte == 0x7f || set == Set::Ascii) {
            if (c == '\n' || c == '\r')
                set = Set::Ascii;
            out += c;
            continue;
        }
        if (set == Set::Katakana) {
            out += '\x8e';
            out += high(c);
            continue;
        }
        if (set == Set::Jis0212)
            out += '\x8f';
        out += high(c);
        if (i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0x21 &&
            static_cast<unsigned char>(bytes[i + 1]) < 0x7f)
            out += high(bytes[++i]);
        else
            out += '\xff';
    }
    return out;
}
