// HTML to readable text in one pass over the markup, in time linear in its length whatever the
// nesting: no tree is built and no element is remembered beyond the preformatted depth, so
// thousands of unclosed or nested elements cost what their characters cost.
#include "mail/MimeText.h"

#include "mail/HtmlEntities.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

enum class Kind {
    Inline,  // no effect on the text: b, a, span, font, img...
    Block,   // starts and ends a line: p, div, li, td...
    Break,   // br: ends the line, also an empty one
    Pre,     // keeps its white space and line ends
    Skipped, // its content is not text: script, style...
};

struct Element {
    std::string_view name;
    Kind kind;
};

// Sorted by name.
constexpr Element elements[] = {
    {"address", Kind::Block},    {"article", Kind::Block},    {"aside", Kind::Block},
    {"blockquote", Kind::Block}, {"body", Kind::Block},       {"br", Kind::Break},
    {"caption", Kind::Block},    {"center", Kind::Block},     {"dd", Kind::Block},
    {"details", Kind::Block},    {"dialog", Kind::Block},     {"dir", Kind::Block},
    {"div", Kind::Block},        {"dl", Kind::Block},         {"dt", Kind::Block},
    {"fieldset", Kind::Block},   {"figcaption", Kind::Block}, {"figure", Kind::Block},
    {"footer", Kind::Block},     {"form", Kind::Block},       {"h1", Kind::Block},
    {"h2", Kind::Block},         {"h3", Kind::Block},         {"h4", Kind::Block},
    {"h5", Kind::Block},         {"h6", Kind::Block},         {"header", Kind::Block},
    {"hr", Kind::Block},         {"html", Kind::Block},       {"legend", Kind::Block},
    {"li", Kind::Block},         {"listing", Kind::Pre},      {"main", Kind::Block},
    {"menu", Kind::Block},       {"nav", Kind::Block},        {"ol", Kind::Block},
    {"p", Kind::Block},          {"plaintext", Kind::Pre},    {"pre", Kind::Pre},
    {"script", Kind::Skipped},   {"section", Kind::Block},    {"style", Kind::Skipped},
    {"summary", Kind::Block},    {"table", Kind::Block},      {"tbody", Kind::Block},
    {"td", Kind::Block},         {"template", Kind::Skipped}, {"tfoot", Kind::Block},
    {"th", Kind::Block},         {"thead", Kind::Block},      {"title", Kind::Skipped},
    {"tr", Kind::Block},         {"ul", Kind::Block},         {"xmp", Kind::Pre},
};

Kind kindOf(QStringView name) {
    constexpr qsizetype longest = 10;
    if (name.size() > longest)
        return Kind::Inline;
    char lower[longest];
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c > 127)
            return Kind::Inline;
        lower[i] = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    const std::string_view key(lower, std::size_t(name.size()));
    const auto found =
        std::lower_bound(std::begin(elements), std::end(elements), key,
                         [](const Element& e, std::string_view k) { return e.name < k; });
    return found != std::end(elements) && found->name == key ? found->kind : Kind::Inline;
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Copies whole blocks of eight characters from c on to out while each of them stands as it is in
// flowing text: a character of a word, or a single blank before one. Answers how many it copied;
// the characters after them need a closer look. Flowing text is mostly such blocks.
qsizetype copyPlainBlocks(const char16_t* c, const char16_t* end, char16_t* out) {
    qsizetype copied = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i blank = _mm_set1_epi16(0x20);
    const auto notWord = [blank](__m128i x) {
        // At most a blank (white space, controls, NUL), the start of markup or a reference, or
        // a no-break space.
        const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(x, blank), _mm_setzero_si128());
        const __m128i lt = _mm_cmpeq_epi16(x, _mm_set1_epi16(u'<'));
        const __m128i amp = _mm_cmpeq_epi16(x, _mm_set1_epi16(u'&'));
        const __m128i nbsp = _mm_cmpeq_epi16(x, _mm_set1_epi16(0xA0));
        return _mm_or_si128(_mm_or_si128(low, lt), _mm_or_si128(amp, nbsp));
    };
    // The character after a block is read too, to tell whether a blank at its end stands before
    // a word.
    while (end - c - copied > 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + copied));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + copied + 1));
        const __m128i blankBeforeWord = _mm_andnot_si128(notWord(next), _mm_cmpeq_epi16(x, blank));
        const __m128i stuck = _mm_andnot_si128(blankBeforeWord, notWord(x));
        if (_mm_movemask_epi8(stuck) != 0)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + copied), x);
        copied += 8;
    }
