#include "job/SaveChecked.h"

#include "base/Prompter.h"
#include "export/SavedRecord.h"
#include "list/MessageListModel.h"
#include "list/RecordStore.h"

#include <QDir>
#include <QFileInfo>

namespace job {

namespace {

// Whether a checked row is left to save; a row whose record cannot be read is left to the
// download, which reports it.
bool anyLeftToSave(const MessageListModel& list, const RecordStore& records, SavedRecord& record,
                   int& savedBefore) {
    bool left = false;
    for (int i = 1; i <= list.count(); ++i) {
        if (!list.isChecked(i))
            continue;
        if (i <= records.size() && record.savedBefore(records.at(i).Origin))
            ++savedBefore;
        else
            left = true;
    }
    return left;
}

} // namespace

SaveReport saveChecked(Download& download, const MessageListModel& list, const RecordStore& records,
                       QWidget* window, const Download::FolderSource& folder, SaveMethod method,
                       const bool& stopRequested, Remembering remembering, SavedRecord* opened) {
    SaveReport report;
    if (remembering == Remembering::Off || method == SaveMethod::None) {
        report.outcome = download.run(folder, method, stopRequested);
        report.unreadable = download.skipped();
        return report;
    }

    // The record belongs to one folder: the run saves into the folder of its start.
    const QString fixed = folder();
    const Download::FolderSource fixedFolder = [fixed] { return fixed; };
    SavedRecord own;
    SavedRecord& record = opened ? *opened : own;
    // A folder that is missing is told by the download, which then saves nothing.
    if (!opened && QFileInfo(fixed).isDir()) {
        if (const std::optional<QString> failure = record.open(fixed)) {
            report.recordFailure = *failure;
            report.outcome = Download::Outcome::Failed;
            showMessage(window,
                        QStringLiteral("The emails cannot be saved into the folder \"%1\": %2. "
                                       "No message was saved.")
                            .arg(QDir::toNativeSeparators(fixed), *failure),
                        BoxIcon::Exclamation);
            return report;
        }
    }
    if (remembering == Remembering::Skip) {
        // One file is made only for messages not saved before.
        if (method == SaveMethod::OneFile &&
            !anyLeftToSave(list, records, record, report.savedBefore)) {
            // Entries found by Message-ID were kept under their new UIDs.
            if (const std::optional<QString> failure = record.write())
                report.recordFailure = *failure;
            return report;
        }
        report.savedBefore = 0;
        download.savedBefore = [&](int position) {
            const bool before =
                position <= records.size() && record.savedBefore(records.at(position).Origin);
            report.savedBefore += before ? 1 : 0;
            return before;
        };
    }
    download.saved = [&](int position, const QString& fileName) {
        ++report.saved;
        if (position <= records.size())
            record.add(records.at(position).Origin, fileName);
        if (report.recordFailure.isEmpty())
            if (const std::optional<QString> failure = record.writeSoon())
                report.recordFailure = *failure;
    };
    report.outcome = download.run(fixedFolder, method, stopRequested);
    report.unreadable = download.skipped();
    if (report.recordFailure.isEmpty())
        if (const std::optional<QString> failure = record.write())
            report.recordFailure = *failure;
    if (!report.recordFailure.isEmpty() && report.saved > 0)
        showMessage(window,
                    QStringLiteral("The emails were saved into the folder \"%1\", but %2. The "
                                   "next download may save them again.")
                        .arg(QDir::toNativeSeparators(fixed), report.recordFailure),
                    BoxIcon::Exclamation);
    return report;
}

QString doneText(const SaveReport& report) {
    const qint32 unreadable = report.unreadable;
    const QString notSaved =
        unreadable == 1
            ? QStringLiteral("1 message could not be saved and was skipped.")
            : QStringLiteral("%1 messages could not be saved and were skipped.").arg(unreadable);
    if (report.savedBefore == 0)
        return unreadable == 0 ? QStringLiteral("Done.") : QStringLiteral("Done. ") + notSaved;
    const QString saved = report.saved == 1 ? QStringLiteral("1 email saved")
                                            : QStringLiteral("%1 emails saved").arg(report.saved);
    const QString before =
        report.savedBefore == 1
            ? QStringLiteral("1 saved before was skipped")
            : QStringLiteral("%1 saved before were skipped").arg(report.savedBefore);
    const QString text = QStringLiteral("Done. %1, %2.").arg(saved, before);
    return unreadable == 0 ? text : text + u' ' + notSaved;
}

} // namespace job
