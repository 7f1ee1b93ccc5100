#include "mail/MimeParser.h"

#include "mail/CharsetDecoder.h"
#include "mail/DateHeader.h"
#include "mail/HeaderBlock.h"
#include "mail/HeaderText.h"
#include "mail/HtmlCharset.h"
#include "mail/MimeText.h"
#include "mail/SimpleMessage.h"
#include "mail/TransferDecoding.h"

#include <QTimeZone>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

// GLib names a member "signals"; Qt's keyword macro must not reach its headers.
#undef signals
#include <gmime/gmime.h>

#include "mail/GLibPointers.h"

// Everything here may run on a worker thread. GMime is initialised once for the process; each call
// owns its parser and its message, so calls on several threads do not share state.

namespace {

void initialiseGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

// A plain body from this size on is given in UTF-8: its text is never held in UTF-16 as well,
// and when its bytes already are its text they are not even copied.
constexpr qsizetype largeBody = 4 * 1024 * 1024;

struct GBytesDeleter {
    void operator()(GBytes* bytes) const { g_bytes_unref(bytes); }
};

// The bytes of a part's content: where they lie in the message's memory, decoded here (base64,
// quoted-printable) or as GMime wrote them, taken over from its memory stream without a copy.
class PartBytes {
public:
    explicit PartBytes(QByteArrayView inPlace) : inPlace_(inPlace) {}
    explicit PartBytes(QByteArray decoded) : decoded_(std::move(decoded)), ownsBytes_(true) {}
    explicit PartBytes(GMimeStream* memory) : ownsBytes_(true) {
        auto* stream = GMIME_STREAM_MEM(memory);
        g_mime_stream_mem_set_owner(stream, FALSE);
        written_.reset(g_byte_array_free_to_bytes(g_mime_stream_mem_get_byte_array(stream)));
    }

    QByteArrayView view() const {
        if (!ownsBytes_)
            return inPlace_;
        if (!written_)
            return decoded_;
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_bytes_get_data(written_.get(), &size));
        return {data, static_cast<qsizetype>(size)};
    }

private:
    QByteArrayView inPlace_;
    QByteArray decoded_;
    std::unique_ptr<GBytes, GBytesDeleter> written_;
    bool ownsBytes_ = false;
};

// What GMime writes to a memory stream.
template <class Write> PartBytes writtenBytes(Write write) {
    GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    write(sink.get());
    return PartBytes(sink.get());
}

// The bytes of a stream that is a stretch of the message's memory, where they lie; nothing for
// any other stream. The parser's streams of a message read from memory are such stretches.
std::optional<QByteArrayView> bytesInPlace(GMimeStream* stream, const GByteArray* message) {
    if (!GMIME_IS_STREAM_MEM(stream))
        return std::nullopt;
    const GByteArray* buffer = GMIME_STREAM_MEM(stream)->buffer;
    if (!buffer || buffer != message)
        return std::nullopt;
    const gint64 end = stream->bound_end < 0 ? gint64(buffer->len) : gint64(stream->bound_end);
    const gint64 start = stream->bound_start;
    if (start < 0 || start > end || end > gint64(buffer->len))
        return std::nullopt;
    return QByteArrayView(reinterpret_cast<const char*>(buffer->data) + start, end - start);
}

// The bytes of a part after its transfer encoding is undone, before any charset conversion.
// Base64 and quoted-printable are read leniently from the content as it stands in the message;
// GMime undoes the others. Content with no encoding to undo is not copied.
PartBytes transferDecoded(GMimePart* part, const GByteArray* message) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return PartBytes(QByteArray());
    GMimeStream* stream = g_mime_data_wrapper_get_stream(content);
    const std::optional<QByteArrayView> inPlace = bytesInPlace(stream, message);
    const auto encoded = [stream, inPlace] {
        if (inPlace)
            return PartBytes(*inPlace);
        return writtenBytes([stream](GMimeStream* sink) {
            g_mime_stream_reset(stream);
            g_mime_stream_write_to_stream(stream, sink);
        });
    };
    switch (const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(content)) {
    case GMIME_CONTENT_ENCODING_BASE64:
        return PartBytes(decodeBase64Body(encoded().view()));
    case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE:
        return PartBytes(decodeQuotedPrintable(encoded().view()));
    default:
        if (inPlace && encoding != GMIME_CONTENT_ENCODING_UUENCODE)
            return PartBytes(*inPlace);
        return writtenBytes(
            [content](GMimeStream* sink) { g_mime_data_wrapper_write_to_stream(content, sink); });
    }
}

