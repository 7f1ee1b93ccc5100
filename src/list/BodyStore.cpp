#include "list/BodyStore.h"

#include "base/Failure.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
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
    written_ = 0;
}

BodyStore::Span BodyStore::append(const QString& text) {
    if (text.isEmpty())
        return {end_, 0};
    if (!diskFailed_) {
        Span span;
        bool pending = false; // the body is among those not written out yet
        try {
            if (descriptor_ < 0)
                open();
            const QByteArray bytes = text.toUtf8();
            span = Span{end_, bytes.size()};
            if (pending_.isEmpty() && bytes.size() >= writeOutSize) {
                write(bytes, end_); // a large body goes to the file as it is
                end_ += bytes.size();
                written_ = end_;
            } else {
                pending_ += bytes;
                end_ += bytes.size();
                pending = true;
                if (pending_.size() >= writeOutSize)
                    writeOut();
            }
            return span;
        } catch (const Failure& failure) {
            diskFailed_ = true;
            failure_ = failure.description() +
                       QStringLiteral(" They are kept in memory until the list is cleared.");
            if (pending)
                return span; // the bodies not written out stay in memory
        }
    }
    inMemory_.push_back(text);
    return {-qint64(inMemory_.size()), text.size()};
}

void BodyStore::writeOut() {
    write(pending_, written_);
    written_ += pending_.size();
    pending_.truncate(0); // keeps its capacity for the next bodies
}

std::optional<QString> BodyStore::takeFailure() {
    return std::exchange(failure_, std::nullopt);
}

void BodyStore::write(const QByteArray& bytes, qint64 offset) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(descriptor_, bytes.constData() + done,
                                   static_cast<std::size_t>(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw storeFailure(QStringLiteral("written"), n < 0 ? errno : ENOSPC);
        done += n;
    }
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
    if (descriptor_ < 0 || span.offset + span.size > end_)
        throw Failure::subscriptOutOfRange();
    if (span.offset >= written_)
        return QString::fromUtf8(pending_.constData() + (span.offset - written_),
                                 static_cast<qsizetype>(span.size));
    QByteArray bytes(static_cast<qsizetype>(span.size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < span.size) {
        const ssize_t n = ::pread(descriptor_, bytes.data() + done,
                                  static_cast<std::size_t>(span.size - done), span.offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw storeFailure(QStringLiteral("read"), n < 0 ? errno : EIO);
        done += n;
    }
    return QString::fromUtf8(bytes);
}

void BodyStore::clear() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
    end_ = 0;
    written_ = 0;
    pending_ = QByteArray();
    inMemory_.clear();
    inMemory_.shrink_to_fit();
    diskFailed_ = false;
    failure_.reset();
}
