#pragma once

#include <QString>

#include <functional>

// What a session signing in with OAuth2 asks its token source for.
enum class TokenNeed {
    Current, // the token in hand, renewed first if it has expired or is about to
    Fresh,   // a new token: the server refused the last one or ended the session over it
};

// A token source's answer: an access token, or why there is none.
struct AccessToken {
    QString token; // empty when none could be had
    QString error; // then why, e.g. "the sign-in page was closed"
    // The user ended the sign-in (or closed the window): no failure to report.
    bool cancelled = false;
};

// Gives the access token for the session's user; called on the session's (the window's) thread,
// and may take as long as a sign-in takes.
using AccessTokenSource = std::function<AccessToken(TokenNeed need)>;
