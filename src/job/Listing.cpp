#include "job/Listing.h"

#include "base/Failure.h"
#include "job/ListedOrigin.h"
#include "mail/clsMailIMAP.h"

#include <QScopeGuard>

namespace job {

namespace {

ListingOutcome outcomeOf(clsMailIMAP::ListingEnd end) {
    using End = clsMailIMAP::ListingEnd;
    switch (end) {
    case End::Finished:
        return ListingOutcome::Finished;
    case End::Stopped:
        return ListingOutcome::Stopped;
    case End::SignInFailed:
    case End::StoppedSigningIn:
        return ListingOutcome::SignInFailed;
    case End::FolderUnavailable:
        return ListingOutcome::FolderUnavailable;
    case End::Broken:
        return ListingOutcome::Broken;
    }
    return ListingOutcome::Broken;
}

} // namespace

QList<qint32> everyNumberOf(const ListingRange& range) {
    QList<qint32> numbers;
    for (qint64 n = range.first; n <= range.last; ++n)
        numbers.append(qint32(n));
    return numbers;
}

Listing::Listing(std::shared_ptr<clsMailIMAP> session) : session_(std::move(session)) {}

// A missing session fails like any unset object variable.
clsMailIMAP& Listing::session() const {
    if (!session_)
        throw Failure::objectNotSet();
    return *session_;
}

void Listing::statement(Step step, const std::function<void()>& body) {
    if (runStatement)
        runStatement(step, body);
    else
        body();
}

bool Listing::test(Step step, const std::function<bool()>& condition) {
    return testStatement ? testStatement(step, condition) : condition();
}

ListingResult Listing::run() {
    result_ = {};
    range_ = {};
    bool counted = false;
    if (signIn && test(Step::SignIn, [this] { return !session().Connect(); })) {
        result_.outcome = ListingOutcome::NotSignedIn;
        return result_;
    }
    // Listing everything on a new connection: that connection is opened while the folder is
    // counted on the current one.
    const bool prepare = session_ && listOnNewConnection && !askRange;
    if (prepare)
        session_->PrepareListingConnection();
    const auto unused = qScopeGuard([&] {
        if (prepare)
            session_->DropPreparedConnection();
    });
    QString folderName;
    statement(Step::Count, [&] {
        folderName = folder ? folder() : QString();
        result_.count = session().GetTotalMessage(folderName);
        counted = result_.count >= 0 && session().LastResult() == 1;
    });
    if (!test(Step::HasMessages, [this] { return result_.count > 0; })) {
        result_.outcome = counted ? ListingOutcome::Empty : ListingOutcome::NotCounted;
        return result_;
    }
    range_ = {1, result_.count};
    if (askRange) {
        const std::optional<ListingRange> asked = askRange(result_.count);
        if (!asked) {
            result_.outcome = ListingOutcome::NoRange;
            return result_;
        }
        range_ = *asked;
    }
    // A listing on a new connection goes through the range as it comes; the connection of the
    // count is asked for the numbers themselves.
    QList<qint32> numbers;
    if (!listOnNewConnection) {
        const std::optional<QList<qint32>> chosen =
            chooseNumbers ? chooseNumbers(range_) : everyNumberOf(range_);
        if (!chosen) {
            result_.outcome = ListingOutcome::NotCounted;
            return result_;
        }
        numbers = *chosen;
    }
    result_.asked = listOnNewConnection ? qMax<qint64>(0, qint64(range_.last) - range_.first + 1)
                                        : numbers.size();
    // A statement that fails before the listing has begun leaves nothing to tell.
    result_.outcome = ListingOutcome::Finished;
    statement(Step::List, [&] { list(folderName, numbers); });
    return result_;
}

void Listing::list(const QString& folderName, const QList<qint32>& numbers) {
    clsMailIMAP& listed = session();
    listed.CurrentLocation = range_.first;
    listed.MaxRecord = range_.last;
    const QMetaObject::Connection connection = QObject::connect(
        &listed, &clsMailIMAP::MailExtractListing, &listed,
        [this, &listed](const QString& From, const QString& FromName, const QString& FromAddress,
                        const QString& Subject, const QString& ReceivedDate,
                        const QString& PlainTextBody, const QString& HTMLTextBody, qint32) {
            ++result_.listed;
            if (messageListed)
                messageListed({From, FromName, FromAddress, Subject, ReceivedDate, PlainTextBody,
                               HTMLTextBody},
                              listedOrigin(listed, FromAddress));
            if (progress)
                progress(result_.listed, result_.asked);
        });
    const auto disconnect = qScopeGuard([&connection] { QObject::disconnect(connection); });
    if (listOnNewConnection)
        listed.StartMailExtraction(folderName);
    else if (!numbers.isEmpty())
        listed.ExtractMessages(folderName, numbers);
    else
        return;
    result_.outcome = outcomeOf(listed.LastListingEnd);
    result_.skipped = listed.SkippedMessages;
}

} // namespace job
