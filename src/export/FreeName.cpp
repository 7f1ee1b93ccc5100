#include "export/FreeName.h"

#include "export/Download.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace FreeName {

QString candidate(const QString& folder, const QString& fileName, qint64 copy) {
    const QString stem = fileName.chopped(QStringLiteral(".txt").size());
    return Download::pathOf(folder, copy == 1 ? fileName
                                              : QStringLiteral("%1 (%2).txt").arg(stem).arg(copy));
}

QString firstFree(const QString& folder, const QString& fileName) {
    for (qint64 copy = 1;; ++copy) {
        const QString path = candidate(folder, fileName, copy);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return path;
    }
}

namespace {

// Whether the files at a and b hold the same bytes.
bool sameBytes(const QString& a, const QString& b) {
    QFile first(a);
    QFile second(b);
    if (!QFileInfo(b).isFile() || first.size() != second.size() ||
        !first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 chunk = 1024 * 1024;
    while (!first.atEnd()) {
        const QByteArray bytes = first.read(chunk);
        if (bytes.isEmpty() || bytes != second.read(chunk))
            return false;
    }
    return second.atEnd();
}

// Links from to the name to, which must be free; 0 or the errno. A file system without hard links
// (FAT) moves the file there instead, which fails the same way when the name is taken.
int link(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::link(source.constData(), target.constData()) == 0)
        return 0;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK)
        return errno;
    if (renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    return errno;
}

} // namespace

Claim claim(const QString& temporaryPath, const QString& folder, const QString& fileName) {
    for (qint64 copy = 1;; ++copy) {
        const QString path = candidate(folder, fileName, copy);
        const int error = link(temporaryPath, path);
        if (error == 0)
            return {path, false, 0};
        if (error != EEXIST)
            return {path, false, error};
        if (sameBytes(temporaryPath, path))
            return {path, true, 0};
    }
}

} // namespace FreeName
