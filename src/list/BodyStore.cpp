#include "list/BodyStore.h"

#include "base/Failure.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

QString folder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

Failure storeFailure(const QString& what, const QString& reason) {
    return Failure(QStringLiteral("The message bodies could not be %1 in %2: %3.")
                       .arg(what, QDir::toNativeSeparators(folder()), reason));
}

Failure storeFailure(const QString& what, int error) {
    return storeFailure(what, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

BodyStore::~BodyStore() {
    clear();
}

void BodyStore::open() {
    const QString path = folder();
    if (path.isEmpty() || !QDir().mkpath(path))
        throw storeFailure(QStringLiteral("stored"),
                           QStringLiteral("the folder cannot be created"));
    const QByteArray local = QFile::encodeName(path);
    if (::chmod(local.constData(), S_IRWXU) != 0)
        throw storeFailure(QStringLiteral("stored"), errno);
    // mkostemp creates the file exclusively with mode 0600; a program started from here (the
    // browser) does not inherit it.
    QByteArray name = local + "/bodies-XXXXXX";
    const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0)
        throw storeFailure(QStringLiteral("stored"), errno);
    ::unlink(name.constData());
    descriptor_ = descriptor;
    end_ = 0;
    writer_ = std::make_unique<BodyWriter>(descriptor_);
}

bool BodyStore::diskUsable() {
    if (!diskFailed_) {
        try {
            if (descriptor_ < 0)
                open();
            diskFailed_ = writer_->failed();
        } catch (const Failure& failure) {
            diskFailed_ = true;
            failure_ = failure.description() +
                       QStringLiteral(" They are kept in memory until the list is cleared.");
        }
    }
    return !diskFailed_;
}

BodyStore::Span BodyStore::keptInMemory(const QString& text) {
    inMemory_.push_back(text);
    return {-qint64(inMemory_.size()), text.size()};
}

BodyStore::Span BodyStore::append(const QString& text) {
    if (text.isEmpty())
        return {end_, 0};
    if (!diskUsable())
        return keptInMemory(text);
    // A large body is not scanned here: it takes the room of its largest size.
    const bool large = text.size() >= handOverSize;
    const qint64 size = large ? -1 : BodyWriter::utf8Size(text);
    const Span span{end_, large ? -BodyWriter::largestUtf8Size(text) : size};
    batch_.push_back({text, span.offset, size, {}});
    end_ += large ? -span.size : size;
    batchSize_ += text.size();
    if (batchSize_ >= handOverSize)
        handOver();
    return span;
}

BodyStore::Span BodyStore::appendUtf8(const QByteArray& text) {
    if (text.isEmpty())
        return {end_, 0};
    if (!diskUsable())
        return keptInMemory(QString::fromUtf8(text));
    const Span span{end_, text.size()};
    batch_.push_back({QString(), span.offset, span.size, text});
    end_ += span.size;
    batchSize_ += text.size();
    if (batchSize_ >= handOverSize)
        handOver();
    return span;
}

void BodyStore::handOver() const {
    if (batch_.empty())
        return;
    writer_->hand(batch_);
    batchSize_ = 0;
}

std::optional<QString> BodyStore::takeFailure() {
    if (writer_) {
        if (const std::optional<int> error = writer_->takeFailure())
            failure_ = storeFailure(QStringLiteral("written"), *error).description() +
                       QStringLiteral(" They are kept in memory until the list is cleared.");
    }
    return std::exchange(failure_, std::nullopt);
}

QString BodyStore::read(const Span& span) const {
    if (span.size == 0)
        return {};
    if (span.offset < 0) {
        const auto index = static_cast<std::size_t>(-span.offset - 1);
        if (index >= inMemory_.size())
            throw Failure::subscriptOutOfRange();
        return inMemory_[index];
    }
    const qint64 room = std::abs(span.size);
    if (descriptor_ < 0 || span.offset + room > end_)
        throw Failure::subscriptOutOfRange();
    handOver();
    const std::optional<qint64> written =
        writer_->waitUntilWritten(span.offset, span.size < 0 ? -1 : span.size);
    if (!written) {
        if (std::optional<QString> kept = writer_->keptBody(span.offset))
            return *kept;
    }
    // A body neither written nor kept was written before a failed write.
    const qint64 size = written ? *written : span.size;
    if (size < 0)
        throw Failure::subscriptOutOfRange();
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(descriptor_, bytes.data() + done,
                                  static_cast<std::size_t>(size - done), span.offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw storeFailure(QStringLiteral("read"), n < 0 ? errno : EIO);
        done += n;
    }
    return QString::fromUtf8(bytes);
}

void BodyStore::clear() {
    writer_.reset(); // stops writing before the file goes
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
    end_ = 0;
    batch_.clear();
    batchSize_ = 0;
    inMemory_.clear();
    inMemory_.shrink_to_fit();
    diskFailed_ = false;
    failure_.reset();
}
