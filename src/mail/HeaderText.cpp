#include "mail/HeaderText.h"

#include "mail/CharsetDecoder.h"
#include "mail/EncodedWords.h"

// GLib names a member "signals"; Qt's keyword macro must not reach its headers.
#undef signals
#include <gmime/gmime.h>

#include "mail/GLibPointers.h"

#include <memory>

namespace {

// Unfolded (RFC 5322: the line breaks before folding blanks removed) and read as text.
QString unfoldedText(QByteArrayView rawValue) {
    const QByteArray terminated = rawValue.toByteArray();
    const GCharPtr unfolded(g_mime_utils_header_unfold(terminated.constData()));
    return decodeUndeclared(unfolded.get());
}

// A header is shown and saved on one line: a tab left by unfolding, or a line break that an
// encoded word carried, becomes a blank.
QString onOneLine(QString text) {
    for (QChar& c : text)
        if (c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f')
            c = u' ';
    return text;
}

// Decoded text placed inside a quoted string or a comment.
QString escaped(const QString& text, QStringView specials) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : onOneLine(text)) {
        if (specials.contains(c))
            result += u'\\';
        result += c;
    }
    return result;
}

} // namespace

QString headerText(QByteArrayView rawValue) {
    const QString text = unfoldedText(rawValue);
    QString result;
    result.reserve(text.size());
    QString decoded;
    for (qsizetype i = 0; i < text.size();) {
        if (const qsizetype end = decodeEncodedWordRun(text, i, decoded); end > i) {
            result += decoded;
            i = end;
        } else {
            result += text[i++];
        }
    }
    return onOneLine(result);
}

QByteArray addressHeaderUtf8(QByteArrayView rawValue) {
    const QString text = unfoldedText(rawValue);
    QString result;
    result.reserve(text.size() + 8);
    bool quoted = false;
    bool angle = false;
    int commentDepth = 0;
    QString decoded;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (!angle) {
            if (const qsizetype end = decodeEncodedWordRun(text, i, decoded); end > i) {
                if (quoted)
                    result += escaped(decoded, u"\"\\");
                else if (commentDepth > 0)
                    result += escaped(decoded, u"()\\");
                else
                    result += u'"' + escaped(decoded, u"\"\\") + u'"';
                i = end;
                continue;
            }
        }
        ++i;
        if (!quoted && commentDepth == 0 && (c == u' ' || c == u'\t')) {
            // Between the words of a display name any run of blanks reads as one blank.
            if (!result.endsWith(u' '))
                result += u' ';
            continue;
        }
        result += c;
        if (c == u'\\' && (quoted || commentDepth > 0) && i < text.size()) {
            result += text[i++];
        } else if (quoted) {
            quoted = c != u'"';
        } else if (commentDepth > 0) {
            commentDepth += c == u'(' ? 1 : c == u')' ? -1 : 0;
        } else if (angle) {
            angle = c != u'>';
        } else {
            quoted = c == u'"';
            angle = c == u'<';
            commentDepth = c == u'(' ? 1 : 0;
        }
    }
    return result.toUtf8();
}
