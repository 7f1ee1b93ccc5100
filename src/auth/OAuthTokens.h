#pragma once

#include <QDateTime>
#include <QString>

namespace auth {

// What a sign-in gives: a short-lived access token for the IMAP server and, with offline_access,
// a refresh token that gets the next one without the browser.
struct OAuthTokens {
    QString accessToken;
    QDateTime expiry; // UTC; invalid when unknown
    QString refreshToken;

    // Missing, or expiring within the next minute.
    bool needsRefresh(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
};

} // namespace auth
