#pragma once

#include <QString>

namespace auth::Pkce {

// 32 random bytes as base64url without padding (43 characters).
QString verifier();
// base64url of the verifier's SHA-256, the S256 code challenge.
QString challenge(const QString& verifier);
// 16 random bytes as base64url: the request's state, echoed back by the redirect.
QString state();

} // namespace auth::Pkce
