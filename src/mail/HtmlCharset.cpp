#include "mail/HtmlCharset.h"

#include <string>
#include <string_view>

namespace {

// Browsers look no further for a declaration.
constexpr qsizetype prescanLength = 1024;

bool isSpace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// text[at...] begins with word (lower case), in any case.
bool startsWithWord(QByteArrayView text, qsizetype at, std::string_view word) {
    if (text.size() - at < qsizetype(word.size()))
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(text[at + qsizetype(i)]) != word[i])
            return false;
    return true;
}

struct Attribute {
    std::string name;  // lower case
    std::string value; // lower case, without its quotes
};

// Reads the attribute at text[at], as a browser reads a tag before it parses: name, optional
// "=" and a value, quoted or not. False when the tag ends (or the text does) first.
bool nextAttribute(QByteArrayView text, qsizetype& at, Attribute& attribute) {
    attribute.name.clear();
    attribute.value.clear();
    const qsizetype end = text.size();
    while (at < end && (isSpace(text[at]) || text[at] == '/'))
        ++at;
    if (at == end || text[at] == '>')
        return false;
    for (;; ++at) {
        if (at == end)
            return false;
        const char c = text[at];
        if (c == '=' && !attribute.name.empty())
            break;
        if (isSpace(c)) {
            while (at < end && isSpace(text[at]))
                ++at;
            if (at == end || text[at] != '=')
                return at < end;
            break;
        }
        if (c == '/' || c == '>')
            return true;
        attribute.name += lower(c);
    }
    ++at; // the '='
    while (at < end && isSpace(text[at]))
        ++at;
    if (at == end)
        return false;
    if (const char quote = text[at]; quote == '"' || quote == '\'') {
        for (++at; at < end; ++at) {
            if (text[at] == quote) {
                ++at;
                return true;
            }
            attribute.value += lower(text[at]);
        }
        return false;
    }
    for (; at < end && !isSpace(text[at]) && text[at] != '>'; ++at)
        attribute.value += lower(text[at]);
    return at < end;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The charset named in a content attribute such as "text/html; charset=koi8-r".
std::string_view charsetInContent(std::string_view content) {
    std::size_t at = 0;
    for (;;) {
        at = content.find("charset", at);
        if (at == std::string_view::npos)
            return {};
        at += 7;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at < content.size() && content[at] == '=')
            break;
    }
    ++at;
    while (at < content.size() && isSpace(content[at]))
        ++at;
    if (at == content.size())
        return {};
    if (const char quote = content[at]; quote == '"' || quote == '\'') {
        const std::size_t close = content.find(quote, at + 1);
        return close == std::string_view::npos ? std::string_view()
                                               : content.substr(at + 1, close - at - 1);
    }
    std::size_t end = at;
    while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
        ++end;
    return content.substr(at, end - at);
}

// The charset a meta element declares, its attributes read from text[at]: a charset attribute,
// or a content attribute beside http-equiv="Content-Type". The first of each name counts.
QByteArray metaCharset(QByteArrayView text, qsizetype& at) {
    bool seenHttpEquiv = false;
    bool seenContent = false;
    bool seenCharset = false;
    bool contentType = false;
    bool needsContentType = false;
    std::string charset;
    Attribute attribute;
    while (nextAttribute(text, at, attribute)) {
        if (attribute.name == "http-equiv" && !seenHttpEquiv) {
            seenHttpEquiv = true;
            contentType = trimmed(attribute.value) == "content-type";
        } else if (attribute.name == "content" && !seenContent) {
            seenContent = true;
            if (charset.empty()) {
                charset = trimmed(charsetInContent(attribute.value));
                needsContentType = !charset.empty();
            }
        } else if (attribute.name == "charset" && !seenCharset) {
            seenCharset = true;
            charset = trimmed(attribute.value);
            needsContentType = false;
        }
    }
    if (charset.empty() || (needsContentType && !contentType))
        return {};
    if (charset.starts_with("utf-16") || charset == "unicodefffe" || charset == "unicode" ||
        charset == "csunicode" || charset == "ucs-2" || charset == "iso-10646-ucs-2" ||
        charset == "unicodefeff")
        return QByteArrayLiteral("utf-8");
    if (charset == "x-user-defined")
        return QByteArrayLiteral("windows-1252");
    return QByteArray(charset.data(), qsizetype(charset.size()));
}

} // namespace

QByteArray htmlDeclaredCharset(QByteArrayView html) {
    if (html.startsWith("\xef\xbb\xbf"))
        return QByteArrayLiteral("utf-8");
    if (html.startsWith("\xfe\xff"))
        return QByteArrayLiteral("utf-16be");
    if (html.startsWith("\xff\xfe"))
        return QByteArrayLiteral("utf-16le");
    const QByteArrayView text = html.first(qMin(html.size(), prescanLength));
    Attribute attribute;
    for (qsizetype at = 0; at < text.size();) {
        const bool tagOpen = text[at] == '<' && at + 1 < text.size();
        const char next = tagOpen ? text[at + 1] : '\0';
        if (startsWithWord(text, at, "<!--")) {
            const qsizetype end = text.indexOf("-->", at + 2);
            if (end < 0)
                return {};
            at = end + 3;
        } else if (startsWithWord(text, at, "<meta") && at + 5 < text.size() &&
                   (isSpace(text[at + 5]) || text[at + 5] == '/')) {
            at += 5;
            if (QByteArray charset = metaCharset(text, at); !charset.isEmpty())
                return charset;
        } else if (tagOpen && (isLetter(next) ||
                               (next == '/' && at + 2 < text.size() && isLetter(text[at + 2])))) {
            // Another tag: its attributes are read so that a '>' in a quoted value does not end it.
            while (at < text.size() && !isSpace(text[at]) && text[at] != '>')
                ++at;
            while (nextAttribute(text, at, attribute)) {
            }
            ++at;
        } else if (tagOpen && (next == '!' || next == '/' || next == '?')) {
            const qsizetype end = text.indexOf('>', at);
            if (end < 0)
                return {};
            at = end + 1;
        } else {
            ++at;
        }
    }
    return {};
}
