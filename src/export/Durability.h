#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Puts saved files on the disk for good: their bytes, then the entries of their folders, so that
// a crash or a power cut after it loses none of them.
namespace Durability {

struct Failure {
    QString path;
    QString reason; // the system's text
};

// Flushes every file (on Linux with one write-back of each file system that holds them), then
// every folder that holds one of them; the first failure, if any.
std::optional<Failure> flush(const QStringList& files);

} // namespace Durability