// A body part's bytes and the charset they are in.
struct BodyBytes {
    PartBytes bytes;
    QByteArray charset;
};

// An HTML body that declares no charset may name one in its own markup, as browsers read it.
BodyBytes bodyBytes(PartBytes bytes, QByteArray declaredCharset, bool html) {
    BodyBytes body{std::move(bytes), std::move(declaredCharset)};
    if (html && body.charset.trimmed().isEmpty())
        body.charset = htmlDeclaredCharset(body.bytes.view());
    return body;
}

std::optional<BodyBytes> bodyBytes(GMimePart* part, bool html, const GByteArray* message) {
    if (!part)
        return std::nullopt;
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return bodyBytes(transferDecoded(part, message), charset ? QByteArray(charset) : QByteArray(),
                     html);
}

// The text of a body, read as the charset its senders really mean, in CR LF lines.
QString bodyText(std::optional<BodyBytes>& body) {
    if (!body)
        return {};
    if (decodesToItself(body->bytes.view(), body->charset, true))
        return QString::fromUtf8(body->bytes.view());
    const QString text = decodeCharset(body->bytes.view(), body->charset);
    body.reset();
    return withCrLf(text);
}

// The text of a body in UTF-8, in CR LF lines. When its bytes already are that text and lie in
// message, message becomes the text: its memory is kept, without a copy.
QByteArray bodyTextUtf8(const BodyBytes& body, QByteArray& message) {
    const QByteArrayView bytes = body.bytes.view();
    if (!decodesToItself(bytes, body.charset, true))
        return withCrLf(decodeCharset(bytes, body.charset)).toUtf8();
    const auto start = quintptr(bytes.data());
    const auto messageStart = quintptr(message.constData());
    if (start < messageStart ||
        start + quintptr(bytes.size()) > messageStart + quintptr(message.size()))
        return bytes.toByteArray();
    QByteArray text = std::exchange(message, QByteArray());
    text.remove(0, qsizetype(start - messageStart)); // moves where the text starts, copies nothing
    text.truncate(bytes.size());
    return text;
}

struct BodyParts {
    GMimePart* plain = nullptr;
    GMimePart* html = nullptr;
};

// "type/subtype" with both names present. A part whose Content-Type is not of that form is plain
// text (RFC 2045), whatever default the parser gave it.
bool hasValidContentType(GMimeObject* part) {
    const char* value = g_mime_object_get_header(part, "Content-Type");
    if (!value)
        return true;
    const QByteArrayView type = QByteArrayView(value).trimmed();
    const qsizetype slash = type.indexOf('/');
    const qsizetype end = type.indexOf(';');
    const QByteArrayView subtype =
        slash < 0 ? QByteArrayView()
                  : type.sliced(slash + 1, (end < 0 ? type.size() : end) - slash - 1);
    return slash > 0 && !subtype.trimmed().isEmpty();
}

// Takes the first text/plain and the first text/html part that is not an attachment.
void collectBodyPart(GMimeObject* /*parent*/, GMimeObject* part, gpointer data) noexcept {
    auto* bodies = static_cast<BodyParts*>(data);
    if (!GMIME_IS_PART(part) || g_mime_part_is_attachment(GMIME_PART(part)))
        return;
    GMimeContentType* type = g_mime_object_get_content_type(part);
    const bool plain =
        g_mime_content_type_is_type(type, "text", "plain") || !hasValidContentType(part);
    if (!bodies->plain && plain)
        bodies->plain = GMIME_PART(part);
    else if (!bodies->html && g_mime_content_type_is_type(type, "text", "html"))
        bodies->html = GMIME_PART(part);
}

// The first mailbox of the list, looking inside groups.
InternetAddressMailbox* firstMailbox(InternetAddressList* list) {
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            return INTERNET_ADDRESS_MAILBOX(address);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            InternetAddressGroup* group = INTERNET_ADDRESS_GROUP(address);
            if (InternetAddressMailbox* mailbox =
                    firstMailbox(internet_address_group_get_members(group)))
                return mailbox;
        }
    }
    return nullptr;
}

