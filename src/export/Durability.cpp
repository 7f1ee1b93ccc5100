#include "export/Durability.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace Durability {

namespace {

// 0 or the errno of opening or flushing the file or folder at path.
int sync(const QString& path, int flags) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0)
        return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}

} // namespace

std::optional<Failure> flush(const QStringList& files) {
    QStringList folders;
    for (const QString& file : files) {
        if (const int error = sync(file, 0))
            return Failure{file, QString::fromLocal8Bit(std::strerror(error))};
        const QString folder = QFileInfo(file).absolutePath();
        if (!folders.contains(folder))
            folders.append(folder);
    }
    for (const QString& folder : folders)
        if (const int error = sync(folder, O_DIRECTORY))
            return Failure{folder, QString::fromLocal8Bit(std::strerror(error))};
    return std::nullopt;
}

} // namespace Durability
