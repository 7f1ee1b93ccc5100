#pragma once

#include "mail/MailImap.h"

#include <QString>

// The five folders the window offers go by the names of the default service ("Inbox", "Drafts",
// "Sent", "Junk", "Deleted"). Other servers keep them under other names: "INBOX.Sent" below a
// namespace prefix, "Sent Messages", "Trash", "Spam". This finds the server's own folder for one
// of the five, in this order: the folder carrying the matching special-use attribute, the same
// name under the personal namespace's prefix, then the usual other names, with or without the
// prefix. Folders that cannot be opened (\Noselect, \NonExistent) are passed over.
namespace FolderResolver {

// The server's name for the folder, "" when none of its folders fits.
QString serverName(const QString& caption, const FolderDirectory& directory);

} // namespace FolderResolver