// The raw value of the first header of that name: a message with two From or two Subject
// headers shows the first, as mature readers do.
std::optional<QByteArrayView> firstRawHeader(GMimeMessage* message, const char* name) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    GMimeHeader* header = g_mime_header_list_get_header(headers, name);
    const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    return raw ? std::optional(QByteArrayView(raw)) : std::nullopt;
}

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A domain GMime's IDN lookup gives back as it is spelled: labels of ASCII letters, digits and
// hyphens between single dots, none of them already in IDN form.
bool keepsItsSpelling(QByteArrayView domain) {
    if (domain.isEmpty())
        return false;
    for (qsizetype start = 0; start <= domain.size();) {
        qsizetype end = domain.indexOf('.', start);
        if (end < 0)
            end = domain.size();
        const QByteArrayView label = domain.sliced(start, end - start);
        if (label.isEmpty() || label.sliced(0, std::min<qsizetype>(4, label.size()))
                                       .compare("xn--", Qt::CaseInsensitive) == 0)
            return false;
        for (const char c : label)
            if (!isAsciiAlnum(c) && c != '-')
                return false;
        start = end + 1;
    }
    return true;
}

// What internet_address_list_to_string gives for a list of one mailbox whose display name needs
// no quoting and whose domain its IDN lookup would leave alone, without that lookup; nothing for
// any other list.
std::optional<QString> plainMailboxText(InternetAddressList* list) {
    if (internet_address_list_length(list) != 1)
        return std::nullopt;
    InternetAddress* address = internet_address_list_get_address(list, 0);
    if (!INTERNET_ADDRESS_IS_MAILBOX(address))
        return std::nullopt;
    const QByteArrayView addr(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    const qsizetype at = addr.indexOf('@');
    if (at <= 0 || addr.lastIndexOf('@') != at || !keepsItsSpelling(addr.sliced(at + 1)))
        return std::nullopt;
    const char* name = internet_address_get_name(address);
    const QByteArrayView shown(name ? name : "");
    for (const char c : shown)
        if (!isAsciiAlnum(c) && c != ' ')
            return std::nullopt;
    const QLatin1String addrText(addr.data(), addr.size());
    if (shown.isEmpty())
        return QString(addrText);
    QString text;
    text.reserve(shown.size() + addr.size() + 3);
    return text.append(QLatin1String(shown.data(), shown.size()))
        .append(u" <")
        .append(addrText)
        .append(u'>');
}

void readSender(std::optional<QByteArrayView> raw, MimeReading reading, EmailObject& email) {
    if (!raw)
        return;
    const GObjectPtr<InternetAddressList> from(
        internet_address_list_parse(nullptr, addressHeaderUtf8(*raw).constData()));
    if (!from || internet_address_list_length(from.get()) == 0)
        return;
    std::optional<QString> display;
    if (reading == MimeReading::DirectWhenSimple)
        display = plainMailboxText(from.get());
    if (display) {
        email.From = *display;
    } else {
        GCharPtr text(internet_address_list_to_string(from.get(), nullptr, FALSE));
        email.From = fromUtf8(text.get());
    }
    if (InternetAddressMailbox* mailbox = firstMailbox(from.get())) {
        email.FromName = fromUtf8(internet_address_get_name(INTERNET_ADDRESS(mailbox)));
        email.FromAddress = fromUtf8(internet_address_mailbox_get_addr(mailbox));
    }
}

// A date in a form the standard does not know, read as GMime guesses it ("Thu Feb 19 18:00:00
// 2015", "2015-02-19 18:00:00").
std::optional<QDateTime> guessedDate(QByteArrayView raw) {
    const GCharPtr unfolded(g_mime_utils_header_unfold(raw.toByteArray().constData()));
    GDateTime* date = g_mime_utils_header_decode_date(unfolded.get());
    if (!date)
        return std::nullopt;
    const auto offset = static_cast<int>(g_date_time_get_utc_offset(date) / G_TIME_SPAN_SECOND);
    const QDateTime value =
        QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date), QTimeZone(offset));
    g_date_time_unref(date);
    return value;
}

// The Date header's date; the server's arrival time only when there is none to read, which the
// e-mail object's note tells.
void readDate(std::optional<QByteArrayView> raw, const QDateTime& internalDate,
              EmailObject& email) {
    std::optional<QDateTime> date = raw ? readDateHeader(*raw) : std::nullopt;
    if (!date && raw)
        date = guessedDate(*raw);
    if (date) {
        email.Date = *date;
        return;
    }
    email.Date = internalDate;
    constexpr qsizetype shownLength = 80;
    const QString shown = raw ? headerText(*raw).trimmed() : QString();
    email.ReadingNote =
        raw ? QStringLiteral("the Date header \"%1\" cannot be read; dated by the server's "
                             "arrival time")
                  .arg(shown.size() > shownLength ? shown.first(shownLength) + QStringLiteral("...")
                                                  : shown)
            : QStringLiteral("no Date header; dated by the server's arrival time");
}

