#pragma once

#include "list/MessageOrigin.h"

#include <QString>

class clsMailIMAP;

namespace job {

// The mailbox of folder on the session's server and user, known by uidValidity; no message in it.
MessageOrigin mailboxOrigin(const clsMailIMAP& session, const QString& folder, quint32 uidValidity);
// The origin of the message the session is raising MailExtractListing for, sent by sender.
MessageOrigin listedOrigin(const clsMailIMAP& session, const QString& sender);

} // namespace job
