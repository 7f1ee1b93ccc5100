#include "job/ListedOrigin.h"

#include "mail/clsMailIMAP.h"

namespace job {

MessageOrigin listedOrigin(const clsMailIMAP& session, const QString& sender) {
    const clsMailIMAP::Identity& identity = session.ListedIdentity();
    MessageOrigin origin;
    origin.server = QStringLiteral("%1:%2").arg(session.IMAPServer).arg(session.PORT);
    origin.user = session.Username;
    origin.folder = identity.folder;
    origin.uidValidity = identity.uidValidity;
    origin.uid = identity.uid;
    origin.messageId = identity.messageId;
    origin.sender = sender;
    origin.date = identity.date;
    return origin;
}

} // namespace job
