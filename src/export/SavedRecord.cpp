#include "export/SavedRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QByteArray header = "quentaril-saved 1";
constexpr qsizetype fieldCount = 9;
// How long an added entry may wait before writeSoon() writes the record.
constexpr qint64 writeEveryMs = 3000;

QString escaped(const QString& field) {
    QString text;
    text.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case '\\':
            text += QStringLiteral("\\\\");
            break;
        case '\t':
            text += QStringLiteral("\\t");
            break;
        case '\r':
            text += QStringLiteral("\\r");
            break;
        case '\n':
            text += QStringLiteral("\\n");
            break;
        default:
            text += c;
        }
    }
    return text;
}

QString unescaped(const QString& field) {
    QString text;
    text.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const QChar next = field[++i];
        text += next == u't'   ? QChar(u'\t')
                : next == u'r' ? QChar(u'\r')
                : next == u'n' ? QChar(u'\n')
                               : next;
    }
    return text;
}

QString dateText(const QDateTime& date) {
    return date.isValid() ? date.toUTC().toString(Qt::ISODate) : QString();
}

QString mailboxKey(const MessageOrigin& origin) {
    return escaped(origin.server) + u'\t' + escaped(origin.user) + u'\t' + escaped(origin.folder);
}

QString uidValidityKey(const MessageOrigin& origin) {
    return mailboxKey(origin) + u'\t' + QString::number(origin.uidValidity);
}

QString uidKey(const MessageOrigin& origin) {
    return uidValidityKey(origin) + u'\t' + QString::number(origin.uid);
}

QString messageIdKey(const MessageOrigin& origin) {
    return mailboxKey(origin) + u'\t' + escaped(origin.messageId) + u'\t' + escaped(origin.sender) +
           u'\t' + dateText(origin.date);
}

} // namespace

SavedRecord::SavedRecord() = default;
SavedRecord::~SavedRecord() = default;

QString SavedRecord::fileName() {
    return QStringLiteral(".quentaril-saved");
}

std::optional<QString> SavedRecord::open(const QString& folder) {
    folder_ = folder;
    lock_ =
        std::make_unique<QLockFile>(QDir(folder).filePath(fileName() + QStringLiteral(".lock")));
    // Only a lock whose program has ended is stale, however long a run holds it.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(1000)) {
        const bool held = lock_->error() == QLockFile::LockFailedError;
        lock_.reset();
        return held ? QStringLiteral("another download is saving into this folder")
                    : QStringLiteral("its record of saved emails cannot be locked");
    }
    return read();
}

std::optional<QString> SavedRecord::read() {
    QFile file(QDir(folder_).filePath(fileName()));
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("its record of saved emails (%1) cannot be read: %2")
            .arg(fileName(), file.errorString());
    if (file.readLine().trimmed() != header)
        return QStringLiteral("its record of saved emails (%1) was not written by this version")
            .arg(fileName());
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        // A line cut short (the disk filled while another program wrote it) is passed over.
        if (fields.size() != fieldCount)
            continue;
        Entry entry;
        entry.origin.server = unescaped(fields[0]);
        entry.origin.user = unescaped(fields[1]);
        entry.origin.folder = unescaped(fields[2]);
        entry.origin.uidValidity = fields[3].toUInt();
        entry.origin.uid = fields[4].toUInt();
        entry.origin.messageId = unescaped(fields[5]);
        entry.origin.sender = unescaped(fields[6]);
        entry.origin.date = QDateTime::fromString(fields[7], Qt::ISODate);
        entry.file = unescaped(fields[8]);
        entries_.append(entry);
        index(entries_.size() - 1);
        uidValidities_.insert(uidValidityKey(entry.origin));
    }
    return std::nullopt;
}

void SavedRecord::index(qsizetype position) {
    const MessageOrigin& origin = entries_[position].origin;
    if (origin.uid != 0)
        byUid_.insert(uidKey(origin), position);
    if (!origin.messageId.isEmpty())
        byMessageId_.insert(messageIdKey(origin), position);
}

bool SavedRecord::fileThere(const QString& file) const {
    return !file.isEmpty() && QFileInfo::exists(QDir(folder_).filePath(file));
}

bool SavedRecord::knowsUidValidity(const MessageOrigin& folder) const {
    return folder.uidValidity != 0 && uidValidities_.contains(uidValidityKey(folder));
}

// Only the UIDVALIDITY values read decide which way a message is looked up: an entry kept under a
// new one during this run must not hide the others from the Message-ID look-up.
std::optional<QString> SavedRecord::savedFile(const MessageOrigin& origin) {
    if (origin.uid != 0 && knowsUidValidity(origin)) {
        const auto found = byUid_.constFind(uidKey(origin));
        if (found == byUid_.cend() || !fileThere(entries_[*found].file))
            return std::nullopt;
        return entries_[*found].file;
    }
    if (origin.messageId.isEmpty())
        return std::nullopt;
    const auto found = byMessageId_.constFind(messageIdKey(origin));
    if (found == byMessageId_.cend() || !fileThere(entries_[*found].file))
        return std::nullopt;
    const QString file = entries_[*found].file;
    if (origin.uid != 0)
        add(origin, file);
    return file;
}

void SavedRecord::add(const MessageOrigin& origin, const QString& fileName) {
    changed_ = true;
    if (origin.uid != 0) {
        const auto found = byUid_.constFind(uidKey(origin));
        if (found != byUid_.cend()) {
            entries_[*found] = {origin, fileName};
            return;
        }
    }
    entries_.append({origin, fileName});
    index(entries_.size() - 1);
}

std::optional<QString> SavedRecord::writeSoon() {
    if (sinceWrite_.isValid() && sinceWrite_.elapsed() < writeEveryMs)
        return std::nullopt;
    return write();
}

std::optional<QString> SavedRecord::write() {
    if (!changed_)
        return std::nullopt;
    QSaveFile file(QDir(folder_).filePath(fileName()));
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("its record of saved emails cannot be written: %1")
            .arg(file.errorString());
    QByteArray text = header + '\n';
    for (const Entry& entry : std::as_const(entries_)) {
        const MessageOrigin& o = entry.origin;
        const QString line = QStringList{escaped(o.server),      escaped(o.user),
                                         escaped(o.folder),      QString::number(o.uidValidity),
                                         QString::number(o.uid), escaped(o.messageId),
                                         escaped(o.sender),      dateText(o.date),
                                         escaped(entry.file)}
                                 .join(u'\t');
        text += line.toUtf8() + '\n';
    }
    if (file.write(text) != text.size() || !file.commit())
        return QStringLiteral("its record of saved emails cannot be written: %1")
            .arg(file.errorString());
    changed_ = false;
    sinceWrite_.start();
    return std::nullopt;
}
