#pragma once

#include "auth/OAuthTokens.h"

#include <QString>

namespace auth {

// Why a sign-in step gave no tokens.
enum class OAuthError {
    None,
    NoClientId,          // no registration configured: nothing can be asked
    PageClosed,          // the browser never came back (closed page, or the time ran out)
    ConsentDeclined,     // the user said no on the service's page
    Cancelled,           // the user cancelled in the program
    CodeExpired,         // the device code ran out before it was entered
    InvalidGrant,        // the refresh token (or code) is no longer accepted
    InteractionRequired, // only a new sign-in in the browser would help, and that was not allowed
    BrowserNotOpened,    // the opener could not show the sign-in page
    ListenFailed,        // no loopback port for the sign-in page's answer
    NetworkError,        // the service could not be reached or answered nonsense
    ServiceError,        // any other refusal by the service
};

struct OAuthResult {
    OAuthError error = OAuthError::None;
    QString serviceError;       // the service's "error" code, when it gave one
    QString serviceDescription; // its "error_description"
    QString networkText;        // the transport's words for a network error
    OAuthTokens tokens;

    bool ok() const { return error == OAuthError::None; }
    // A short English text for the failed-login box's Details, e.g. "consent was declined".
    QString detailText() const;

    static OAuthResult failure(OAuthError error);
    static OAuthResult success(const OAuthTokens& tokens);
};

} // namespace auth
