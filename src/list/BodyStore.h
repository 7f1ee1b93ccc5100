#pragma once

#include <QString>

// The message bodies of one listing, kept on disk rather than on the heap so that a listing's
// memory does not grow with the size of its mail. The bodies go, as UTF-8, into one append-only
// file in the per-user cache folder (folder 0700, file 0600). An append-only file with offsets was
// chosen over an embedded database: it needs no new dependency, a body costs one sequential
// write when it arrives and one pread when the download or a search reads it back, and nothing
// ever updates a body in place. The file is unlinked right after it is opened, so only the open
// descriptor keeps it: it goes away when the store is cleared or destroyed, and a crash leaves
// nothing behind.
class BodyStore {
public:
    // Where one body lies in the file; the default span is the empty body.
    struct Span {
        qint64 offset = 0;
        qint64 size = 0;
    };

    BodyStore() = default;
    ~BodyStore();
    BodyStore(const BodyStore&) = delete;
    BodyStore& operator=(const BodyStore&) = delete;

    // Writes text at the end of the file, opening the file on the first non-empty body. Throws a
    // Failure naming the folder and the system's reason when the file cannot be created or
    // written (a full disk); the store is left as it was.
    Span append(const QString& text);
    // The body at span. Throws a Failure when the file cannot be read.
    QString read(const Span& span) const;
    // Closes the file, which deletes it; the next append starts a new one.
    void clear();

private:
    void open();

    int descriptor_ = -1;
    qint64 end_ = 0;
};
