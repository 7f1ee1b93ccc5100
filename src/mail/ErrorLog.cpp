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
    QFile file(filePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw Failure(file.errorString());
    // The bytes reach the disk on flush: a full disk shows there, not in the buffered write.
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw Failure(file.errorString());
}

} // namespace ErrorLog
