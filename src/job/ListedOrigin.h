#pragma once

#include "list/MessageOrigin.h"

#include <QString>

class clsMailIMAP;

namespace job {

// The origin of the message the session is raising MailExtractListing for, sent by sender.
MessageOrigin listedOrigin(const clsMailIMAP& session, const QString& sender);

} // namespace job
