#include "export/Download.h"

#include "base/Guard.h"
#include "base/Prompter.h"
#include "export/Clock.h"
#include "export/Durability.h"
#include "export/FileNameRule.h"
#include "export/FreeName.h"
#include "export/MessageText.h"
#include "list/MessageListModel.h"
#include "list/RecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstring>
#include <optional>
#include <utility>

// The statement numbers below continue those of the download command (Form1Download.cpp).

Download::Download(const MessageListModel& list, const RecordStore& records, Guard& guard,
                   QWidget* window)
    : yield([] { QCoreApplication::processEvents(); }),
      openDevice([](const QString& path) { return std::make_unique<QFile>(path); }), list_(list),
      records_(records), guard_(guard), window_(window) {}

QString Download::pathOf(const QString& folder, const QString& fileName) {
    return folder + QDir::separator() + fileName;
}

Download::Outcome Download::run(const FolderSource& folder, SaveMethod method,
                                const bool& stopRequested) {
    if (method == SaveMethod::None)
        return Outcome::Finished;
    checkedAtStart_.clear();
    for (qint32 i = 1; i <= list_.count(); ++i)
        checkedAtStart_.append(list_.isChecked(i));
    checkedCount_ = qint32(checkedAtStart_.count(true));
    reached_ = 0;
    if (!folderUsable(folder()))
        return Outcome::Failed;
    saved_.clear();
    const Outcome outcome = method == SaveMethod::SeparateFiles
                                ? separateFiles(folder, stopRequested)
                                : oneFile(folder(), stopRequested);
    return makeDurable() ? outcome : Outcome::Failed;
}

Download::Outcome Download::separateFiles(const FolderSource& folder, const bool& stopRequested) {
    // The row index and the file counter are 32-bit: lists beyond 32,767 rows are saved whole.
    qint32 k = 1;
    qint32 n = 0;
    guard_(122, [&] { n = list_.count(); });
    for (qint32 i = 1; i <= n; ++i) {
        guard_(124, [&] { yield(); });
        if (stopRequested)
            return Outcome::Stopped;
        if (!rowExists(i))
            return Outcome::Cut;
        if (!guard_.test(128, [&] { return checkedAtStart(i); }))
            continue;
        tellProgress();
        if (passedOver(i))
            continue;
        std::optional<MessageRecord> record;
        QString name;
        guard_(130, [&] {
            record = records_.messageToSave(i);
            name = downloadFileName(k, Clock::current().today(), record->Subject);
        });
        if (!record) {
            ++skipped_;
            continue;
        }
        const std::optional<QString> path =
            save(folder(), name, MessageText::localeBytes(MessageText::separateFile(*record)));
        if (!path)
            return Outcome::Failed;
        if (saved)
            saved(i, QFileInfo(*path).fileName());
        ++k;
    }
    return Outcome::Finished;
}

// The blocks go to the file as they are made, so a large download is never gathered in memory.
Download::Outcome Download::oneFile(const QString& folder, const bool& stopRequested) {
    std::optional<Output> output = begin(folder, QStringLiteral("Emails.txt"));
    if (!output)
        return Outcome::Failed;
    Outcome outcome = Outcome::Finished;
    QList<int> written;
    qint32 n = 0;
    guard_(144, [&] { n = list_.count(); });
    for (qint32 i = 1; i <= n; ++i) {
        guard_(146, [&] { yield(); });
        if (stopRequested) {
            outcome = Outcome::Stopped;
            break;
        }
        if (!rowExists(i)) {
            outcome = Outcome::Cut;
            break;
        }
        if (!guard_.test(150, [&] { return checkedAtStart(i); }))
            continue;
        tellProgress();
        if (passedOver(i))
            continue;
        std::optional<MessageRecord> record;
        guard_(152, [&] { record = records_.messageToSave(i); });
        if (!record)
            ++skipped_;
        else if (!write(*output, MessageText::localeBytes(MessageText::oneFileBlock(*record))))
            return Outcome::Failed;
        else
            written.append(i);
    }
    if (!finish(*output))
        return Outcome::Failed;
    if (saved)
        for (const int position : std::as_const(written))
            saved(position, QFileInfo(output->path).fileName());
    return outcome;
}

bool Download::passedOver(int position) const {
    return savedBefore && savedBefore(position);
}

