#include "job/ExportJob.h"

#include "base/Guard.h"
#include "base/Prompter.h"
#include "export/SavedRecord.h"
#include "job/ListedOrigin.h"
#include "job/Listing.h"
#include "job/SaveChecked.h"
#include "list/ListingHandler.h"
#include "list/MessageListModel.h"
#include "list/RecordStore.h"
#include "mail/clsMailIMAP.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace job {

namespace {

// The save folder can take files and the record; told when it cannot.
bool folderWritable(const QString& folder) {
    const QFileInfo info(folder);
    const QString shown = QDir::toNativeSeparators(folder);
    if (!info.isDir()) {
        showMessage(
            nullptr,
            QStringLiteral("The folder \"%1\" does not exist. No message was saved.").arg(shown));
        return false;
    }
    if (!info.isWritable()) {
        showMessage(
            nullptr,
            QStringLiteral("The folder \"%1\" is not writable. No message was saved.").arg(shown));
        return false;
    }
    return true;
}

} // namespace

ExportJob::ExportJob(std::shared_ptr<clsMailIMAP> session) : session_(std::move(session)) {}

void ExportJob::report(Stage stage, qint64 done, qint64 total) const {
    if (progress)
        progress(stage, done, total);
}

ExportResult ExportJob::run(const ExportRequest& request) {
    ExportResult result;
    clsMailIMAP& session = *session_;
    if (!folderWritable(request.saveFolder)) {
        result.status = ExportStatus::FolderUnwritable;
        return result;
    }
    SavedRecord record;
    if (const std::optional<QString> failure = record.open(request.saveFolder)) {
        showMessage(nullptr, QStringLiteral("The emails cannot be saved into the folder \"%1\": "
                                            "%2. No message was saved.")
                                 .arg(QDir::toNativeSeparators(request.saveFolder), *failure));
        result.status = ExportStatus::FolderUnwritable;
        return result;
    }
    // The numbers to list: with the folder known to the record, only those it does not name.
    const auto numbersNotSaved = [&](const ListingRange& range) -> std::optional<QList<qint32>> {
        const MessageOrigin folder =
            mailboxOrigin(session, request.folder, session.FolderUidValidity());
        if (request.allAgain || !record.knowsUidValidity(folder))
            return everyNumberOf(range);
        QList<qint32> wanted;
        const std::optional<QList<MessageUid>> uids = session.GetMessageUids();
        if (!uids)
            return std::nullopt;
        for (const MessageUid& message : *uids) {
            if (message.sequenceNumber < range.first || message.sequenceNumber > range.last)
                continue;
            MessageOrigin origin = folder;
            origin.uid = message.uid;
            if (record.savedBefore(origin))
                ++result.alreadySaved;
            else
                wanted.append(message.sequenceNumber);
        }
        return wanted;
    };

    MessageListModel list;
    RecordStore records;
    Listing listing(session_);
    listing.folder = [&request] { return request.folder; };
    listing.listOnNewConnection = false;
    listing.askRange = [&request](qint32 count) {
        return std::optional<ListingRange>(
            {request.first, request.last > 0 ? qMin(request.last, count) : count});
    };
    listing.chooseNumbers = numbersNotSaved;
    listing.messageListed = [&](const MessageRecord& message, const MessageOrigin& origin) {
        const int rows = list.count();
        addListedMessage(
            nullptr, [&request] { return request.filter; }, list, records, message, origin);
        if (list.count() > rows)
            list.setChecked(list.count(), true);
    };
    listing.progress = [this](qint64 listed, qint64 asked) {
        report(Stage::Listing, listed, asked);
    };
    const ListingResult listed = listing.run();
    if (listed.outcome == ListingOutcome::NotSignedIn) {
        result.status = ExportStatus::SignInFailed;
        return result;
    }
    const auto signOut = qScopeGuard([&session] { session.MailIMAPObject->Disconnect(); });
    if (listed.outcome == ListingOutcome::NotCounted) {
        result.status = ExportStatus::Incomplete;
        return result;
    }
    // Numbers the listing did not reach, when it ended early, are skipped as well.
    result.skipped = int(listed.asked - listed.listed);
    if (listed.outcome != ListingOutcome::Finished && listed.outcome != ListingOutcome::Empty)
        result.status = ExportStatus::Incomplete;

    Guard guard(nullptr, QStringLiteral("in quentaril export "));
    const bool noStop = false;
    Download download(list, records, guard, nullptr);
    download.progress = [this](qint32 number, qint32 total) {
        report(Stage::Saving, number, total);
    };
    const SaveReport saved = saveChecked(
        download, list, records, nullptr, [&request] { return request.saveFolder; }, request.method,
        noStop, request.allAgain ? Remembering::Record : Remembering::Skip, &record);
    result.saved = saved.saved;
    result.alreadySaved += saved.savedBefore;
    result.skipped += saved.unreadable;
    if (saved.outcome == Download::Outcome::Failed || !saved.recordFailure.isEmpty())
        result.status = ExportStatus::FolderUnwritable;
    else if (result.skipped > 0)
        result.status = ExportStatus::Incomplete;
    return result;
}

} // namespace job
