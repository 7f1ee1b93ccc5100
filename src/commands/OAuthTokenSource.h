#pragma once

#include "auth/SignIn.h"
#include "mail/AccessTokenSource.h"

#include <QString>

#include <functional>

// The token source of a mail session signing in with OAuth2 through the window's sign-in: the
// current token asks for an access token; a fresh one first tells the sign-in the server refused
// the last. interaction() is asked at each call whether the sign-in page may open (Connect) or only
// a silent refresh is allowed (the retrieval runs). A sign-in that has gone away gives no token;
// one the user cancelled gives none either, marked cancelled.
AccessTokenSource oauthTokenSource(auth::SignIn& signIn, const QString& user,
                                   std::function<auth::Interaction()> interaction);
