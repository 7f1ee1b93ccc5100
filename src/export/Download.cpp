#include "export/Download.h"

#include "base/Guard.h"
#include "base/Prompter.h"
#include "export/Clock.h"
#include "export/FileNameRule.h"
#include "export/MessageText.h"
#include "list/MessageListModel.h"
#include "list/RecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <optional>

// The statement numbers below continue those of the download command (Form1Download.cpp).

Download::Download(const MessageListModel& list, const RecordStore& records, Guard& guard,
                   QWidget* window)
    : yield([] { QCoreApplication::processEvents(); }),
      openDevice([](const QString& path) { return std::make_unique<QSaveFile>(path); }),
      list_(list), records_(records), guard_(guard), window_(window) {}

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
    return method == SaveMethod::SeparateFiles ? separateFiles(folder, stopRequested)
                                               : oneFile(folder(), stopRequested);
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
        else if (!put(*output, MessageText::localeBytes(MessageText::oneFileBlock(*record))))
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

namespace {

// The copy-th name a file named fileName may take in folder: the name itself, then
// "name (2).txt", "name (3).txt", ...
QString candidatePath(const QString& folder, const QString& fileName, qint64 copy) {
    const QString stem = fileName.chopped(QStringLiteral(".txt").size());
    return Download::pathOf(folder, copy == 1 ? fileName
                                              : QStringLiteral("%1 (%2).txt").arg(stem).arg(copy));
}

} // namespace

QString Download::heldBefore(const Output& output) {
    if (output.size > output.largestBefore)
        return {};
    const QByteArray digest = output.digest->result();
    for (const QString& path : output.before) {
        QFile existing(path);
        QCryptographicHash held(QCryptographicHash::Sha256);
        if (QFileInfo(path).isFile() && existing.size() == output.size &&
            existing.open(QIODevice::ReadOnly) && held.addData(&existing) &&
            held.result() == digest)
            return path;
    }
    return {};
}

std::optional<Download::Output> Download::begin(const QString& folder, const QString& fileName) {
    // The file takes the first of its names that is free: the name itself, "name (2).txt", ...
    Output output;
    for (qint64 copy = 1; output.path.isEmpty(); ++copy) {
        const QString path = candidatePath(folder, fileName, copy);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink()) {
            output.path = path;
        } else {
            output.before.append(path);
            if (info.isFile())
                output.largestBefore = std::max(output.largestBefore, info.size());
        }
    }
    output.device = openForWriting(output.path);
    if (!output.device)
        return std::nullopt;
    return output;
}

bool Download::put(Output& output, const QByteArray& bytes) {
    if (!write(*output.device, bytes))
        return false;
    output.size += bytes.size();
    if (output.size <= output.largestBefore)
        output.digest->addData(bytes);
    return true;
}

bool Download::finish(Output& output) {
    // A device dropped unclosed keeps nothing: a save file removes what it wrote.
    if (QString held = heldBefore(output); !held.isEmpty()) {
        output.path = std::move(held);
        return true;
    }
    return close(*output.device);
}

std::optional<QString> Download::save(const QString& folder, const QString& fileName,
                                      const QByteArray& bytes) {
    std::optional<Output> output = begin(folder, fileName);
    if (!output || !put(*output, bytes) || !finish(*output))
        return std::nullopt;
    return output->path;
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

std::unique_ptr<QIODevice> Download::openForWriting(const QString& path) {
    currentPath_ = path;
    std::unique_ptr<QIODevice> device = openDevice(path);
    // Unbuffered, so a full disk shows in the write that meets it.
    if (!device->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
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

// A save file that is not committed is removed with its device, and the name it was to take
// keeps what it held.
bool Download::close(QIODevice& device) {
    if (auto* saveFile = qobject_cast<QSaveFile*>(&device)) {
        if (saveFile->commit())
            return true;
        reportFileFailure(device);
        return false;
    }
    device.close();
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    if (!file || file->error() == QFileDevice::NoError)
        return true;
    reportFileFailure(device);
    return false;
}

void Download::reportFileFailure(const QIODevice& device) {
    tell(QStringLiteral("Cannot write the file \"%1\": %2. The download was stopped.")
             .arg(QDir::toNativeSeparators(currentPath_), device.errorString()));
}

void Download::tell(const QString& text) {
    showMessage(window_.data(), text, BoxIcon::Exclamation);
}
