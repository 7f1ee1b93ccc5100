#include "mail/ErrorLog.h"

#include "base/Conversions.h"
#include "base/Failure.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringEncoder>

#include <memory>

namespace {

QString& overrideFolder() {
    static QString folder;
    return folder;
}

QString logFolder() {
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(programFolder).isWritable())
        return programFolder;
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataFolder);
    return dataFolder;
}

// The log kept open, and how many KeptOpen live: a listing may start inside another one's yield.
struct Kept {
    std::unique_ptr<QFile> file;
    int holders = 0;
};

Kept& kept() {
    static Kept log;
    return log;
}

std::unique_ptr<QFile> openLog() {
    // Unbuffered: each entry goes to the system in one write, which reports a full disk at once.
    auto file = std::make_unique<QFile>(ErrorLog::filePath());
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw Failure(file->errorString());
    return file;
}

// The local date and time of now as the log shows it, made again only when the second changes:
// a listing appends an entry per message, many in each second.
QStringView nowText() {
    thread_local qint64 second = -1;
    thread_local QString text;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / 1000 != second) {
        text = Conversions::dateTimeText(QDateTime::fromMSecsSinceEpoch(now));
        second = now / 1000;
    }
    return text;
}

// One entry in the locale's encoding, in a buffer kept from one entry to the next. Qt takes that
// encoding to be UTF-8 on Unix; named so, its encoder writes into the buffer directly rather than
// through one of its own. On Windows it is the code page of the system's locale.
const QByteArray& entryBytes(const QString& lastErrorText) {
#ifdef Q_OS_WIN
    thread_local QStringEncoder encoder(QStringEncoder::System, QStringConverter::Flag::Stateless);
#else
    thread_local QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
#endif
    static const QString separator = QStringLiteral(" : ");
    static const QString stars = QString(52, QLatin1Char('*')) + QStringLiteral("\r\n");
    thread_local QByteArray bytes;
    const QStringView stamp = nowText();
    const QStringView pieces[] = {stamp, separator, lastErrorText, u"\r\n", stars};
    qsizetype length = 0;
    for (const QStringView piece : pieces)
        length += piece.size();
    bytes.resize(encoder.requiredSpace(length));
    char* out = bytes.data();
    for (const QStringView piece : pieces)
        out = encoder.appendToBuffer(out, piece);
    bytes.resize(out - bytes.constData());
    return bytes;
}

} // namespace

namespace ErrorLog {

void setFolder(const QString& folder) {
    overrideFolder() = folder;
}

QString filePath() {
    return QDir(logFolder()).filePath(QStringLiteral("errorlog.txt"));
}

void append(const QString& lastErrorText) {
    const QByteArray& bytes = entryBytes(lastErrorText);
    std::unique_ptr<QFile> opened = kept().file ? std::move(kept().file) : openLog();
    if (opened->write(bytes) != bytes.size() || !opened->flush())
        throw Failure(opened->errorString());
    if (kept().holders > 0)
        kept().file = std::move(opened);
}

// The log is opened by the first append, so a listing that fetches nothing makes no log.
KeptOpen::KeptOpen() {
    ++kept().holders;
}

KeptOpen::~KeptOpen() {
    if (--kept().holders == 0)
        kept().file.reset();
}

} // namespace ErrorLog
