#pragma once

// The ceiling of a run with nothing new: sign in over TLS, open the Inbox read-only and ask for
// its UIDs with UID SEARCH ALL, straight through libetpan. Answers the UIDs found, -1 on failure.
int uidSearchAll(const char* host, int port, const char* user, const char* password);
