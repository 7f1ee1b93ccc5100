#include "mail/MimeParser.h"

#include "mail/MimeText.h"

#include <QTimeZone>

#include <memory>
#include <mutex>

// GLib names a member "signals"; Qt's keyword macro must not reach its headers.
#undef signals
#include <gmime/gmime.h>

// Everything here may run on a worker thread. GMime is initialised once for the process; each call
// owns its parser, its options and its message, so calls on several threads do not share state.

namespace {

void initialiseGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct OptionsDeleter {
    void operator()(GMimeParserOptions* options) const { g_mime_parser_options_free(options); }
};
using OptionsPtr = std::unique_ptr<GMimeParserOptions, OptionsDeleter>;

struct GFreeDeleter {
    void operator()(char* text) const { g_free(text); }
};
using GString = std::unique_ptr<char, GFreeDeleter>;

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

// Undeclared or mis-declared 8-bit text is read as UTF-8 when it is valid UTF-8, otherwise as
// Windows-1252. A wide East-Asian charset is deliberately not tried in between: GB18030 accepts
// most Latin-1 words whose accented letter is followed by another letter ("M\xfcller" would come
// out as CJK text), which would garble common Western names without any error.
OptionsPtr newParserOptions() {
    OptionsPtr options(g_mime_parser_options_new());
    static const char* fallback[] = {"utf-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options.get(), fallback);
    return options;
}

// The bytes of a part after its transfer encoding is undone, before any charset conversion.
QByteArray transferDecoded(GMimeTextPart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    if (!content)
        return {};
    GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, sink.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(sink.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data),
                      static_cast<qsizetype>(bytes->len));
}

// Valid UTF-8 as it is; anything else through the fallback charsets.
QString repairedUtf8(const char* text, gsize length, GMimeParserOptions* options) {
    if (g_utf8_validate(text, static_cast<gssize>(length), nullptr))
        return QString::fromUtf8(text, static_cast<qsizetype>(length));
    GString repaired(g_mime_utils_decode_8bit(options, text, length));
    return fromUtf8(repaired.get());
}

bool declaresUtf8OrNothing(GMimeTextPart* part) {
    const char* charset = g_mime_text_part_get_charset(part);
    if (!charset)
        return true;
    const char* canonical = g_mime_charset_canon_name(charset);
    return g_ascii_strcasecmp(canonical, "utf-8") == 0 ||
           g_ascii_strcasecmp(canonical, "us-ascii") == 0;
}

// The text of a part decoded from its transfer encoding and charset. A part that declares no
// charset, UTF-8 or US-ASCII often holds other 8-bit bytes; those are read as they really are
// instead of being dropped.
QString partText(GMimeTextPart* part, GMimeParserOptions* options) {
    if (declaresUtf8OrNothing(part)) {
        const QByteArray bytes = transferDecoded(part);
        return repairedUtf8(bytes.constData(), static_cast<gsize>(bytes.size()), options);
    }
    GString text(g_mime_text_part_get_text(part));
    return text ? repairedUtf8(text.get(), strlen(text.get()), options) : QString();
}

struct BodyParts {
    GMimeTextPart* plain = nullptr;
    GMimeTextPart* html = nullptr;
};

// Takes the first text/plain and the first text/html part that is not an attachment.
void collectBodyPart(GMimeObject* /*parent*/, GMimeObject* part, gpointer data) noexcept {
    auto* bodies = static_cast<BodyParts*>(data);
    if (!GMIME_IS_TEXT_PART(part) || g_mime_part_is_attachment(GMIME_PART(part)))
        return;
    GMimeContentType* type = g_mime_object_get_content_type(part);
    if (!bodies->plain && g_mime_content_type_is_type(type, "text", "plain"))
        bodies->plain = GMIME_TEXT_PART(part);
    else if (!bodies->html && g_mime_content_type_is_type(type, "text", "html"))
        bodies->html = GMIME_TEXT_PART(part);
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

void readSender(GMimeMessage* message, EmailObject& email) {
    InternetAddressList* from = g_mime_message_get_from(message);
    if (!from || internet_address_list_length(from) == 0)
        return;
    GString display(internet_address_list_to_string(from, nullptr, FALSE));
    email.From = fromUtf8(display.get());
    if (InternetAddressMailbox* mailbox = firstMailbox(from)) {
        email.FromName = fromUtf8(internet_address_get_name(INTERNET_ADDRESS(mailbox)));
        email.FromAddress = fromUtf8(internet_address_mailbox_get_addr(mailbox));
    }
}

QDateTime messageDate(GMimeMessage* message, const QDateTime& internalDate) {
    GDateTime* date = g_mime_message_get_date(message);
    if (!date)
        return internalDate;
    const auto offset = static_cast<int>(g_date_time_get_utc_offset(date) / G_TIME_SPAN_SECOND);
    return QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date), QTimeZone(offset));
}

} // namespace

EmailObject parseEmail(const QByteArray& raw, const QDateTime& internalDate) {
    initialiseGMime();
    EmailObject email;
    email.Date = internalDate;

    OptionsPtr options = newParserOptions();
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(raw.constData(), static_cast<size_t>(raw.size())));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), options.get()));
    if (!message)
        return email;

    readSender(message.get(), email);
    email.Subject = fromUtf8(g_mime_message_get_subject(message.get()));
    email.Date = messageDate(message.get(), internalDate);

    BodyParts bodies;
    g_mime_message_foreach(message.get(), collectBodyPart, &bodies);
    if (bodies.html)
        email.HTMLTextBody = withCrLf(partText(bodies.html, options.get()));
    if (bodies.plain)
        email.PlainTextBody = withCrLf(partText(bodies.plain, options.get()));
    else if (bodies.html)
        email.PlainTextBody = withCrLf(htmlToPlainText(email.HTMLTextBody));
    return email;
}
