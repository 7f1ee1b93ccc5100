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

// The line up to (not including) its count-th tab; empty when it has fewer.
QString upToTab(const QString& line, int count) {
    qsizetype at = -1;
    for (int i = 0; i < count; ++i)
        if ((at = line.indexOf(u'\t', at + 1)) < 0)
            return {};
    return line.left(at);
}

// Fields first to last (from 0) of the line, with the tabs between them.
QString fields(const QString& line, int first, int last) {
    qsizetype from = 0;
    for (int i = 0; i < first; ++i)
        from = line.indexOf(u'\t', from) + 1;
    qsizetype to = from - 1;
    for (int i = first; i <= last; ++i)
        to = line.indexOf(u'\t', to + 1);
    return line.mid(from, to < 0 ? -1 : to - from);
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
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.first().trimmed() != header)
        return QStringLiteral("its record of saved emails (%1) was not written by this version")
            .arg(fileName());
    entries_.reserve(lines.size());
    byUid_.reserve(lines.size());
    byMessageId_.reserve(lines.size());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // A line cut short (the disk filled while another program wrote it) is passed over.
        if (lines[i].count('\t') != fieldCount - 1)
            continue;
        entries_.append(QString::fromUtf8(lines[i]));
        index(entries_.size() - 1);
        uidValidities_.insert(upToTab(entries_.last(), 4));
    }
    return std::nullopt;
}

// The keys are the line's own fields: the first five, and the first three with the sixth to
// eighth; the UID and the Message-ID are left out when unknown.
void SavedRecord::index(qsizetype position) {
    const QString& line = entries_[position];
    if (fields(line, 4, 4) != QLatin1String("0"))
        byUid_.insert(upToTab(line, 5), position);
    if (!fields(line, 5, 5).isEmpty())
        byMessageId_.insert(upToTab(line, 3) + u'\t' + fields(line, 5, 7), position);
}

QString SavedRecord::fileOf(qsizetype position) const {
    return unescaped(fields(entries_[position], 8, 8));
}

bool SavedRecord::fileThere(const QString& file) {
    if (!files_) {
        const QStringList names =
            QDir(folder_).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
        files_ = QSet<QString>(names.cbegin(), names.cend());
    }
    return files_->contains(file);
}

QString SavedRecord::mailboxKey(const MessageOrigin& origin) {
    if (lastMailboxKey_.isEmpty() || origin.server != lastMailbox_.server ||
        origin.user != lastMailbox_.user || origin.folder != lastMailbox_.folder) {
        lastMailbox_ = origin;
        lastMailboxKey_ =
            escaped(origin.server) + u'\t' + escaped(origin.user) + u'\t' + escaped(origin.folder);
    }
    return lastMailboxKey_;
}

bool SavedRecord::knowsUidValidity(const MessageOrigin& folder) {
    return folder.uidValidity != 0 && uidValidities_.contains(mailboxKey(folder) + u'\t' +
                                                              QString::number(folder.uidValidity));
}

// Only the UIDVALIDITY values read decide which way a message is looked up: an entry kept under a
// new one during this run must not hide the others from the Message-ID look-up.
std::optional<QString> SavedRecord::savedFile(const MessageOrigin& origin) {
    const auto there = [this](qsizetype position) -> std::optional<QString> {
        QString file = fileOf(position);
        if (!fileThere(file))
            return std::nullopt;
        return file;
    };
    if (origin.uid != 0 && knowsUidValidity(origin)) {
        const auto found = byUid_.constFind(uidKey(origin));
        return found == byUid_.cend() ? std::nullopt : there(*found);
    }
    if (origin.messageId.isEmpty())
        return std::nullopt;
    const auto found = byMessageId_.constFind(messageIdKey(origin));
    if (found == byMessageId_.cend())
        return std::nullopt;
    const std::optional<QString> file = there(*found);
    if (file && origin.uid != 0)
        add(origin, *file);
    return file;
}

void SavedRecord::add(const MessageOrigin& origin, const QString& fileName) {
    changed_ = true;
    if (files_)
        files_->insert(fileName);
    const QString line =
        QStringList{uidKey(origin), escaped(origin.messageId), escaped(origin.sender),
                    dateText(origin.date), escaped(fileName)}
            .join(u'\t');
    if (origin.uid != 0) {
        const auto found = byUid_.constFind(uidKey(origin));
        if (found != byUid_.cend()) {
            entries_[*found] = line;
            return;
        }
    }
    entries_.append(line);
    index(entries_.size() - 1);
}

QString SavedRecord::uidKey(const MessageOrigin& origin) {
    return mailboxKey(origin) + u'\t' + QString::number(origin.uidValidity) + u'\t' +
           QString::number(origin.uid);
}

QString SavedRecord::messageIdKey(const MessageOrigin& origin) {
    return mailboxKey(origin) + u'\t' + escaped(origin.messageId) + u'\t' + escaped(origin.sender) +
           u'\t' + dateText(origin.date);
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
    for (const QString& line : std::as_const(entries_))
        text += line.toUtf8() + '\n';
    if (file.write(text) != text.size() || !file.commit())
        return QStringLiteral("its record of saved emails cannot be written: %1")
            .arg(file.errorString());
    changed_ = false;
    sinceWrite_.start();
    return std::nullopt;
}
