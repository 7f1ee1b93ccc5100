#pragma once

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

// A writable device that refuses to open, or that takes only its first `room` bytes and then
// fails like a full disk. What it took is kept in `written`.
class FailDevice final : public QIODevice {
public:
    static constexpr qint64 refuseOpen = -1;

    explicit FailDevice(qint64 room, QByteArray* written = nullptr)
        : room_(room), written_(written) {}

    bool open(OpenMode mode) override {
        if (room_ == refuseOpen) {
            setErrorString(QStringLiteral("Permission denied"));
            return false;
        }
        return QIODevice::open(mode);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }

    qint64 writeData(const char* data, qint64 length) override {
        const qint64 taken = std::min(length, room_ - taken_);
        if (written_ && taken > 0)
            written_->append(data, taken);
        taken_ += std::max<qint64>(taken, 0);
        if (taken < length)
            setErrorString(QStringLiteral("No space left on device"));
        return taken > 0 ? taken : -1;
    }

private:
    qint64 room_;
    QByteArray* written_;
    qint64 taken_ = 0;
};
