#include "auth/OAuthTokens.h"

namespace auth {

namespace {

constexpr qint64 kRefreshMarginSeconds = 60;

} // namespace

bool OAuthTokens::needsRefresh(const QDateTime& now) const {
    return accessToken.isEmpty() || !expiry.isValid() || now.secsTo(expiry) < kRefreshMarginSeconds;
}

} // namespace auth
