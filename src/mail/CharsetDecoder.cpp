#include "mail/CharsetDecoder.h"

#include "mail/Iso2022Jp.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// GLib names a member "signals"; Qt's keyword macro must not reach its headers.
#undef signals
#include <gmime/gmime.h>

namespace {

constexpr char replacementUtf8[] = "\xef\xbf\xbd";

// How a declared charset is read.
struct Reading {
    const char* iconvName = nullptr; // nullptr: as undeclared 8-bit text
    bool doubleByte = false;         // a failed lead byte takes a non-ASCII trail byte with it
    bool iso2022Jp = false;          // rewritten to EUC-JP-MS first
    bool utf8 = false;               // declared UTF-8: stray bytes do not make it another charset
};

struct Superset {
    const char* label;
    Reading reading;
};

// Labels whose senders really write a wider charset of the same family. Every name here is one
// iconv knows; the characters come from its tables.
const Superset supersets[] = {
    {"utf-8", {nullptr, false, false, true}},
    {"utf8", {nullptr, false, false, true}},
    {"us-ascii", {}},
    {"ascii", {}},
    {"ansi_x3.4-1968", {}},
    {"iso-8859-1", {"WINDOWS-1252"}},
    {"latin1", {"WINDOWS-1252"}},
    {"l1", {"WINDOWS-1252"}},
    {"iso-8859-9", {"WINDOWS-1254"}},
    {"latin5", {"WINDOWS-1254"}},
    {"iso-8859-11", {"CP874"}},
    {"tis-620", {"CP874"}},
    {"shift_jis", {"CP932", true}},
    {"shift-jis", {"CP932", true}},
    {"sjis", {"CP932", true}},
    {"x-sjis", {"CP932", true}},
    {"ms_kanji", {"CP932", true}},
    {"csshiftjis", {"CP932", true}},
    {"windows-31j", {"CP932", true}},
    {"cswindows31j", {"CP932", true}},
    {"cp932", {"CP932", true}},
    {"x-ms-cp932", {"CP932", true}},
    {"euc-jp", {"EUC-JP-MS", true}},
    {"x-euc-jp", {"EUC-JP-MS", true}},
    {"eucjp", {"EUC-JP-MS", true}},
    {"iso-2022-jp", {"EUC-JP-MS", true, true}},
    {"csiso2022jp", {"EUC-JP-MS", true, true}},
    {"euc-kr", {"CP949", true}},
    {"euckr", {"CP949", true}},
    {"cseuckr", {"CP949", true}},
    {"ks_c_5601-1987", {"CP949", true}},
    {"ks_c_5601-1989", {"CP949", true}},
    {"ks_c_5601", {"CP949", true}},
    {"ksc5601", {"CP949", true}},
    {"ksc_5601", {"CP949", true}},
    {"korean", {"CP949", true}},
    {"windows-949", {"CP949", true}},
    {"cp949", {"CP949", true}},
    {"gb2312", {"GB18030", true}},
    {"csgb2312", {"GB18030", true}},
    {"euc-cn", {"GB18030", true}},
    {"gbk", {"GB18030", true}},
    {"x-gbk", {"GB18030", true}},
    {"cp936", {"GB18030", true}},
    {"gb18030", {"GB18030", true}},
    {"big5", {"BIG5-HKSCS", true}},
    {"csbig5", {"BIG5-HKSCS", true}},
    {"x-x-big5", {"BIG5-HKSCS", true}},
    {"cn-big5", {"BIG5-HKSCS", true}},
    {"unicode-1-1-utf-7", {"UTF-7"}},
};

const Superset* findSuperset(QByteArrayView label) {
    for (const Superset& superset : supersets)
        if (label.compare(superset.label, Qt::CaseInsensitive) == 0)
            return &superset;
    return nullptr;
}

// The label of a charset parameter: a comment after it, as in "koi8-r (Cyrillic)", is not part
// of the name, and neither are the blanks around it.
QByteArrayView labelOf(QByteArrayView charset) {
    charset = charset.trimmed();
    for (qsizetype i = 0; i < charset.size(); ++i)
        if (charset[i] == '(' || charset[i] == ' ' || charset[i] == '\t')
            return charset.first(i);
    return charset;
}

// The reading of a label; GMime's canonical name catches spellings such as "ISO_8859-1:1987".
Reading readingOf(QByteArrayView charset, QByteArray& iconvName) {
    const QByteArrayView label = labelOf(charset);
    if (label.isEmpty())
        return {};
    if (const Superset* superset = findSuperset(label))
        return superset->reading;
    const QByteArray lowered = label.toByteArray().toLower();
    iconvName = QByteArray(g_mime_charset_canon_name(lowered.constData())).toLower();
    if (const Superset* superset = findSuperset(iconvName))
        return superset->reading;
    return {iconvName.constData()};
}

void appendReplacement(QByteArray& out) {
    out.append(replacementUtf8, 3);
}

// iconv into UTF-8; every byte it refuses becomes U+FFFD. False when iconv has no such charset.
bool convertToUtf8(QByteArrayView bytes, const Reading& reading, QByteArray& out) {
    iconv_t cd = g_mime_iconv_open("UTF-8", reading.iconvName);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.resize(bytes.size() * 2 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    qsizetype written = 0;
    const auto convert = [&](char** input, size_t* inputLeft) {
        for (;;) {
            char* outPtr = out.data() + written;
            size_t outLeft = static_cast<size_t>(out.size() - written);
            const size_t result = iconv(cd, input, inputLeft, &outPtr, &outLeft);
            const int error = errno;
            written = outPtr - out.data();
            if (result != static_cast<size_t>(-1))
                return 0;
            if (error != E2BIG)
                return error;
            out.resize(out.size() * 2);
        }
    };
    while (inLeft > 0) {
        const int error = convert(&in, &inLeft);
        if (error == 0)
            break;
        out.resize(written);
        appendReplacement(out);
        written = out.size();
        out.resize(written + static_cast<qsizetype>(inLeft) * 2 + 16);
        if (error != EILSEQ) // an incomplete sequence at the end, or worse: nothing more to read
            break;
        const auto lead = static_cast<unsigned char>(in[0]);
        const size_t skip = reading.doubleByte && lead >= 0x81 && inLeft > 1 &&
                                    static_cast<unsigned char>(in[1]) >= 0x80
                                ? 2
                                : 1;
        in += skip;
        inLeft -= skip;
    }
    convert(nullptr, nullptr); // the final shift sequence of a stateful charset
    out.resize(written);
    g_mime_iconv_close(cd);
    return true;
}

// True when each of the eight bytes of word is printable ASCII (0x20 to 0x7e).
bool printableAscii(quint64 word) {
    constexpr quint64 ones = 0x0101010101010101;
    constexpr quint64 high = 0x8080808080808080;
    const quint64 belowSpace = (word - 0x20 * ones) & ~word & high;
    const quint64 aboveTilde = ((word + ones) | word) & high;
    return (belowSpace | aboveTilde) == 0;
}

// True when the sixteen bytes at data are printable ASCII, tabs, form feeds and line breaks, with
// inCrLfLines only CR LF pairs that lie wholly among them.
bool plainBlock(const char* data, bool inCrLfLines) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    const auto is = [bytes](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    // Signed compares: bytes from 0x80 on are negative, below the space.
    const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1f)),
                                            _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7f)));
    const auto text =
        unsigned(_mm_movemask_epi8(_mm_or_si128(printable, _mm_or_si128(is('\t'), is('\f')))));
    const auto cr = unsigned(_mm_movemask_epi8(is('\r')));
    const auto lf = unsigned(_mm_movemask_epi8(is('\n')));
    if ((text | cr | lf) != 0xffff)
        return false;
    // Each CR directly before an LF and each LF directly after a CR; a CR in the last byte leaves
    // a bit that no LF of these sixteen has, and the bytes are looked at one by one.
    return !inCrLfLines || cr << 1 == lf;