Download::TemporaryName::TemporaryName(TemporaryName&& other) noexcept
    : path_(std::exchange(other.path_, QString())) {}

Download::TemporaryName& Download::TemporaryName::operator=(TemporaryName&& other) noexcept {
    if (this != &other) {
        if (!path_.isEmpty())
            QFile::remove(path_);
        path_ = std::exchange(other.path_, QString());
    }
    return *this;
}

Download::TemporaryName::~TemporaryName() {
    if (!path_.isEmpty())
        QFile::remove(path_);
}

std::optional<Download::Output> Download::begin(const QString& folder, const QString& fileName) {
    Output output;
    output.folder = folder;
    output.fileName = fileName;
    currentFolder_ = folder;
    currentFileName_ = fileName;
    // Hidden, and unique however many runs write into the folder at once.
    const QString temporary = pathOf(
        folder, QStringLiteral(".%1.%2.part")
                    .arg(fileName)
                    .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
    output.device = openForWriting(temporary);
    if (!output.device)
        return std::nullopt;
    output.temporary = TemporaryName(temporary);
    return output;
}

bool Download::finish(Output& output) {
    if (!close(*output.device))
        return false;
    const FreeName::Claim claim =
        FreeName::claim(output.temporary.path(), output.folder, output.fileName);
    if (claim.error != 0) {
        reportFileFailure(claim.path, QString::fromLocal8Bit(std::strerror(claim.error)));
        return false;
    }
    output.path = claim.path;
    if (!claim.heldBefore)
        saved_.append(claim.path);
    return true;
}

std::optional<QString> Download::save(const QString& folder, const QString& fileName,
                                      const QByteArray& bytes) {
    std::optional<Output> output = begin(folder, fileName);
    if (!output || !write(*output, bytes) || !finish(*output))
        return std::nullopt;
    return output->path;
}

bool Download::makeDurable() {
    const std::optional<Durability::Failure> failure = Durability::flush(saved_);
    if (failure)
        reportFileFailure(failure->path, failure->reason);
    return !failure;
}

bool Download::rowExists(int position) const {
    return position <= list_.count();
}

void Download::tellProgress() {
    ++reached_;
    if (progress)
        progress(reached_, checkedCount_);
}

bool Download::checkedAtStart(int position) const {
    return checkedAtStart_.value(position - 1, false);
}

bool Download::folderUsable(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir()) {
        tell(QStringLiteral("The folder \"%1\" does not exist. No message was saved.")
                 .arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    if (!info.isWritable()) {
        tell(QStringLiteral("The folder \"%1\" is not writable. No message was saved.")
                 .arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    return true;
}

std::unique_ptr<QIODevice> Download::openForWriting(const QString& devicePath) {
    std::unique_ptr<QIODevice> device = openDevice(devicePath);
    // Unbuffered, so a full disk shows in the write that meets it.
    if (!device->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        reportFileFailure(*device);
        return nullptr;
    }
    return device;
}

// A short write is followed by another, which meets the reason (a full disk) and reports it.
bool Download::write(QIODevice& device, const QByteArray& bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = device.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            reportFileFailure(device);
            return false;
        }
        done += written;
    }
    return true;
}

// A long file has its write-back started every few megabytes, so that the disk works while the
// rest is written.
bool Download::write(Output& output, const QByteArray& bytes) {
    constexpr qint64 writeBackEvery = 8 * 1024 * 1024;
    if (!write(*output.device, bytes))
        return false;
    output.notWrittenBack += bytes.size();
    if (output.notWrittenBack >= writeBackEvery) {
        Durability::startWriteBack(*output.device);
        output.notWrittenBack = 0;
    }
    return true;
}

bool Download::close(QIODevice& device) {
    device.close();
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    if (!file || file->error() == QFileDevice::NoError)
        return true;
    reportFileFailure(device);
    return false;
}

void Download::reportFileFailure(const QIODevice& device) {
    reportFileFailure(FreeName::firstFree(currentFolder_, currentFileName_), device.errorString());
}

void Download::reportFileFailure(const QString& path, const QString& reason) {
    tell(QStringLiteral("Cannot write the file \"%1\": %2. The download was stopped.")
             .arg(QDir::toNativeSeparators(path), reason));
}

void Download::tell(const QString& text) {
    showMessage(window_.data(), text, BoxIcon::Exclamation);
}
