// HTML to readable text in one pass over the markup, in time linear in its length whatever the
// nesting: no tree is built and no element is remembered beyond the preformatted depth, so
// thousands of unclosed or nested elements cost what their characters cost.
#include "mail/MimeText.h"

#include "mail/HtmlEntities.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

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
// line ends with a blank, and the text neither starts nor ends with a line break.
class TextWriter {
public:
    // The text of a page is seldom longer than a guess of its size, so it is seldom moved.
    explicit TextWriter(qsizetype sizeGuess) { text_.reserve(std::size_t(sizeGuess)); }

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
    QString take() const { return QString::fromStdU16String(text_); }

private:
    void put(char32_t c) {
        if (text_.empty())
            breaks_ = 0;
        for (; breaks_ > 0; --breaks_)
            text_.push_back(u'\n');
        if (space_)
            text_.push_back(u' ');
        space_ = false;
        if (QChar::requiresSurrogates(c)) {
            text_.push_back(QChar::highSurrogate(c));
            text_.push_back(QChar::lowSurrogate(c));
        } else {
            text_.push_back(char16_t(c));
        }
        lineHasText_ = true;
    }

    std::u16string text_; // grown a character at a time, which QString does not inline
    int breaks_ = 0;
    bool space_ = false;
    bool lineHasText_ = false;
};

class Converter {
public:
    explicit Converter(QStringView html) : html_(html), writer_(html.size() / 2) {}

    QString run() {
        while (at_ < html_.size()) {
            const char16_t c = html_[at_].unicode();
            if (c == u'<')
                markup();
            else if (c == u'&')
                reference();
            else
                character(c);
        }
        return writer_.take();
    }

private:
    char16_t peek(qsizetype offset) const {
        return at_ + offset < html_.size() ? html_[at_ + offset].unicode() : u'\0';
    }

    void character(char16_t c) {
        ++at_;
        if (QChar::isHighSurrogate(c) && at_ < html_.size() && html_[at_].isLowSurrogate()) {
            writer_.character(QChar::surrogateToUcs4(c, html_[at_].unicode()), preDepth_ > 0);
            ++at_;
            return;
        }
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
            character(u'<');
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
            const qsizetype end =
                html_.indexOf(QStringLiteral("</") + name.toString(), at_, Qt::CaseInsensitive);
            at_ = end < 0 ? html_.size() : end;
            break;
        }
        }
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
            character(u'&');
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
            character(u'&');
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
