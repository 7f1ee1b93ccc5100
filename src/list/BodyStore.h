#pragma once

#include "list/BodyWriter.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// The message bodies of one listing, kept on disk rather than on the heap so that a listing's
// memory does not grow with the size of its mail. The bodies go, as UTF-8, into one append-only
// file in the per-user cache folder (folder 0700, file 0600). An append-only file with offsets was
// chosen over an embedded database: it needs no new dependency, a body is appended when it
// arrives and read back with one pread when the download or a search needs it, and nothing
// ever updates a body in place. The file is unlinked right after it is opened, so only the open
// descriptor keeps it: it goes away when the store is cleared or destroyed, and a crash leaves
// nothing behind.
// Appending costs the caller (the window's thread, once per listed message) only a scan of a small
// text for its size in UTF-8, nothing for a large one: the bodies are gathered and handed in
// batches to a thread of the store's own (BodyWriter), which converts and writes them. Reading a
// body waits until it is written. When the file cannot be made or written (a full disk), the bodies
// of the rest of the listing are kept in memory instead, so none is lost, and the failure is told
// once.
class BodyStore {
public:
    // Where one body lies in the file, or, for a negative offset, which body kept in memory it
    // is; the default span is the empty body. A negative size is the room left for a large body,
    // whose size the writer measures.
    struct Span {
        qint64 offset = 0;
        qint64 size = 0;
    };

    BodyStore() = default;
    ~BodyStore();
    BodyStore(const BodyStore&) = delete;
    BodyStore& operator=(const BodyStore&) = delete;

    // Puts text at the end of the file, opening the file on the first non-empty body; keeps it
    // in memory from the first time the file cannot be created or written.
    Span append(const QString& text);
    // The same for a text in UTF-8, which is written as it is.
    Span appendUtf8(const QByteArray& text);
    // Why the bodies went to memory, naming the folder and the system's reason, the first time
    // it is asked after that happened; nothing otherwise.
    std::optional<QString> takeFailure();
    // The body at span, once it is written. Throws a Failure when the file cannot be read.
    QString read(const Span& span) const;
    // Closes the file, which deletes it, and drops the bodies kept in memory; the next append
    // tries the disk again.
    void clear();

private:
    // Bodies gathered before they are handed to the writer, in characters.
    static constexpr qsizetype handOverSize = 256 * 1024;

    void open();
    bool diskUsable(); // opens the file on first use; false once the bodies go to memory
    Span keptInMemory(const QString& text);
    void handOver() const;

    int descriptor_ = -1;
    std::unique_ptr<BodyWriter> writer_;
    qint64 end_ = 0; // the store's size, bodies not yet written included
    mutable std::vector<BodyWriter::Body> batch_;
    mutable qsizetype batchSize_ = 0;
    std::vector<QString> inMemory_;
    bool diskFailed_ = false;
    std::optional<QString> failure_;
};
