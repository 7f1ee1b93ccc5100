// Time and peak memory of downloading 10,000 checked messages, to separate files and to one file.
// Usage: download_bench [folder]   (a temporary folder when none is given)

#include "PeakMemory.h"
#include "base/Guard.h"
#include "export/Download.h"
#include "list/MessageListModel.h"
#include "list/RecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int messages = 10000;

qint64 folderBytes(const QString& folder) {
    qint64 total = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo& file : files)
        total += file.size();
    return total;
}

void measure(const char* label, SaveMethod method, const MessageListModel& list,
             const RecordStore& records, const QString& folder) {
    Guard guard(nullptr, QStringLiteral("in Bench.Download "));
    Download download(list, records, guard, nullptr);
    const bool stop = false;
    QElapsedTimer timer;
    timer.start();
    const Download::Outcome outcome = download.run([&folder] { return folder; }, method, stop);
    const qint64 ms = timer.elapsed();
    const long peak = peakKilobytes();
    std::printf("%-15s %s  %6lld ms  %8.1f MB written  peak RSS %6.1f MB\n", label,
                outcome == Download::Outcome::Finished ? "ok    " : "FAILED",
                static_cast<long long>(ms), folderBytes(folder) / 1e6, peak / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();

    MessageListModel list;
    RecordStore records;
    records.recreate(messages);
    const QString body = QStringLiteral("A line of a typical message body, with some words.\r\n")
                             .repeated(40); // about 2 KB
    for (int i = 1; i <= messages; ++i) {
        list.appendRow(QStringLiteral("Sender %1 <sender%1@example.com>").arg(i));
        list.setChecked(i, true);
        StoredRecord& record = records.at(i);
        record.From = QStringLiteral("Sender %1 <sender%1@example.com>").arg(i);
        record.Subject = QStringLiteral("Re: Quarterly report, part %1 (draft)").arg(i);
        record.ReceivedDate = QStringLiteral("2/19/2015 9:30:00 AM");
        records.setPlainTextBody(i, body + QString::number(i));
    }
    std::printf("%d checked messages of %lld characters each; peak RSS after setup %.1f MB\n",
                messages, static_cast<long long>(body.size()), peakKilobytes() / 1024.0);

    const QString separate = base + QDir::separator() + QStringLiteral("separate");
    const QString single = base + QDir::separator() + QStringLiteral("single");
    QDir().mkpath(separate);
    QDir().mkpath(single);
    measure("separate files", SaveMethod::SeparateFiles, list, records, separate);
    measure("one file", SaveMethod::OneFile, list, records, single);
    return 0;
}
