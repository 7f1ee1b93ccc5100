#pragma once

#include "base/Failure.h"
#include "mail/clsMailIMAP.h"

#include <memory>

// The session behind a reference; a missing one fails like any unset object variable.
inline clsMailIMAP& requireSession(const std::shared_ptr<clsMailIMAP>& session) {
    if (!session)
        throw Failure::objectNotSet();
    return *session;
}
