#pragma once

#include <QString>
#include <QStringEncoder>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The thread that turns the message bodies of the body store into UTF-8 and writes them into its
// file, so that the window's thread does neither: it only says where each body goes and hands the
// bodies over in batches. A body's place follows from its size in UTF-8 (utf8Size); a large body
// is not measured but given room for its largest size (three bytes a character), and its size is
// known once it is written. A body is converted a slice at a time, so a very large one needs
// little memory besides its text, and the bytes are written out a megabyte at a time. A body given
// in UTF-8 is written as it is. When a write fails, every body not wholly in the file, and every
// one handed over later, is kept in memory instead, and the failure is told once.
class BodyWriter {
public:
    struct Body {
        QString text;
        qint64 offset = 0; // where its UTF-8 starts; each body follows the one before it
        qint64 size = 0;   // utf8Size(text), or -1: to be measured while it is written
        QByteArray utf8;   // a body given in UTF-8 instead of text, written as it is
    };

    // Writes into descriptor (not owned), from offset 0 on.
    explicit BodyWriter(int descriptor);
    // Stops at once; what is not written yet is dropped.
    ~BodyWriter();
    BodyWriter(const BodyWriter&) = delete;
    BodyWriter& operator=(const BodyWriter&) = delete;

    // The size of text in UTF-8, as the writer writes it: an unpaired surrogate as U+FFFD.
    static qint64 utf8Size(QStringView text);

    // Takes the bodies out of bodies, in order, and leaves it empty with its capacity.
    void hand(std::vector<Body>& bodies);
    // The most a body of text may take in UTF-8.
    static qint64 largestUtf8Size(QStringView text) { return 3 * qint64(text.size()); }

    // Waits until the body at offset, of size bytes or of a size to be measured (-1), is in the
    // file, or a write failed; answers its size in the file, nothing when it is not there.
    std::optional<qint64> waitUntilWritten(qint64 offset, qint64 size);
    // The body at offset, if it was kept in memory after a failed write.
    std::optional<QString> keptBody(qint64 offset) const;
    bool failed() const { return failed_; }
    // The system's error number of a failed write, the first time it is asked after that.
    std::optional<int> takeFailure();

private:
    void run();
    bool write(const Body& body);         // in the writer's thread; false when a write failed
    bool writeUtf8(QByteArrayView bytes); // in the writer's thread; false when a write failed
    bool writeOut();                      // in the writer's thread; false when a write failed
    void keep(const Body& body);          // with mutex_ held

    const int descriptor_;
    QStringEncoder encoder_;

    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable written_;
    std::vector<Body> queue_;
    std::atomic<bool> stopping_ = false;
    bool flushWanted_ = false;
    bool busy_ = false; // the writer works on bodies taken from queue_
    qint64 writtenEnd_ = 0;
    std::atomic<bool> failed_ = false;
    std::optional<int> failure_;
    std::map<qint64, QString> kept_;
    std::map<qint64, qint64> measured_; // the sizes of the bodies measured while written

    // The writer thread's own.
    std::vector<Body> working_;
    std::vector<Body> inPending_; // the bodies not yet wholly in the file, in order
    QByteArray pending_;
    qint64 pendingOffset_ = 0; // where pending_ goes in the file

    std::thread thread_;
};
