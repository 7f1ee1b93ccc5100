#include "mail/FolderResolver.h"

#include <QStringList>

namespace {

struct Role {
    QString caption;
    QString specialUse; // "" for none
    QStringList otherNames;
};

const QList<Role>& roles() {
    static const QList<Role> all{
        {QStringLiteral("Inbox"), QString(), {QStringLiteral("INBOX")}},
        {QStringLiteral("Drafts"), QStringLiteral("\\Drafts"), {}},
        {QStringLiteral("Sent"),
         QStringLiteral("\\Sent"),
         {QStringLiteral("Sent Items"), QStringLiteral("Sent Messages")}},
        {QStringLiteral("Junk"),
         QStringLiteral("\\Junk"),
         {QStringLiteral("Spam"), QStringLiteral("Junk E-mail"), QStringLiteral("Bulk Mail")}},
        {QStringLiteral("Deleted"),
         QStringLiteral("\\Trash"),
         {QStringLiteral("Trash"), QStringLiteral("Deleted Items"),
          QStringLiteral("Deleted Messages")}},
    };
    return all;
}

bool hasAttribute(const MailboxEntry& folder, const QString& attribute) {
    return folder.attributes.contains(attribute, Qt::CaseInsensitive);
}

bool selectable(const MailboxEntry& folder) {
    return !hasAttribute(folder, QStringLiteral("\\Noselect")) &&
           !hasAttribute(folder, QStringLiteral("\\NonExistent"));
}

// The prefix with its separator at the end: "INBOX." for a prefix given as "INBOX".
QString prefixOf(const FolderDirectory& directory) {
    QString prefix = directory.personalPrefix;
    if (!prefix.isEmpty() && !directory.separator.isNull() && !prefix.endsWith(directory.separator))
        prefix += directory.separator;
    return prefix;
}

QString find(const FolderDirectory& directory, const QString& name) {
    for (const MailboxEntry& folder : directory.folders)
        if (selectable(folder) && folder.name.compare(name, Qt::CaseInsensitive) == 0)
            return folder.name;
    return {};
}

} // namespace

namespace FolderResolver {

QString serverName(const QString& caption, const FolderDirectory& directory) {
    const auto role = std::find_if(roles().cbegin(), roles().cend(), [&](const Role& r) {
        return r.caption.compare(caption, Qt::CaseInsensitive) == 0;
    });
    if (role == roles().cend())
        return find(directory, caption);
    if (!role->specialUse.isEmpty())
        for (const MailboxEntry& folder : directory.folders)
            if (selectable(folder) && hasAttribute(folder, role->specialUse))
                return folder.name;
    const QString prefix = prefixOf(directory);
    QStringList candidates{caption};
    if (!prefix.isEmpty())
        candidates.append(prefix + caption);
    for (const QString& name : role->otherNames) {
        candidates.append(name);
        if (!prefix.isEmpty())
            candidates.append(prefix + name);
    }
    for (const QString& name : std::as_const(candidates))
        if (const QString found = find(directory, name); !found.isEmpty())
            return found;
    return {};
}

} // namespace FolderResolver
