#include "commands/OAuthTokenSource.h"

#include <QPointer>

AccessTokenSource oauthTokenSource(auth::SignIn& signIn, const QString& user,
                                   std::function<auth::Interaction()> interaction) {
    return [signIn = QPointer<auth::SignIn>(&signIn), user,
            interaction = std::move(interaction)](TokenNeed need) -> AccessToken {
        if (!signIn)
            return {QString(), QStringLiteral("the sign-in ended with its window")};
        if (need == TokenNeed::Fresh)
            signIn->tokenRefused(user);
        const auth::OAuthResult result = signIn->accessToken(user, interaction());
        if (!result.ok())
            return {QString(), result.detailText(), result.error == auth::OAuthError::Cancelled};
        return {result.tokens.accessToken, QString()};
    };
}
