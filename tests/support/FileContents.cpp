#include "FileContents.h"

#include "mail/ErrorLog.h"

#include <QFile>

QByteArray fileContents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString errorLogText() {
    QFile log(ErrorLog::filePath());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
