#include "export/SavedRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace {

const QByteArray header = "quentaril-saved 1";
constexpr qsizetype fieldCount = 9;
// How long an added entry may wait before writeSoon() writes the record.
constexpr qint64 writeEveryMs = 3000;

QString escaped(const QString& field) {
    const auto plain = [](QChar c) { return c != u'\\' && c != u'\t' && c != u'\r' && c != u'\n'; };
    if (std::all_of(field.cbegin(), field.cend(), plain))
        return field; // shared, not copied: most fields have nothing to escape
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

QByteArray unescaped(QByteArrayView field) {
    QByteArray text;
    text.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char next = field[++i];
        text += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return text;
}

// The date as Qt's ISO text in UTC ("2026-03-03T10:15:30Z"), written directly for the years of
// four digits: this runs for every message saved, and Qt's formatting of it was a tenth of a
// save's time.
QString dateText(const QDateTime& date) {
    if (!date.isValid())
        return {};
    const QDateTime utc = date.toUTC();
    const QDate day = utc.date();
    if (day.year() < 0 || day.year() > 9999)
        return utc.toString(Qt::ISODate);
    const QTime time = utc.time();
    char text[21];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", day.year(), day.month(),
                  day.day(), time.hour(), time.minute(), time.second());
    return QString::fromLatin1(text, 20);
}

// Where each of the line's tabs is; the line has fieldCount - 1 of them.
using Tabs = std::array<qsizetype, fieldCount - 1>;

Tabs tabsOf(const QByteArray& line) {
    Tabs tabs{};
    qsizetype at = -1;
    for (qsizetype& tab : tabs)
        tab = at = line.indexOf('\t', at + 1);
    return tabs;
}

// Field n (from 0) of a line whose tabs are at tabs.
QByteArrayView field(const QByteArray& line, const Tabs& tabs, qsizetype n) {
    const qsizetype from = n == 0 ? 0 : tabs[size_t(n - 1)] + 1;
    const qsizetype to = size_t(n) < tabs.size() ? tabs[size_t(n)] : line.size();
    return QByteArrayView(line).sliced(from, to - from);
}