#else
    Q_UNUSED(data);
    Q_UNUSED(inCrLfLines);
    return false;
#endif
}

// The length of the whole multi-byte UTF-8 sequence that starts at bytes[i]; 0 when none does.
int utf8SequenceAt(QByteArrayView bytes, qsizetype i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const int trail = lead >= 0xc2 && lead <= 0xdf   ? 1
                      : lead >= 0xe0 && lead <= 0xef ? 2
                      : lead >= 0xf0 && lead <= 0xf4 ? 3
                                                     : 0;
    if (trail == 0 || i + trail >= bytes.size())
        return 0;
    return g_utf8_validate(bytes.data() + i, trail + 1, nullptr) ? trail + 1 : 0;
}

// The multi-byte UTF-8 sequences the bytes hold, and their bytes that belong to none.
struct Utf8Count {
    qsizetype sequences = 0;
    qsizetype strays = 0;
};

Utf8Count countUtf8(QByteArrayView bytes) {
    Utf8Count count;
    for (qsizetype i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
        } else if (const int length = utf8SequenceAt(bytes, i); length > 0) {
            ++count.sequences;
            i += length;
        } else {
            ++count.strays;
            ++i;
        }
    }
    return count;
}

// UTF-8 with each broken sequence (the longest start of a valid sequence, or else one byte)
// shown as one U+FFFD, as the Encoding Standard decodes it.
QString utf8WithReplacements(QByteArrayView bytes) {
    QByteArray repaired;
    repaired.reserve(bytes.size() + 16);
    for (qsizetype i = 0; i < bytes.size();) {
        const char* end = nullptr;
        g_utf8_validate_len(bytes.data() + i, static_cast<gssize>(bytes.size() - i), &end);
        const qsizetype valid = end - (bytes.data() + i);
        repaired.append(bytes.sliced(i, valid));
        i += valid;
        if (i >= bytes.size())
            break;
        appendReplacement(repaired);
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int trail = lead >= 0xc2 && lead <= 0xdf   ? 1
                          : lead >= 0xe0 && lead <= 0xef ? 2
                          : lead >= 0xf0 && lead <= 0xf4 ? 3
                                                         : 0;
        // The second byte's range depends on the lead; later ones are plain continuations.
        const unsigned char low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
        ++i;
        for (int k = 0; k < trail && i < bytes.size(); ++k, ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            if (c < (k == 0 ? low : 0x80) || c > (k == 0 ? high : 0xbf))
                break;
        }
    }
    return QString::fromUtf8(repaired);
}

