#include "UidSearch.h"

#include <libetpan/libetpan.h>

#include <cstdint>

int uidSearchAll(const char* host, int port, const char* user, const char* password) {
    mailimap* imap = mailimap_new(0, nullptr);
    mailimap_set_timeout(imap, 60);
    const int r = mailimap_ssl_connect(imap, host, uint16_t(port));
    bool ok = r == MAILIMAP_NO_ERROR_AUTHENTICATED || r == MAILIMAP_NO_ERROR_NON_AUTHENTICATED;
    ok = ok && mailimap_login(imap, user, password) == MAILIMAP_NO_ERROR;
    ok = ok && mailimap_examine(imap, "INBOX") == MAILIMAP_NO_ERROR;
    int found = -1;
    if (ok) {
        mailimap_search_key* all = mailimap_search_key_new_all();
        clist* result = nullptr;
        if (mailimap_uid_search(imap, nullptr, all, &result) == MAILIMAP_NO_ERROR) {
            found = clist_count(result);
            mailimap_search_result_free(result);
        }
        mailimap_search_key_free(all);
        mailimap_logout(imap);
    }
    mailimap_free(imap);
    return found;
}
