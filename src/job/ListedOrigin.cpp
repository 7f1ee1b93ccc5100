#include "job/ListedOrigin.h"

#include "mail/clsMailIMAP.h"

namespace job {

MessageOrigin mailboxOrigin(const clsMailIMAP& session, const QString& folder,
                            quint32 uidValidity) {
    MessageOrigin origin;
    origin.server = QStringLiteral("%1:%2").arg(session.IMAPServer).arg(session.PORT);
    origin.user = session.Username;
    origin.folder = folder;
    origin.uidValidity = uidValidity;
    return origin;
}

MessageOrigin listedOrigin(const clsMailIMAP& session, const QString& sender) {
    const clsMailIMAP::Identity& identity = session.ListedIdentity();
    MessageOrigin origin = mailboxOrigin(session, identity.folder, identity.uidValidity);
    origin.uid = identity.uid;
    origin.messageId = identity.messageId;
    origin.sender = sender;
    origin.date = identity.date;
    return origin;
}

} // namespace job
