#include "export/FolderNames.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QFile>

#include <dirent.h>
#else
#include <QDirIterator>
#endif

FolderNames::FolderNames(const QString& folder) {
    // Each name is followed by a NUL; the views are taken once the block no longer moves.
    qsizetype count = 0;
#ifdef Q_OS_UNIX
    // File names on this system are UTF-8, as QFile encodes them.
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_type == DT_DIR)
            continue;
        read_.append(entry->d_name, qsizetype(qstrlen(entry->d_name)) + 1);
        ++count;
    }
    closedir(dir);
#else
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        read_ += entries.nextFileInfo().fileName().toUtf8() + '\0';
        ++count;
    }
#endif
    names_.reserve(count);
    for (qsizetype at = 0; at < read_.size();) {
        const qsizetype length = qstrlen(read_.constData() + at);
        names_.insert(QByteArrayView(read_.constData() + at, length));
        at += length + 1;
    }
}

void FolderNames::insert(const QByteArray& name) {
    added_.append(name);
    names_.insert(QByteArrayView(added_.last()));
}
