#pragma once

#include <QIODevice>
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

// Starts writing what was written to the open file device to the disk, without waiting for it, so
// that the flush at the end of the run has little left to wait for. Only a hint: nothing happens
// where the system has no such request, and its failures show in the flush.
void startWriteBack(const QIODevice& device);

// Flushes every file (on Linux, when there are many, with one write-back of each file system that
// holds them), then every folder that holds one of them; the first failure, if any.
std::optional<Failure> flush(const QStringList& files);

} // namespace Durability
