#include "list/BodyWriter.h"

#include "base/BackgroundPriority.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <unistd.h>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#endif

namespace {

// Characters converted at a time, and the bytes gathered before they are written.
constexpr qsizetype sliceSize = 256 * 1024;
constexpr qsizetype writeOutSize = 1 << 20;

} // namespace

BodyWriter::BodyWriter(int descriptor)
    : descriptor_(descriptor), encoder_(QStringConverter::Utf8, QStringConverter::Flag::Stateless) {
    pending_.reserve(writeOutSize + 3 * sliceSize);
    thread_ = std::thread([this] {
        BackgroundPriority::lowerCurrentThread();
        run();
    });
}

BodyWriter::~BodyWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    thread_.join();
}

qint64 BodyWriter::utf8Size(QStringView text) {
    if (QtPrivate::isAscii(text))
        return text.size();
    qint64 size = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            size += 1;
        } else if (c < 0x800) {
            size += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            size += 4;
            ++i;
        } else {
            size += 3; // an unpaired surrogate becomes U+FFFD
        }
    }
    return size;
}

void BodyWriter::hand(std::vector<Body>& bodies) {
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty())
            queue_.swap(bodies);
        else
            std::move(bodies.begin(), bodies.end(), std::back_inserter(queue_));
    }
    bodies.clear();
    work_.notify_one();
}

std::optional<qint64> BodyWriter::waitUntilWritten(qint64 offset, qint64 size) {
    std::unique_lock lock(mutex_);
    const auto known = [&]() -> std::optional<qint64> {
        if (size >= 0)
            return size;
        const auto found = measured_.find(offset);
        return found == measured_.end() ? std::nullopt : std::optional(found->second);
    };
    const auto inFile = [&] { return known() && writtenEnd_ >= offset + *known(); };
    if (!inFile()) {
        flushWanted_ = true;
        work_.notify_one();
        // After a failed write, until every body handed over is written or kept.
        written_.wait(
            lock, [&] { return inFile() || (failed_ && !busy_ && queue_.empty()) || stopping_; });
    }
    return inFile() ? known() : std::nullopt;
}

std::optional<QString> BodyWriter::keptBody(qint64 offset) const {
    std::lock_guard lock(mutex_);
    const auto found = kept_.find(offset);
    if (found == kept_.end())
        return std::nullopt;
    return found->second;
}

std::optional<int> BodyWriter::takeFailure() {
    if (!failed_)
        return std::nullopt;
    std::lock_guard lock(mutex_);
    return std::exchange(failure_, std::nullopt);
}

void BodyWriter::keep(const Body& body) {
    kept_.insert_or_assign(body.offset,
                           body.utf8.isEmpty() ? body.text : QString::fromUtf8(body.utf8));
}

void BodyWriter::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        work_.wait(lock, [this] { return stopping_ || !queue_.empty() || flushWanted_; });
        if (stopping_)
            return;
        if (queue_.empty()) { // a reader waits for what is gathered
            flushWanted_ = false;
            if (!failed_ && !pending_.isEmpty()) {
                lock.unlock();
                writeOut();
                lock.lock();
            }
            written_.notify_all();
            continue;
        }
        working_.swap(queue_);
        busy_ = true;
        if (!failed_) {
            lock.unlock();
            std::size_t done = 0;
            while (done < working_.size() && !stopping_ && write(working_[done]))
                ++done;
            lock.lock();
            working_.erase(working_.begin(), working_.begin() + qsizetype(done));
        }
        if (failed_)
            for (const Body& body : working_)
                keep(body);
        working_.clear();
        busy_ = false;
        written_.notify_all();
    }
}

bool BodyWriter::write(const Body& body) {
    if (pendingOffset_ + pending_.size() != body.offset) {
        // Room was left for a measured body before this one: the rest of it stays a hole.
        if (!writeOut())
            return false;
        std::lock_guard lock(mutex_);
        pendingOffset_ = body.offset;
        writtenEnd_ = body.offset;
    }
    inPending_.push_back(body);
    if (!body.utf8.isEmpty())
        return writeUtf8(body.utf8);
    const QStringView text(body.text);
    qsizetype at = 0;
    while (at < text.size() && !stopping_) {
        qsizetype n = std::min(sliceSize, text.size() - at);
        if (at + n < text.size() && text[at + n - 1].isHighSurrogate())
            ++n; // a surrogate pair stays in one slice
        const qsizetype old = pending_.size();
        pending_.resize(old + encoder_.requiredSpace(n));
        char* const end = encoder_.appendToBuffer(pending_.data() + old, text.sliced(at, n));
        pending_.truncate(end - pending_.constData());
        at += n;
        if (pending_.size() >= writeOutSize && !writeOut())
            return false;
    }
    if (body.size < 0 && !stopping_) {
        const qint64 size = pendingOffset_ + pending_.size() - body.offset;
        inPending_.back().size = size;
        std::lock_guard lock(mutex_);
        measured_.emplace(body.offset, size);
    }
    return true;
}

bool BodyWriter::writeUtf8(QByteArrayView bytes) {
    for (qsizetype at = 0; at < bytes.size() && !stopping_;) {
        if (pending_.size() >= writeOutSize && !writeOut())
            return false;
        const qsizetype n = std::min(writeOutSize - pending_.size(), bytes.size() - at);
        pending_.append(bytes.sliced(at, n));
        at += n;
    }
    return true;
}

bool BodyWriter::writeOut() {
    qint64 done = 0;
    while (done < pending_.size()) {
        const ssize_t n =
            ::pwrite(descriptor_, pending_.constData() + done,
                     static_cast<std::size_t>(pending_.size() - done), pendingOffset_ + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            std::lock_guard lock(mutex_);
            failed_ = true;
            failure_ = error;
            for (const Body& body : inPending_)
                keep(body);
            inPending_.clear();
            return false;
        }
        done += n;
    }
#ifdef __linux__
    // The store is written back as it grows: left to wait in the system's cache, it would be
    // written back by the flush that ends a save into a folder on the same disk.
    sync_file_range(descriptor_, pendingOffset_, pending_.size(), SYNC_FILE_RANGE_WRITE);
#endif
    pendingOffset_ += pending_.size();
    pending_.truncate(0); // keeps its capacity for the next bodies
    // Every body but the one being converted is now wholly in the file.
    const bool lastDone =
        inPending_.empty() || (inPending_.back().size >= 0 &&
                               inPending_.back().offset + inPending_.back().size <= pendingOffset_);
    inPending_.erase(inPending_.begin(), lastDone ? inPending_.end() : inPending_.end() - 1);
    {
        std::lock_guard lock(mutex_);
        writtenEnd_ = pendingOffset_;
    }
    written_.notify_all();
    return true;
}