#else
    Q_UNUSED(c);
    Q_UNUSED(end);
    Q_UNUSED(out);
#endif
    return copied;
}

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiAlnum(char16_t c) {
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

// What browsers make of the numbers 128 to 159, which pages mean as Windows-1252.
constexpr char16_t windows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Collects the text: white space collapses to one blank between words, blocks start lines, no
// line ends with a blank, the text neither starts nor ends with a line break, and lines end with
// CR LF. The runs of text between markup are copied whole into a buffer it grows itself, which is
// what the conversion mostly does.
class TextWriter {
public:
    // A page's text outside preformatted blocks is never longer than its markup, so the text is
    // seldom moved.
    explicit TextWriter(qsizetype sizeGuess) {
        text_.resize(sizeGuess + 16);
        cursor_ = begin();
    }

    // Writes the text of the start of 'from' up to its first '<' or '&', and says how long it was.
    qsizetype text(QStringView from, bool preformatted) {
        const char16_t* const start = from.utf16();
        const char16_t* const end = start + from.size();
        return (preformatted ? preformattedText(start, end) : flowingText(start, end)) - start;
    }

    void character(char32_t c, bool preformatted) {
        if (c == 0)
            return;
        if (preformatted) {
            if (c == U'\n') {
                ++breaks_;
                lineHasText_ = false;
                return;
            }
            if (c != U'\r')
                put(c == 0xA0 ? U' ' : c);
            return;
        }
        if (c < 0x80 && isSpace(char16_t(c))) {
            space_ = lineHasText_;
            return;
        }
        put(c == 0xA0 ? U' ' : c); // a no-break space stays, however many there are
    }
    void blockBoundary() {
        if (lineHasText_)
            ++breaks_;
        lineHasText_ = false;
        space_ = false;
    }
    void lineBreak() {
        ++breaks_;
        lineHasText_ = false;
        space_ = false;
    }
    QString take() {
        text_.resize(cursor_ - begin());
        text_.squeeze();
        return std::move(text_);
    }

private:
    // Neither white space, nor NUL, nor a no-break space, nor the start of markup or a reference:
    // a character that is copied as it stands.
    static bool isWordCharacter(char16_t c) {
        if (c > u' ')
            return c != u'<' && c != u'&' && c != 0xA0;
        return c != 0 && !isSpace(c);
    }

    const char16_t* flowingText(const char16_t* c, const char16_t* end) {
        while (c != end && *c != u'<' && *c != u'&') {
            if (isSpace(*c)) {
                space_ = lineHasText_;
                ++c;
                continue;
            }
            if (*c == 0) {
                ++c;
                continue;
            }
            // A word and the words after it that are each one blank apart.
            char16_t* out = startText(end - c);
            for (; c != end; ++c) {
                const qsizetype plain = copyPlainBlocks(c, end, out);
                c += plain;
                out += plain;
                if (c == end)
                    break;
                if (isWordCharacter(*c) || (*c == u' ' && c + 1 != end && isWordCharacter(c[1])))
                    *out++ = *c;
                else if (*c == 0xA0) // a no-break space stays, however many there are
                    *out++ = u' ';
                else if (*c != 0)
                    break;
            }
            cursor_ = out;
        }
        return c;
    }

    const char16_t* preformattedText(const char16_t* c, const char16_t* end) {
        while (c != end && *c != u'<' && *c != u'&') {
            if (*c == u'\n') {
                ++breaks_;
                lineHasText_ = false;
                ++c;
                continue;
            }
            if (*c == u'\r' || *c == 0) {
                ++c;
                continue;
            }
            char16_t* out = startText(end - c);
            for (; c != end && *c != u'<' && *c != u'&' && *c != u'\n' && *c != u'\r'; ++c) {
                if (*c != 0)
                    *out++ = *c == 0xA0 ? u' ' : *c;
            }
            cursor_ = out;
        }
        return c;
    }

    void put(char32_t c) {
        char16_t* out = startText(2);
        if (QChar::requiresSurrogates(c)) {
            *out++ = QChar::highSurrogate(c);
            *out++ = QChar::lowSurrogate(c);
        } else {
            *out++ = char16_t(c);
        }
        cursor_ = out;
    }

    // Writes the line breaks and the blank that come before more text, of which there is room for
    // 'length' characters after them; returns where that text goes.
    char16_t* startText(qsizetype length) {
        if (cursor_ == begin())
            breaks_ = 0;
        const qsizetype needed = 2 * qsizetype(breaks_) + 1 + length;
        if (end() - cursor_ < needed) {
            const qsizetype used = cursor_ - begin();
            text_.resize(std::max(used + needed, 2 * text_.size()));
            cursor_ = begin() + used;
        }
        char16_t* out = cursor_;
        for (; breaks_ > 0; --breaks_) {
            *out++ = u'\r';
            *out++ = u'\n';
        }
        if (space_)
            *out++ = u' ';
        space_ = false;
        lineHasText_ = true;
        return out;
    }

    char16_t* begin() { return reinterpret_cast<char16_t*>(text_.data()); }
    char16_t* end() { return begin() + text_.size(); }

    QString text_;               // its size is the room; the text ends at cursor_
    char16_t* cursor_ = nullptr; // in text_
    int breaks_ = 0;
    bool space_ = false;
    bool lineHasText_ = false;
};

class Converter {
public:
    explicit Converter(QStringView html) : html_(html), writer_(html.size()) {}

    QString run() {
        while (at_ < html_.size()) {
            const char16_t c = html_[at_].unicode();
            if (c == u'<')
                markup();
            else if (c == u'&')
                reference();
            else
                at_ += writer_.text(html_.sliced(at_), preDepth_ > 0);
        }
        return writer_.take();
    }

private:
    char16_t peek(qsizetype offset) const {
        return at_ + offset < html_.size() ? html_[at_ + offset].unicode() : u'\0';
    }

    // A '<' or '&' that starts no markup or reference is text.
    void literal(char16_t c) {
        ++at_;
        writer_.character(c, preDepth_ > 0);
    }

    // At '<': a tag, a comment, a declaration, or a '<' of the text.
    void markup() {
        const char16_t next = peek(1);
        if (isAsciiLetter(next)) {
            startTag();
        } else if (next == u'/' && isAsciiLetter(peek(2))) {
            endTag();
        } else if (next == u'!' && peek(2) == u'-' && peek(3) == u'-') {
            const qsizetype end = html_.indexOf(u"-->", at_ + 4);
            at_ = end < 0 ? html_.size() : end + 3;
        } else if (next == u'!' || next == u'?' || next == u'/') {
            const qsizetype end = html_.indexOf(u'>', at_ + 2);
            at_ = end < 0 ? html_.size() : end + 1;
        } else {
            literal(u'<');
        }
    }

    QStringView tagName(qsizetype from) const {
        qsizetype end = from;
        while (end < html_.size() && !isSpace(html_[end].unicode()) && html_[end] != u'/' &&
               html_[end] != u'>')
            ++end;
        return html_.sliced(from, end - from);
    }

    // Past the '>' that ends the tag from 'from' on; a '>' inside a quoted value does not.
    qsizetype tagEnd(qsizetype from) const {
        qsizetype i = from;
        while (i < html_.size()) {
            const char16_t c = html_[i].unicode();
            if (c == u'>')
                return i + 1;
            ++i;
            if (c != u'=')
                continue;
            while (i < html_.size() && isSpace(html_[i].unicode()))
                ++i;
            if (i < html_.size() && (html_[i] == u'"' || html_[i] == u'\'')) {
                const qsizetype close = html_.indexOf(html_[i], i + 1);
                if (close < 0)
                    return html_.size();
                i = close + 1;
            }
        }
        return html_.size();
    }

    void startTag() {
        const QStringView name = tagName(at_ + 1);
        at_ = tagEnd(at_ + 1 + name.size());
        switch (kindOf(name)) {
        case Kind::Inline:
            break;
        case Kind::Block:
            writer_.blockBoundary();
            break;
        case Kind::Break:
            writer_.lineBreak();
            break;
        case Kind::Pre:
            writer_.blockBoundary();
            ++preDepth_;
            break;
        case Kind::Skipped: {
            // Its content is raw text up to its own end tag, which is then read as usual.
            at_ = endTagOf(name, at_);
            break;
        }
        }
    }

    // Where the first "</name" from 'from' on starts, whatever its case; the end if none does.
    qsizetype endTagOf(QStringView name, qsizetype from) const {
        for (qsizetype at = html_.indexOf(u"</", from); at >= 0;
             at = html_.indexOf(u"</", at + 2)) {
            if (html_.sliced(at + 2).startsWith(name, Qt::CaseInsensitive))
                return at;
        }
        return html_.size();
    }

    void endTag() {
        const QStringView name = tagName(at_ + 2);
        at_ = tagEnd(at_ + 2 + name.size());
        switch (kindOf(name)) {
        case Kind::Inline:
        case Kind::Skipped:
            break;
        case Kind::Block:
            writer_.blockBoundary();
            break;
        case Kind::Break: // "</br>" breaks the line as "<br>" does in browsers
            writer_.lineBreak();
            break;
        case Kind::Pre:
            preDepth_ = qMax(preDepth_ - 1, 0);
            writer_.blockBoundary();
            break;
        }
    }

    // At '&': a character reference, or an '&' of the text when it names nothing known.
    void reference() {
        if (peek(1) == u'#') {
            numericReference();
            return;
        }
        qsizetype end = at_ + 1;
        while (end < html_.size() && end - at_ <= 9 && isAsciiAlnum(html_[end].unicode()))
            ++end;
        const std::optional<char32_t> c = htmlEntity(html_.sliced(at_ + 1, end - at_ - 1));
        if (!c) {
            literal(u'&');
            return;
        }
        at_ = end < html_.size() && html_[end] == u';' ? end + 1 : end;
        writer_.character(*c, preDepth_ > 0);
    }

    void numericReference() {
        qsizetype i = at_ + 2;
        const bool hex = i < html_.size() && (html_[i] == u'x' || html_[i] == u'X');
        if (hex)
            ++i;
        const qsizetype digitsStart = i;
        char32_t value = 0;
        for (; i < html_.size(); ++i) {
            const char16_t c = html_[i].unicode();
            int v = -1;
            if (c >= u'0' && c <= u'9')
                v = c - u'0';
            else if (hex && c >= u'a' && c <= u'f')
                v = c - u'a' + 10;
            else if (hex && c >= u'A' && c <= u'F')
                v = c - u'A' + 10;
            if (v < 0)
                break;
            value = std::min<char32_t>(value * (hex ? 16 : 10) + char32_t(v), 0x110000);
        }
        if (i == digitsStart) {
            literal(u'&');
            return;
        }
        at_ = i < html_.size() && html_[i] == u';' ? i + 1 : i;
        if (value >= 0x80 && value < 0xA0)
            value = windows1252[value - 0x80];
        else if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
            value = 0xFFFD;
        writer_.character(value, preDepth_ > 0);
    }

    QStringView html_;
    qsizetype at_ = 0;
    int preDepth_ = 0;
    TextWriter writer_;
};

} // namespace

QString htmlToPlainText(const QString& html) {
    return Converter(html).run();
}