// A multipart without a boundary cannot be split: its whole text is the parser's prologue, and
// it is read as plain text.
QString unsplitMultipartText(GMimeMessage* message) {
    GMimeObject* part = g_mime_message_get_mime_part(message);
    if (!GMIME_IS_MULTIPART(part) || g_mime_multipart_get_count(GMIME_MULTIPART(part)) > 0 ||
        g_mime_object_get_content_type_parameter(part, "boundary"))
        return {};
    const char* prologue = g_mime_multipart_get_prologue(GMIME_MULTIPART(part));
    return prologue ? decodeUndeclared(prologue) : QString();
}

// The message's id as GMime reads it from a Message-ID field.
QString messageIdOf(QByteArrayView raw) {
    const GCharPtr unfolded(g_mime_utils_header_unfold(raw.toByteArray().constData()));
    const GCharPtr id(g_mime_utils_decode_message_id(unfolded.get()));
    return fromUtf8(id.get());
}

void readHeaders(std::optional<QByteArrayView> from, std::optional<QByteArrayView> subject,
                 std::optional<QByteArrayView> date, const QDateTime& internalDate,
                 MimeReading reading, EmailObject& email) {
    readSender(from, reading, email);
    if (subject)
        email.Subject = headerText(*subject);
    readDate(date, internalDate, email);
}

// The e-mail object's texts from its bodies' bytes. A plain body wanted in UTF-8 may take over
// message's memory.
void readBodies(std::optional<BodyBytes> html, std::optional<BodyBytes> plain, PlainBodies inUtf8,
                QByteArray& message, EmailObject& email) {
    const bool hasHtml = html.has_value();
    email.HTMLTextBody = bodyText(html);
    if (plain && (inUtf8 == PlainBodies::Utf8 || plain->bytes.view().size() >= largeBody))
        email.PlainTextUtf8 = bodyTextUtf8(*plain, message);
    else if (plain)
        email.PlainTextBody = bodyText(plain);
    else if (hasHtml)
        email.PlainTextBody = htmlToPlainText(email.HTMLTextBody); // its lines end in CR LF
}

} // namespace

EmailObject parseEmail(QByteArray raw, const QDateTime& internalDate, PlainBodies inUtf8,
                       MimeReading reading) {
    initialiseGMime();
    EmailObject email;
    email.Date = internalDate;

    // GMime reads the message where it lies, through a memory stream that neither owns nor writes
    // to it, so a large message is held only once while it is read. The caller's copy is let go at
    // once, if it gave it up.
    QByteArray message = withHeaderBlockEnded(std::exchange(raw, QByteArray()));
    if (reading == MimeReading::DirectWhenSimple) {
        if (const std::optional<SimpleMessage> simple = readSimpleMessage(message)) {
            readHeaders(simple->from, simple->subject, simple->date, internalDate, reading, email);
            if (simple->messageId)
                email.MessageId = messageIdOf(*simple->messageId);
            BodyBytes body = bodyBytes(
                PartBytes(simple->body),
                simple->charset ? simple->charset->toByteArray() : QByteArray(), simple->html);
            if (simple->html)
                readBodies(std::move(body), std::nullopt, inUtf8, message, email);
            else
                readBodies(std::nullopt, std::move(body), inUtf8, message, email);
            return email;
        }
    }
    GByteArray inMemory{reinterpret_cast<guint8*>(const_cast<char*>(message.constData())),
                        static_cast<guint>(std::min<qsizetype>(message.size(), G_MAXUINT))};
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_stream_mem_set_byte_array(GMIME_STREAM_MEM(stream.get()), &inMemory);
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!parsed)
        return email;

    readHeaders(firstRawHeader(parsed.get(), "From"), firstRawHeader(parsed.get(), "Subject"),
                firstRawHeader(parsed.get(), "Date"), internalDate, reading, email);
    if (const char* id = g_mime_message_get_message_id(parsed.get()))
        email.MessageId = QString::fromUtf8(id);

    BodyParts bodies;
    g_mime_message_foreach(parsed.get(), collectBodyPart, &bodies);
    std::optional<BodyBytes> html = bodyBytes(bodies.html, true, &inMemory);
    std::optional<BodyBytes> plain = bodyBytes(bodies.plain, false, &inMemory);
    if (!bodies.html && !bodies.plain)
        email.PlainTextBody = withCrLf(unsplitMultipartText(parsed.get()));
    // The bodies' bytes lie in message or were decoded out of it: the parsed message can go.
    parsed.reset();
    parser.reset();
    stream.reset();
    readBodies(std::move(html), std::move(plain), inUtf8, message, email);
    return email;
}