// A UIDVALIDITY or UID as written; 0, which no message has, when it is not a number.
quint32 number(QByteArrayView text) {
    quint32 value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

quint64 validityKey(int mailbox, quint32 uidValidity) {
    return quint64(quint32(mailbox)) << 32 | uidValidity;
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
    const QByteArray text = file.readAll();
    const qsizetype firstEnd = text.indexOf('\n');
    if (QByteArrayView(text).first(firstEnd < 0 ? text.size() : firstEnd).trimmed() != header)
        return QStringLiteral("its record of saved emails (%1) was not written by this version")
            .arg(fileName());
    const qsizetype estimate = text.size() / 128;
    entries_.reserve(estimate);
    byUid_.reserve(estimate);
    for (qsizetype from = firstEnd + 1; from > 0 && from < text.size();) {
        qsizetype end = text.indexOf('\n', from);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = QByteArrayView(text).sliced(from, end - from);
        from = end + 1;
        // A line cut short (the disk filled while another program wrote it) is passed over.
        if (line.count('\t') != fieldCount - 1)
            continue;
        entries_.append(line.toByteArray());
        const UidKey key = index(entries_.size() - 1);
        uidValidities_.insert(validityKey(key.mailbox, key.uidValidity));
    }
    return std::nullopt;
}

// The number of the mailbox named by a line's first three fields, a new one when none has it.
int SavedRecord::lineMailbox(QByteArrayView mailbox) {
    if (lastLineMailboxId_ >= 0 && mailbox == lastLineMailbox_)
        return lastLineMailboxId_;
    lastLineMailbox_ = mailbox.toByteArray();
    const auto found = mailboxes_.constFind(lastLineMailbox_);
    lastLineMailboxId_ = found != mailboxes_.cend()
                             ? *found
                             : *mailboxes_.insert(lastLineMailbox_, mailboxes_.size());
    return lastLineMailboxId_;
}

// The number of the origin's mailbox; -1 when no entry names it and create is false.
int SavedRecord::mailboxOf(const MessageOrigin& origin, bool create) {
    if (lastOriginMailbox_ < 0 || origin.server != lastOrigin_.server ||
        origin.user != lastOrigin_.user || origin.folder != lastOrigin_.folder) {
        const QByteArray key = mailboxKey(origin);
        if (!create && !mailboxes_.contains(key))
            return -1;
        lastOrigin_ = origin;
        lastOriginMailbox_ = lineMailbox(key);
    }
    return lastOriginMailbox_;
}

// An entry is found by its UID when it has one, and by its first three fields with the sixth to
// eighth when it has a Message-ID. Answers the entry's keys; a UID of 0 is none.
SavedRecord::UidKey SavedRecord::index(qsizetype position) {
    const QByteArray& line = entries_[position];
    const Tabs tabs = tabsOf(line);
    const UidKey key{lineMailbox(QByteArrayView(line).first(tabs[2])), number(field(line, tabs, 3)),
                     number(field(line, tabs, 4))};
    if (key.uid != 0)
        byUid_.insert(key, position);
    if (byMessageId_ && !field(line, tabs, 5).isEmpty())
        byMessageId_->insert(messageIdKeyOf(position), position);
    return key;
}

void SavedRecord::indexMessageIds() {
    byMessageId_.emplace();
    for (qsizetype position = 0; position < entries_.size(); ++position) {
        const QByteArray& line = entries_[position];
        if (!field(line, tabsOf(line), 5).isEmpty())
            byMessageId_->insert(messageIdKeyOf(position), position);
    }
}

QByteArray SavedRecord::messageIdKeyOf(qsizetype position) const {
    const QByteArray& line = entries_[position];
    const Tabs tabs = tabsOf(line);
    return line.first(tabs[2] + 1) + line.sliced(tabs[4] + 1, tabs[7] - tabs[4] - 1);
}

QByteArray SavedRecord::fileOf(qsizetype position) const {
    const QByteArray& line = entries_[position];
    return unescaped(field(line, tabsOf(line), 8));
}

bool SavedRecord::fileThere(const QByteArray& file) {
    if (!files_)
        files_.emplace(folder_);
    return files_->contains(file);
}

QByteArray SavedRecord::mailboxKey(const MessageOrigin& origin) {
    return (escaped(origin.server) + u'\t' + escaped(origin.user) + u'\t' + escaped(origin.folder))
        .toUtf8();
}

bool SavedRecord::knowsUidValidity(const MessageOrigin& folder) {
    if (folder.uidValidity == 0)
        return false;
    const int mailbox = mailboxOf(folder, false);
    return mailbox >= 0 && uidValidities_.contains(validityKey(mailbox, folder.uidValidity));
}

// Only the UIDVALIDITY values read decide which way a message is looked up: an entry kept under a
// new one during this run must not hide the others from the Message-ID look-up.
std::optional<QString> SavedRecord::savedFile(const MessageOrigin& origin) {
    const auto there = [this](qsizetype position) -> std::optional<QString> {
        const QByteArray file = fileOf(position);
        if (!fileThere(file))
            return std::nullopt;
        return QString::fromUtf8(file);
    };
    if (origin.uid != 0 && knowsUidValidity(origin)) {
        const auto found =
            byUid_.constFind({mailboxOf(origin, false), origin.uidValidity, origin.uid});
        return found == byUid_.cend() ? std::nullopt : there(*found);
    }
    if (origin.messageId.isEmpty())
        return std::nullopt;
    if (!byMessageId_)
        indexMessageIds();
    if (byMessageId_->isEmpty()) // a first run into the folder: its key is not even made
        return std::nullopt;
    const auto found = byMessageId_->constFind(messageIdKey(origin));
    if (found == byMessageId_->cend())
        return std::nullopt;
    const std::optional<QString> file = there(*found);
    if (file && origin.uid != 0)
        add(origin, *file);
    return file;
}

void SavedRecord::add(const MessageOrigin& origin, const QString& fileName) {
    changed_ = true;
    if (files_)
        files_->insert(fileName.toUtf8());
    const QByteArray line = uidLine(origin) + '\t' +
                            QStringList{escaped(origin.messageId), escaped(origin.sender),
                                        dateText(origin.date), escaped(fileName)}
                                .join(u'\t')
                                .toUtf8();
    if (origin.uid != 0) {
        const auto found =
            byUid_.constFind({mailboxOf(origin, true), origin.uidValidity, origin.uid});
        if (found != byUid_.cend()) {
            entries_[*found] = line;
            return;
        }
    }
    entries_.append(line);
    index(entries_.size() - 1);
}

QByteArray SavedRecord::uidLine(const MessageOrigin& origin) {
    return mailboxKey(origin) + '\t' + QByteArray::number(origin.uidValidity) + '\t' +
           QByteArray::number(origin.uid);
}

QByteArray SavedRecord::messageIdKey(const MessageOrigin& origin) {
    return mailboxKey(origin) + '\t' +
           QStringList{escaped(origin.messageId), escaped(origin.sender), dateText(origin.date)}
               .join(u'\t')
               .toUtf8();
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
    for (const QByteArray& line : std::as_const(entries_))
        text += line + '\n';
    if (file.write(text) != text.size() || !file.commit())
        return QStringLiteral("its record of saved emails cannot be written: %1")
            .arg(file.errorString());
    changed_ = false;
    sinceWrite_.start();
    return std::nullopt;
}
