#pragma once

#include "export/FolderNames.h"
#include "list/MessageOrigin.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLockFile>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

// The record of what was saved into a folder, kept in that folder as the hidden file
// ".quentaril-saved", so that it travels with the saved files. A text file in UTF-8: the line
// "quentaril-saved 1", then one line per saved message with nine fields separated by tabs:
//     server  user  folder  UIDVALIDITY  UID  Message-ID  sender  date  file
// (the date in ISO 8601, UTC; the file's name in the folder; a backslash, tab, CR or LF inside a
// field written as \\, \t, \r or \n). A message counts as saved when the record names it and its
// file is still there. It is known by its folder's UIDVALIDITY and its UID; when no entry of its
// folder has the UIDVALIDITY its folder has now (the server renumbered the folder), by its
// Message-ID, sender and date instead, and the entry found is then kept under the new UID too.
// While a record is open its folder is locked (".quentaril-saved.lock"): a second run saving into
// the same folder is turned away rather than left to overwrite the record. The record is written
// whole under a temporary name and renamed over the old one, so it is never half-written.
class SavedRecord {
public:
    SavedRecord();
    ~SavedRecord();
    SavedRecord(const SavedRecord&) = delete;
    SavedRecord& operator=(const SavedRecord&) = delete;

    static QString fileName();

    // Locks the record of folder and reads it (none yet is an empty record); the reason, for a
    // sentence ending in it, when it cannot.
    std::optional<QString> open(const QString& folder);

    // The file that holds the message when it was saved here before and the file is still there.
    std::optional<QString> savedFile(const MessageOrigin& origin);
    bool savedBefore(const MessageOrigin& origin) { return savedFile(origin).has_value(); }
    // Whether the record knows the folder's messages by this UIDVALIDITY, so that a UID it does
    // not name is a message never saved.
    bool knowsUidValidity(const MessageOrigin& folder);

    // Notes a message saved into fileName; written with the next write().
    void add(const MessageOrigin& origin, const QString& fileName);
    // Writes the record when something was added since the last write and a few seconds have
    // passed, so a run that breaks off loses little of it.
    std::optional<QString> writeSoon();
    // Writes the record when something was added since the last write.
    std::optional<QString> write();

private:
    // A message known by its UID: the mailbox's number in mailboxes_, UIDVALIDITY and UID.
    struct UidKey {
        int mailbox = -1;
        quint32 uidValidity = 0;
        quint32 uid = 0;
        friend bool operator==(const UidKey&, const UidKey&) = default;
        friend size_t qHash(const UidKey& key, size_t seed = 0) {
            return qHashMulti(seed, key.mailbox, key.uidValidity, key.uid);
        }
    };

    // An entry is kept as its line, in UTF-8 and without the line end: the keys are read from the
    // line's fields as they are written, so reading a large record unescapes nothing.
    UidKey index(qsizetype position);
    void indexMessageIds();
    QByteArray messageIdKeyOf(qsizetype position) const;
    QByteArray fileOf(qsizetype position) const;
    bool fileThere(const QByteArray& file);
    int lineMailbox(QByteArrayView mailbox);
    int mailboxOf(const MessageOrigin& origin, bool create);
    QByteArray mailboxKey(const MessageOrigin& origin);
    QByteArray uidLine(const MessageOrigin& origin);
    QByteArray messageIdKey(const MessageOrigin& origin);
    std::optional<QString> read();

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QList<QByteArray> entries_;
    // The mailboxes named, by their first three fields as written.
    QHash<QByteArray, int> mailboxes_;
    QHash<UidKey, qsizetype> byUid_;
    // Mailbox and UIDVALIDITY pairs of the entries read, the mailbox in the upper half.
    QSet<quint64> uidValidities_;
    // Built when a message is first looked up by its Message-ID.
    std::optional<QHash<QByteArray, qsizetype>> byMessageId_;
    // The names of the folder's files in UTF-8, read once when first needed, and those saved since.
    std::optional<FolderNames> files_;
    // The mailbox of the last origin looked at, which most often is the next one's, and of the
    // last line read.
    MessageOrigin lastOrigin_;
    int lastOriginMailbox_ = -1;
    QByteArray lastLineMailbox_;
    int lastLineMailboxId_ = -1;
    bool changed_ = false;
    QElapsedTimer sinceWrite_;
};