constexpr auto unreadable = [](char16_t c) {
    if (c >= 0x20 && c < 0x7f)
        return false;
    const bool allowed = c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
    return (c < 0x20 && !allowed) || (c >= 0x7f && c <= 0x9f);
};

// Controls other than tab, line breaks and form feed, and a leading byte-order mark. Most texts
// hold none and are given back as they are.
QString readable(QString text) {
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    const char16_t* begin = QStringView(text).utf16();
    const char16_t* end = begin + text.size();
    const char16_t* first = std::find_if(begin, end, unreadable);
    if (first == end)
        return text;
    for (qsizetype i = first - begin; i < text.size(); ++i) {
        if (unreadable(text.at(i).unicode()))
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

// Bytes that are not valid UTF-8: UTF-8 with U+FFFD for its broken bytes when it is UTF-8 enough,
// otherwise Windows-1252.
QString repairedOrWindows1252(QByteArrayView bytes, bool utf8Enough) {
    if (utf8Enough)
        return readable(utf8WithReplacements(bytes));
    QByteArray utf8;
    if (!convertToUtf8(bytes, {"WINDOWS-1252"}, utf8))
        return readable(QString::fromLatin1(bytes));
    return readable(QString::fromUtf8(utf8));
}

bool isUtf8(QByteArrayView bytes) {
    return g_utf8_validate_len(bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
}

} // namespace

QString decodeUndeclared(QByteArrayView bytes) {
    if (isUtf8(bytes))
        return readable(QString::fromUtf8(bytes));
    const Utf8Count count = countUtf8(bytes);
    return repairedOrWindows1252(bytes, count.sequences > count.strays);
}

QString decodeCharset(QByteArrayView bytes, QByteArrayView charset) {
    QByteArray iconvName;
    const Reading reading = readingOf(charset, iconvName);
    if (reading.utf8) {
        if (isUtf8(bytes))
            return readable(QString::fromUtf8(bytes));
        return repairedOrWindows1252(bytes, countUtf8(bytes).sequences > 0);
    }
    if (!reading.iconvName)
        return decodeUndeclared(bytes);
    QByteArray utf8;
    const bool known = reading.iso2022Jp ? convertToUtf8(iso2022JpAsEucJpMs(bytes), reading, utf8)
                                         : convertToUtf8(bytes, reading, utf8);
    if (!known)
        return decodeUndeclared(bytes);
    return readable(QString::fromUtf8(utf8));
}

bool decodesToItself(QByteArrayView bytes, QByteArrayView charset, bool inCrLfLines) {
    QByteArray iconvName;
    const Reading reading = readingOf(charset, iconvName);
    if ((!reading.utf8 && reading.iconvName) || bytes.startsWith("\xef\xbb\xbf"))
        return false;
    // One pass, sixteen or eight bytes at a time through plain ASCII text, for valid UTF-8 without
    // the controls readable() replaces: C0 but tab, line breaks and form feed, DEL, and C1 (0xc2
    // 0x80 to 0xc2 0x9f); and for the line breaks.
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        if (i + 16 <= size && plainBlock(bytes.data() + i, inCrLfLines)) {
            i += 16;
            continue;
        }
        if (i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, bytes.data() + i, 8);
            if (printableAscii(word)) {
                i += 8;
                continue;
            }
        }
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7f) {
            ++i;
        } else if (c == '\t' || c == '\f') {
            ++i;
        } else if (c == '\r' || c == '\n') {
            const bool crLf = c == '\r' && i + 1 < size && bytes[i + 1] == '\n';
            if (inCrLfLines && !crLf)
                return false;
            i += crLf ? 2 : 1;
        } else if (const int length = c < 0x80 ? 0 : utf8SequenceAt(bytes, i);
                   length > 0 && !(c == 0xc2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9f)) {
            i += length;
        } else {
            return false;
        }
    }
    return true;
}
