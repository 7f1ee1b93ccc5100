#include "auth/OAuthResult.h"

namespace auth {

QString OAuthResult::detailText() const {
    switch (error) {
    case OAuthError::None:
        return {};
    case OAuthError::NoClientId:
        return QStringLiteral("this build has no sign-in registration (no OAuthClientId is set)");
    case OAuthError::PageClosed:
        return QStringLiteral("the sign-in page was closed");
    case OAuthError::ConsentDeclined:
        return QStringLiteral("consent was declined");
    case OAuthError::Cancelled:
        return QStringLiteral("the sign-in was cancelled");
    case OAuthError::CodeExpired:
        return QStringLiteral("the sign-in code expired before it was entered");
    case OAuthError::InvalidGrant:
        return QStringLiteral("the saved sign-in is no longer accepted");
    case OAuthError::InteractionRequired:
        return QStringLiteral("a new sign-in in the browser is needed");
    case OAuthError::BrowserNotOpened:
        return QStringLiteral("the browser could not be opened for the sign-in page");
    case OAuthError::ListenFailed:
        return QStringLiteral("no local port could be opened for the sign-in page's answer");
    case OAuthError::NetworkError:
        return networkText.isEmpty()
                   ? QStringLiteral("the sign-in service could not be reached")
                   : QStringLiteral("the sign-in service could not be reached: %1")
                         .arg(networkText);
    case OAuthError::ServiceError:
        return serviceDescription.isEmpty()
                   ? QStringLiteral("the sign-in service refused: %1").arg(serviceError)
                   : QStringLiteral("the sign-in service refused: %1 (%2)")
                         .arg(serviceError, serviceDescription);
    }
    return {};
}

OAuthResult OAuthResult::failure(OAuthError error) {
    OAuthResult result;
    result.error = error;
    return result;
}

OAuthResult OAuthResult::success(const OAuthTokens& tokens) {
    OAuthResult result;
    result.tokens = tokens;
    return result;
}

} // namespace auth
