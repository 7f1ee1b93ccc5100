#include "mail/SimpleMessage.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A character of an RFC 2045 token: printable ASCII other than blanks and tspecials.
bool isTokenChar(char c) {
    static constexpr QByteArrayView specials = "()<>@,;:\\\"/[]?=";
    return c > ' ' && c < '\x7f' && !specials.contains(c);
}

class Cursor {
public:
    explicit Cursor(QByteArrayView text) : text_(text) {}

    void skipBlanks() {
        while (i_ < text_.size() && isBlank(text_[i_]))
            ++i_;
    }
    bool atEnd() const { return i_ == text_.size(); }
    bool take(char c) {
        if (atEnd() || text_[i_] != c)
            return false;
        ++i_;
        return true;
    }
    QByteArrayView token() {
        const qsizetype start = i_;
        while (i_ < text_.size() && isTokenChar(text_[i_]))
            ++i_;
        return text_.sliced(start, i_ - start);
    }
    // A quoted string without escapes, or nothing.
    std::optional<QByteArrayView> quoted() {
        if (!take('"'))
            return std::nullopt;
        const qsizetype start = i_;
        while (i_ < text_.size() && text_[i_] != '"' && text_[i_] != '\\' && text_[i_] != '\r' &&
               text_[i_] != '\n')
            ++i_;
        const QByteArrayView value = text_.sliced(start, i_ - start);
        return take('"') ? std::optional(value) : std::nullopt;
    }

private:
    QByteArrayView text_;
    qsizetype i_ = 0;
};

struct ContentType {
    bool html = false;
    std::optional<QByteArrayView> charset;
};

// "text/plain" or "text/html" with parameters of the simplest form (attribute=token or a quoted
// string without escapes), at most one charset; nothing for any other value.
std::optional<ContentType> readContentType(QByteArrayView value) {
    Cursor cursor(value);
    cursor.skipBlanks();
    const QByteArrayView type = cursor.token();
    cursor.skipBlanks();
    if (!cursor.take('/'))
        return std::nullopt;
    cursor.skipBlanks();
    const QByteArrayView subtype = cursor.token();
    ContentType result;
    result.html = subtype.compare("html", Qt::CaseInsensitive) == 0;
    if (type.compare("text", Qt::CaseInsensitive) != 0 ||
        (!result.html && subtype.compare("plain", Qt::CaseInsensitive) != 0))
        return std::nullopt;
    for (cursor.skipBlanks(); !cursor.atEnd(); cursor.skipBlanks()) {
        if (!cursor.take(';'))
            return std::nullopt;
        cursor.skipBlanks();
        const QByteArrayView attribute = cursor.token();
        cursor.skipBlanks();
        if (attribute.isEmpty() || attribute.contains('*') || !cursor.take('='))
            return std::nullopt;
        cursor.skipBlanks();
        std::optional<QByteArrayView> parameter = cursor.quoted();
        if (!parameter) {
            parameter = cursor.token();
            if (parameter->isEmpty())
                return std::nullopt;
        }
        if (attribute.compare("charset", Qt::CaseInsensitive) == 0) {
            if (result.charset)
                return std::nullopt;
            result.charset = parameter;
        }
    }
    return result;
}

// A transfer encoding that leaves the body as it stands.
bool isIdentityEncoding(QByteArrayView value) {
    const QByteArrayView name = value.trimmed();
    return name.compare("7bit", Qt::CaseInsensitive) == 0 ||
           name.compare("8bit", Qt::CaseInsensitive) == 0 ||
           name.compare("binary", Qt::CaseInsensitive) == 0;
}

// Takes the first value of a field, or refuses (false) when the field is repeated.
bool takeOnly(std::optional<QByteArrayView>& field, QByteArrayView value) {
    if (field)
        return false;
    field = value;
    return true;
}

bool takeFirst(std::optional<QByteArrayView>& field, QByteArrayView value) {
    if (!field)
        field = value;
    return true;
}

} // namespace

std::optional<SimpleMessage> readSimpleMessage(QByteArrayView message) {
    SimpleMessage result;
    std::optional<QByteArrayView> contentType;
    std::optional<QByteArrayView> encoding;
    qsizetype start = 0;
    while (true) {
        if (message.sliced(start).startsWith("\r\n") || message.sliced(start).startsWith('\n')) {
            if (start == 0)
                return std::nullopt; // no header block at all
            break;
        }
        // "Name:" with a name of token characters directly before the colon.
        qsizetype colon = start;
        while (colon < message.size() && isTokenChar(message[colon]))
            ++colon;
        if (colon == start || colon == message.size() || message[colon] != ':')
            return std::nullopt;
        const QByteArrayView name = message.sliced(start, colon - start);
        // The value runs through its continuation lines; only printable ASCII and tabs, every
        // line ended by a line feed (after a carriage return or not).
        qsizetype end = colon + 1;
        while (true) {
            while (end < message.size() && message[end] != '\n') {
                const char c = message[end];
                if ((c < ' ' && c != '\t' && c != '\r') || c == '\x7f' || (c & 0x80))
                    return std::nullopt;
                if (c == '\r' && (end + 1 == message.size() || message[end + 1] != '\n'))
                    return std::nullopt;
                ++end;
            }
            if (end == message.size())
                return std::nullopt; // no empty line ends the header block
            ++end;
            if (end == message.size() || (message[end] != ' ' && message[end] != '\t'))
                break;
        }
        const QByteArrayView value = message.sliced(colon + 1, end - colon - 1);
        start = end;
        if (value.contains("=?"))
            return std::nullopt;
        const auto is = [name](QByteArrayView field) {
            return name.compare(field, Qt::CaseInsensitive) == 0;
        };
        const bool accepted = is("From")                        ? takeFirst(result.from, value)
                              : is("Subject")                   ? takeFirst(result.subject, value)
                              : is("Date")                      ? takeFirst(result.date, value)
                              : is("Message-ID")                ? takeOnly(result.messageId, value)
                              : is("Content-Type")              ? takeOnly(contentType, value)
                              : is("Content-Transfer-Encoding") ? takeOnly(encoding, value)
                                                                : !is("Content-Disposition");
        if (!accepted)
            return std::nullopt;
    }
    if (encoding && !isIdentityEncoding(*encoding))
        return std::nullopt;
    if (contentType) {
        const std::optional<ContentType> type = readContentType(*contentType);
        if (!type)
            return std::nullopt;
        result.charset = type->charset;
        result.html = type->html;
    }
    result.body = message.sliced(start + (message[start] == '\r' ? 2 : 1));
    return result;
}
