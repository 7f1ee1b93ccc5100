#pragma once

#include <QString>

#include <optional>
#include <vector>

// The message bodies of one listing, kept on disk rather than on the heap so that a listing's
// memory does not grow with the size of its mail. The bodies go, as UTF-8, into one append-only
// file in the per-user cache folder (folder 0700, file 0600). An append-only file with offsets was
// chosen over an embedded database: it needs no new dependency, a body is appended when it
// arrives and read back with one pread when the download or a search needs it, and nothing
// ever updates a body in place. Small bodies are gathered and written out a megabyte at a time, so
// a listing costs few system calls. The file is unlinked right after it is opened, so only the open
// descriptor keeps it: it goes away when the store is cleared or destroyed, and a crash leaves
// nothing behind. When the file cannot be made or written (a full disk), the bodies of the rest of
// the listing are kept in memory instead, so none is lost, and the failure is told once.
class BodyStore {
public:
    // Where one body lies in the file, or, for a negative offset, which body kept in memory it
    // is; the default span is the empty body.
    struct Span {
        qint64 offset = 0;
        qint64 size = 0;
    };

    BodyStore() = default;
    ~BodyStore();
    BodyStore(const BodyStore&) = delete;
    BodyStore& operator=(const BodyStore&) = delete;

    // Writes text at the end of the file, opening the file on the first non-empty body; keeps it
    // in memory from the first time the file cannot be created or written.
    Span append(const QString& text);
    // Why the bodies went to memory, naming the folder and the system's reason, the first time
    // it is asked after that happened; nothing otherwise.
    std::optional<QString> takeFailure();
    // The body at span. Throws a Failure when the file cannot be read.
    QString read(const Span& span) const;
    // Closes the file, which deletes it, and drops the bodies kept in memory; the next append
    // tries the disk again.
    void clear();

private:
    static constexpr qsizetype writeOutSize = 1 << 20;

    void open();
    void write(const QByteArray& bytes, qint64 offset);
    void writeOut();

    int descriptor_ = -1;
    qint64 end_ = 0;     // the store's size, bodies not yet written out included
    qint64 written_ = 0; // what is in the file; pending_ holds what follows
    QByteArray pending_;
    std::vector<QString> inMemory_;
    bool diskFailed_ = false;
    std::optional<QString> failure_;
};
