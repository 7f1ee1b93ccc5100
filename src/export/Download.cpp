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
            break;
        if (!guard_.test(128, [&] { return list_.isChecked(i); }))
            continue;
        const MessageRecord* record = nullptr;
        QString name;
        guard_(130, [&] {
            record = &records_.at(i);
            name = downloadFileName(k, Clock::current().today(), record->Subject);
        });
        if (!record)
            continue;
        const std::unique_ptr<QIODevice> device = openForWriting(pathOf(folder(), name));
        if (!device || !write(*device, MessageText::separateFile(*record)) || !close(*device))
            return Outcome::Failed;
        ++k;
    }
    return Outcome::Finished;
}

Download::Outcome Download::oneFile(const QString& folder, const bool& stopRequested) {
    const std::unique_ptr<QIODevice> device =
        openForWriting(pathOf(folder, QStringLiteral("Emails.txt")));
    if (!device)
        return Outcome::Failed;
    Outcome outcome = Outcome::Finished;
    qint32 n = 0;
    guard_(144, [&] { n = list_.count(); });
    for (qint32 i = 1; i <= n; ++i) {
        guard_(146, [&] { yield(); });
        if (stopRequested) {
            outcome = Outcome::Stopped;
            break;
        }
        if (!rowExists(i))
            break;
        if (!guard_.test(150, [&] { return list_.isChecked(i); }))
            continue;
        const MessageRecord* record = nullptr;
        guard_(152, [&] { record = &records_.at(i); });
        if (record && !write(*device, MessageText::oneFileBlock(*record)))
            return Outcome::Failed;
    }
    return close(*device) ? outcome : Outcome::Failed;
}

bool Download::rowExists(int position) const {
    return position <= list_.count();
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
    if (!device->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        reportFileFailure(*device);
        return nullptr;
    }
    return device;
}

bool Download::write(QIODevice& device, const QString& text) {
    const QByteArray bytes = MessageText::localeBytes(text);
    if (device.write(bytes) == bytes.size())
        return true;
    reportFileFailure(device);
    return false;
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
    tell(QStringLiteral("Cannot write the file \"%1\": %2. The download was stopped.")
             .arg(QDir::toNativeSeparators(currentPath_), device.errorString()));
}

void Download::tell(const QString& text) {
    showMessage(window_.data(), text, BoxIcon::Exclamation);
}
