#include "mail/MimeParser.h"

#include "mail/CharsetDecoder.h"
#include "mail/HeaderBlock.h"
#include "mail/HeaderText.h"
#include "mail/MimeText.h"
#include "mail/TransferDecoding.h"

#include <QTimeZone>

#include <memory>
#include <mutex>

// GLib names a member "signals"; Qt's keyword macro must not reach its headers.
#undef signals
#include <gmime/gmime.h>

// Everything here may run on a worker thread. GMime is initialised once for the process; each call
// owns its parser and its message, so calls on several threads do not share state.

namespace {

void initialiseGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct GFreeDeleter {
    void operator()(char* text) const { g_free(text); }
};
using GString = std::unique_ptr<char, GFreeDeleter>;

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

QByteArray memoryBytes(GMimeStream* memory) {
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    return QByteArray(reinterpret_cast<const char*>(bytes->data),
                      static_cast<qsizetype>(bytes->len));
}

// The content as it stands in the message, still transfer-encoded.
QByteArray encodedBytes(GMimeDataWrapper* content) {
    GMimeStream* stream = g_mime_data_wrapper_get_stream(content);
    GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    g_mime_stream_reset(stream);
    g_mime_stream_write_to_stream(stream, sink.get());
    return memoryBytes(sink.get());
}

// The bytes of a part after its transfer encoding is undone, before any charset conversion.
// Base64 and quoted-printable are read leniently; GMime undoes the others.
QByteArray transferDecoded(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    switch (g_mime_data_wrapper_get_encoding(content)) {
    case GMIME_CONTENT_ENCODING_BASE64:
        return decodeBase64Leniently(encodedBytes(content));
    case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE:
        return decodeQuotedPrintable(encodedBytes(content));
    default:
        break;
    }
    GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, sink.get());
    return memoryBytes(sink.get());
}

// The text of a part decoded from its transfer encoding and its charset, read as the charset
// its senders really mean.
QString partText(GMimePart* part) {
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return decodeCharset(transferDecoded(part), charset ? charset : "");
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
const char* firstRawHeader(GMimeMessage* message, const char* name) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    GMimeHeader* header = g_mime_header_list_get_header(headers, name);
    return header ? g_mime_header_get_raw_value(header) : nullptr;
}

void readSender(GMimeMessage* message, EmailObject& email) {
    const char* raw = firstRawHeader(message, "From");
    if (!raw)
        return;
    const GObjectPtr<InternetAddressList> from(
        internet_address_list_parse(nullptr, addressHeaderUtf8(raw).constData()));
    if (!from || internet_address_list_length(from.get()) == 0)
        return;
    GString display(internet_address_list_to_string(from.get(), nullptr, FALSE));
    email.From = fromUtf8(display.get());
    if (InternetAddressMailbox* mailbox = firstMailbox(from.get())) {
        email.FromName = fromUtf8(internet_address_get_name(INTERNET_ADDRESS(mailbox)));
        email.FromAddress = fromUtf8(internet_address_mailbox_get_addr(mailbox));
    }
}

QDateTime messageDate(GMimeMessage* message, const QDateTime& internalDate) {
    const char* raw = firstRawHeader(message, "Date");
    if (!raw)
        return internalDate;
    const GString unfolded(g_mime_utils_header_unfold(raw));
    GDateTime* date = g_mime_utils_header_decode_date(unfolded.get());
    if (!date)
        return internalDate;
    const auto offset = static_cast<int>(g_date_time_get_utc_offset(date) / G_TIME_SPAN_SECOND);
    const QDateTime value =
        QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date), QTimeZone(offset));
    g_date_time_unref(date);
    return value;
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

} // namespace

EmailObject parseEmail(const QByteArray& raw, const QDateTime& internalDate) {
    initialiseGMime();
    EmailObject email;
    email.Date = internalDate;

    const QByteArray message = withHeaderBlockEnded(raw);
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(
        message.constData(), static_cast<size_t>(message.size())));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!parsed)
        return email;

    readSender(parsed.get(), email);
    if (const char* subject = firstRawHeader(parsed.get(), "Subject"))
        email.Subject = headerText(subject);
    email.Date = messageDate(parsed.get(), internalDate);

    BodyParts bodies;
    g_mime_message_foreach(parsed.get(), collectBodyPart, &bodies);
    if (bodies.html)
        email.HTMLTextBody = withCrLf(partText(bodies.html));
    if (bodies.plain)
        email.PlainTextBody = withCrLf(partText(bodies.plain));
    else if (!bodies.html)
        email.PlainTextBody = withCrLf(unsplitMultipartText(parsed.get()));
    else
        email.PlainTextBody = withCrLf(htmlToPlainText(email.HTMLTextBody));
    return email;
}
