#include "commands/Retrieval.h"

#include "base/Guard.h"
#include "base/ThrottledPaint.h"
#include "commands/Form2.h"
#include "commands/RetrievalButtons.h"
#include "commands/RetrievalEnd.h"
#include "commands/RetrievalFlags.h"
#include "commands/RetrievalOwner.h"
#include "commands/RetrievalStart.h"
#include "commands/RunningSession.h"
#include "job/Listing.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"
#include "mail/clsMailIMAP.h"

#include <QProgressBar>
#include <QPushButton>

#include <functional>
#include <optional>

// Get All Emails, Get Some Emails and Stop: the window's side of the listing job. The job runs
// each of its statements through the guard of the clicked command, under the number the statement
// has there; the captions, boxes and counters are the window's.

namespace {

using Step = job::Listing::Step;

} // namespace

namespace Retrieval {

void abortAll(RetrievalOwner& owner) {
    if (const std::shared_ptr<clsMailIMAP>& session = owner.currentSession())
        session->AbortProcess = true;
    for (clsMailIMAP* session : std::as_const(owner.retrievalRuns()))
        session->AbortProcess = true;
}

void getAll(RetrievalOwner& owner, Guard& guard) {
    if (guard.test(100, [&] { return RetrievalButtons::isRunning(owner.getAllButton()); })) {
        guard(102,
              [&] { RetrievalButtons::showIdle(owner.getAllButton(), owner.getSomeButton()); });
        guard(104, [&] { abortAll(owner); });
        guard(106, [&] { owner.currentSession().reset(); });
        return;
    }
    if (RetrievalStart::downloadRunning(owner) || RetrievalStart::notConnected(guard, owner, 108))
        return;
    RetrievalStart::showRunning(guard, owner, 112);
    guard(114, [&] {
        owner.messageList()->list().clear();
        owner.messageList()->setSortingEnabled(false);
    });
    guard(116, [&] { owner.UpdateCounters(true); });
    guard(118, [&] {
        owner.checkSearchActive() = false;
        SkipDoneMessage = false;
    });

    std::shared_ptr<clsMailIMAP> session;
    const bool signIn = RetrievalStart::sessionForRun(guard, owner, 120, session);
    job::Listing listing(session);
    listing.signIn = signIn;
    listing.folder = [&owner] { return owner.chosenFolder(); };
    listing.testStatement = [&](Step step, const std::function<bool()>& condition) {
        return guard.test(step == Step::SignIn ? 122 : 128, condition);
    };
    listing.runStatement = [&](Step step, const std::function<void()>& statement) {
        if (step == Step::Count) {
            guard(126, statement);
            return;
        }
        guard(130, [&] { messageRecords().recreate(listing.range().last); });
        guard(132, [&] {
            const ThrottledPaint progress(owner.progressBar());
            statement();
        });
    };
    std::optional<RunningSession> running;
    if (session)
        running.emplace(owner, *session);
    const job::ListingResult result = listing.run();

    qint32 skipped = 0;
    if (result.outcome == job::ListingOutcome::NotSignedIn) {
        guard(124, [&] { SkipDoneMessage = true; });
    } else {
        if (RetrievalEnd::nothingListed(result))
            RetrievalEnd::noListing(guard, owner, *session, result.count, 136);
        else
            guard(134, [&] { skipped = RetrievalEnd::noteListingEnd(result); });
        guard(138, [&] {
            owner.messageList()->list().publishRows();
            owner.UpdateCounters(false);
        });
    }
    running.reset();
    RetrievalEnd::endRun(guard, owner, 140, skipped);
}

void getSome(RetrievalOwner& owner, Guard& guard) {
    if (RetrievalStart::downloadRunning(owner) || RetrievalStart::notConnected(guard, owner, 100))
        return;
    RetrievalStart::showRunning(guard, owner, 104);
    std::shared_ptr<clsMailIMAP> session;
    const bool signIn = RetrievalStart::sessionForRun(guard, owner, 108, session);
    job::Listing listing(session);
    listing.signIn = signIn;
    listing.folder = [&owner] { return owner.chosenFolder(); };
    qint32 count = 0;
    qint32 skipped = 0;
    Form2 range(owner.retrievalWindow());
    listing.testStatement = [&](Step step, const std::function<bool()>& condition) {
        if (step == Step::SignIn)
            return guard.test(110, condition);
        // Tested the other way round: a test that fails ends the run as an empty folder does.
        return !guard.test(120, [&] { return !condition(); });
    };
    listing.runStatement = [&](Step step, const std::function<void()>& statement) {
        if (step == Step::Count) {
            guard(116, [&] {
                range.setMailIMAP(session);
                statement();
                range.setMaxMessage(listing.result().count);
            });
            // The folder is asked for its count once: a folder that cannot be opened is told once.
            guard(118, [&] { count = range.MaxMessage(); });
            return;
        }
        guard(134, [&] { messageRecords().recreate(listing.range().last); });
        guard(136, [&] {
            const ThrottledPaint progress(owner.progressBar());
            statement();
            skipped = RetrievalEnd::noteListingEnd(listing.result());
        });
    };
    // The list and its counters stay as they are until a range is accepted.
    listing.askRange = [&](qint32) -> std::optional<job::ListingRange> {
        guard(126, [&] { range.showModal(); });
        if (guard.test(128, [&] { return !RangeAccepted; }))
            return std::nullopt;
        guard(132, [&] {
            owner.messageList()->list().clear();
            owner.UpdateCounters(true);
            SkipDoneMessage = false;
        });
        return job::ListingRange{session->CurrentLocation, session->MaxRecord};
    };
    std::optional<RunningSession> running;
    if (session)
        running.emplace(owner, *session);
    const job::ListingResult result = listing.run();

    if (result.outcome == job::ListingOutcome::NotSignedIn)
        guard(112, [&] { SkipDoneMessage = true; });
    if (result.outcome == job::ListingOutcome::NotSignedIn ||
        result.outcome == job::ListingOutcome::NoRange) {
        RetrievalEnd::endRun(guard, owner, 140);
        return;
    }
    if (RetrievalEnd::nothingListed(result))
        RetrievalEnd::noListing(guard, owner, *session, count, 122);
    guard(138, [&] {
        owner.messageList()->list().publishRows();
        owner.UpdateCounters(false);
        owner.checkSearchActive() = false;
    });
    RetrievalEnd::endRun(guard, owner, 140, skipped);
}

} // namespace Retrieval
