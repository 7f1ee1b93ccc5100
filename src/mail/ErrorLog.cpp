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
    auto file = std::make_unique<QFile>(ErrorLog::filePath());
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        throw Failure(file->errorString());
    return file;
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
    const QString text = Conversions::dateTimeText(QDateTime::currentDateTime()) +
                         QStringLiteral(" : ") + lastErrorText + QStringLiteral("\r\n") +
                         QString(52, QLatin1Char('*')) + QStringLiteral("\r\n");
    QStringEncoder encoder(QStringEncoder::System);
    const QByteArray bytes = encoder.encode(text);
    std::unique_ptr<QFile> opened = kept().file ? std::move(kept().file) : openLog();
    // The bytes reach the disk on flush: a full disk shows there, not in the buffered write.
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
