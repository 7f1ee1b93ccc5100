#include "export/Durability.h"

#include <QFile>
#include <QFileDevice>
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

#ifdef __linux__
// 0 or the errno of writing back the file system that holds folder.
int syncFileSystem(const QString& folder) {
    const int fd = open(QFile::encodeName(folder).constData(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0)
        return errno;
    const int error = syncfs(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}
#endif

} // namespace

void startWriteBack(const QIODevice& device) {
#ifdef __linux__
    if (const auto* file = qobject_cast<const QFileDevice*>(&device); file && file->handle() >= 0)
        sync_file_range(file->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(device);
#endif
}

std::optional<Failure> flush(const QStringList& files) {
    QStringList folders;
    for (const QString& file : files) {
        const QString folder = QFileInfo(file).absolutePath();
        if (!folders.contains(folder))
            folders.append(folder);
    }
#ifdef __linux__
    // One write-back of each folder's file system puts every file of the run on the disk at once:
    // for thousands of small files it costs a fraction of flushing each of them. It writes back
    // whatever else waits on that file system too, so a few files are flushed each on its own.
    constexpr qsizetype fewFiles = 16;
    if (files.size() > fewFiles) {
        for (const QString& folder : std::as_const(folders))
            if (const int error = syncFileSystem(folder))
                return Failure{folder, QString::fromLocal8Bit(std::strerror(error))};
    } else
#endif
    {
        for (const QString& file : files)
            if (const int error = sync(file, 0))
                return Failure{file, QString::fromLocal8Bit(std::strerror(error))};
    }
    for (const QString& folder : std::as_const(folders))
        if (const int error = sync(folder, O_DIRECTORY))
            return Failure{folder, QString::fromLocal8Bit(std::strerror(error))};
    return std::nullopt;
}

} // namespace Durability
