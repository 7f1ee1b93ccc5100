#include "RawFetch.h"

#include <QByteArray>

#include <libetpan/libetpan.h>

#include <vector>

namespace {

struct Kept {
    std::vector<QByteArray> messages;
};

void noProgress(size_t, size_t, void*) {}

void keepMessage(mailimap_msg_att* message, void* context) {
    auto* kept = static_cast<Kept*>(context);
    for (clistiter* i = clist_begin(message->att_list); i; i = clist_next(i)) {
        auto* item = static_cast<mailimap_msg_att_item*>(clist_content(i));
        if (item->att_type != MAILIMAP_MSG_ATT_ITEM_STATIC ||
            item->att_data.att_static->att_type != MAILIMAP_MSG_ATT_BODY_SECTION)
            continue;
        const mailimap_msg_att_body_section* body =
            item->att_data.att_static->att_data.att_body_section;
        kept->messages.emplace_back(body->sec_body_part, qsizetype(body->sec_length));
    }
}

} // namespace

int rawFetchToMemory(const QString& host, int port, const QString& user, const QString& password,
                     int count) {
    Kept kept;
    kept.messages.reserve(std::size_t(count));
    mailimap* imap = mailimap_new(0, nullptr);
    mailimap_set_timeout(imap, 60);
    // libetpan hands each message to the handler as it arrives only when progress is reported.
    mailimap_set_progress_callback(imap, noProgress, nullptr, nullptr);
    mailimap_set_msg_att_handler(imap, keepMessage, &kept);
    int r = mailimap_ssl_connect(imap, host.toUtf8().constData(), uint16_t(port));
    bool ok = r == MAILIMAP_NO_ERROR_AUTHENTICATED || r == MAILIMAP_NO_ERROR_NON_AUTHENTICATED;
    ok = ok && mailimap_login(imap, user.toUtf8().constData(), password.toUtf8().constData()) ==
                   MAILIMAP_NO_ERROR;
    ok = ok && mailimap_examine(imap, "INBOX") == MAILIMAP_NO_ERROR;
    if (ok) {
        mailimap_set* set = mailimap_set_new_interval(1, uint32_t(count));
        mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att_list_empty();
        mailimap_fetch_type_new_fetch_att_list_add(
            type, mailimap_fetch_att_new_body_peek_section(mailimap_section_new(nullptr)));
        mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_internaldate());
        clist* result = nullptr;
        ok = mailimap_fetch(imap, set, type, &result) == MAILIMAP_NO_ERROR;
        if (ok)
            mailimap_fetch_list_free(result);
        mailimap_fetch_type_free(type);
        mailimap_set_free(set);
        mailimap_logout(imap);
    }
    mailimap_free(imap);
    return ok ? int(kept.messages.size()) : -1;
}
