#include "mail/EncodedWords.h"

#include "mail/CharsetDecoder.h"
#include "mail/TransferDecoding.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace {

struct EncodedWord {
    qsizetype end = 0;
    QByteArray charset;
    QByteArray bytes;
};

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// A character that may appear in a word's charset or encoded text.
bool isWordCharacter(QChar c) {
    return c.unicode() > 0x20 && c.unicode() < 0x7f && c != u'?';
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if ((u | 0x20) >= 'a' && (u | 0x20) <= 'f')
        return (u | 0x20) - 'a' + 10;
    return -1;
}

// The Q encoding of a word: an underscore is a blank (a real one is written =5F), "=XX" a byte,
// anything else itself. Blanks at the word's ends are text: unlike a body's quoted-printable
// lines, a word has no transport padding to trim.
QByteArray qDecoded(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const int high = c == u'=' && i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low >= 0) {
            bytes += char(high << 4 | low);
            i += 2;
        } else {
            bytes += c == u'_' ? ' ' : char(c.unicode());
        }
    }
    return bytes;
}

std::optional<EncodedWord> encodedWordAt(QStringView text, qsizetype from) {
    if (!text.sliced(from).startsWith(u"=?"))
        return std::nullopt;
    qsizetype i = from + 2;
    const qsizetype charsetStart = i;
    while (i < text.size() && isWordCharacter(text[i]))
        ++i;
    if (i == charsetStart || i + 2 >= text.size() || text[i] != u'?' || text[i + 2] != u'?')
        return std::nullopt;
    const QChar encoding = text[i + 1].toUpper();
    if (encoding != u'B' && encoding != u'Q')
        return std::nullopt;
    QStringView charset = text.sliced(charsetStart, i - charsetStart);
    if (const qsizetype star = charset.indexOf(u'*'); star >= 0) // a language tag
        charset.truncate(star);
    const qsizetype textStart = i + 3;
    i = textStart;
    while (i < text.size() && isWordCharacter(text[i]))
        ++i;
    if (i + 1 >= text.size() || text[i] != u'?' || text[i + 1] != u'=')
        return std::nullopt;
    const QStringView encoded = text.sliced(textStart, i - textStart);
    return EncodedWord{i + 2, charset.toLatin1(),
                       encoding == u'B' ? decodeBase64Leniently(encoded.toLatin1())
                                        : qDecoded(encoded)};
}

} // namespace

qsizetype decodeEncodedWordRun(QStringView text, qsizetype from, QString& decoded) {
    std::vector<EncodedWord> words;
    qsizetype end = from;
    for (qsizetype i = from;;) {
        std::optional<EncodedWord> word = encodedWordAt(text, i);
        if (!word)
            break;
        end = word->end;
        words.push_back(std::move(*word));
        i = end;
        while (i < text.size() && isBlank(text[i]))
            ++i;
    }
    decoded.clear();
    for (std::size_t first = 0; first < words.size();) {
        QByteArray bytes = words[first].bytes;
        std::size_t next = first + 1;
        for (; next < words.size() &&
               words[next].charset.compare(words[first].charset, Qt::CaseInsensitive) == 0;
             ++next)
            bytes += words[next].bytes;
        decoded += decodeCharset(bytes, words[first].charset);
        first = next;
    }
    return end;
}
