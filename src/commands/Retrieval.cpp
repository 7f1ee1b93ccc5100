#include "commands/Retrieval.h"

#include "base/Guard.h"
#include "base/Prompter.h"
#include "base/ThrottledPaint.h"
#include "commands/Form2.h"
#include "commands/RetrievalButtons.h"
#include "commands/RetrievalFlags.h"
#include "commands/RetrievalOwner.h"
#include "job/Listing.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"
#include "mail/clsMailIMAP.h"

#include <QProgressBar>
#include <QPushButton>

#include <functional>
#include <optional>

// Get All Emails, Get Some Emails and Stop.

namespace {

using Step = job::Listing::Step;

// The list stays as it is while a download saves it; the status line says why nothing happens.
bool downloadRunning(RetrievalOwner& owner) {
    if (!owner.downloadRunning())
        return false;
    owner.setStatusText(QStringLiteral("Listing is unavailable while emails are being saved: "
                                       "stop the download first."));
    return true;
}

bool notConnected(Guard& guard, RetrievalOwner& owner, int line) {
    if (!guard.test(line,
                    [&] { return owner.connectButton()->text() == QLatin1String("1. Connect"); }))
        return false;
    guard(line + 2, [&] {
        showMessage(owner.retrievalWindow(),
                    QStringLiteral("Please connect first (Step 1) before using this feature."));
    });
    return true;
}

void showRunning(Guard& guard, RetrievalOwner& owner, int line) {
    guard(line, [&] {
        owner.setMousePointer(MousePointer::Hourglass);
        RetrievalButtons::showRunning(owner.getAllButton(), owner.getSomeButton());
    });
}

// The window's session, or a new one for the run made the window's; answers whether the run
// signs it in.
bool sessionForRun(Guard& guard, RetrievalOwner& owner, int line,
                   std::shared_ptr<clsMailIMAP>& session) {
    session = owner.currentSession();
    if (session)
        return false;
    guard(line, [&] {
        session = owner.newSession();
        owner.currentSession() = session;
        SkipDoneMessage = false;
    });
    return true;
}

// Registers a run's session with its window while the command holds it.
class RunningSession {
public:
    RunningSession(RetrievalOwner& owner, clsMailIMAP& session) : owner_(owner), session_(session) {
        owner_.retrievalRuns().append(&session_);
    }
    ~RunningSession() { owner_.retrievalRuns().removeOne(&session_); }
    RunningSession(const RunningSession&) = delete;
    RunningSession& operator=(const RunningSession&) = delete;

private:
    RetrievalOwner& owner_;
    clsMailIMAP& session_;
};

// A count that gives nothing to list: an empty folder is told; a stopped run and an impossible
// count (told by the session) end without a word more.
void noListing(Guard& guard, RetrievalOwner& owner, const clsMailIMAP& session, qint32 count,
               int line) {
    if (count == 0 && !session.AbortProcess)
        guard(line, [&] {
            showMessage(owner.retrievalWindow(),
                        QStringLiteral("There are no emails in the Folder you selected."));
        });
    guard(line + 2, [&] { SkipDoneMessage = true; });
}

// A listing that could not sign in, could not open its folder, broke or was stopped while it
// signed in has said all there is to say: only one that listed ends with "Done.". Answers the
// numbers it skipped, told with "Done.".
qint32 noteListingEnd(const job::ListingResult& result) {
    using Outcome = job::ListingOutcome;
    if (result.outcome != Outcome::Finished && result.outcome != Outcome::Stopped)
        SkipDoneMessage = true;
    return result.skipped;
}

bool nothingListed(const job::ListingResult& result) {
    return result.outcome == job::ListingOutcome::NotCounted ||
           result.outcome == job::ListingOutcome::Empty;
}

QString doneText(qint32 skipped) {
    if (skipped == 0)
        return QStringLiteral("Done.");
    return skipped == 1 ? QStringLiteral("Done. 1 message could not be fetched and was skipped.")
                        : QStringLiteral("Done. %1 messages could not be fetched and were skipped.")
                              .arg(skipped);
}

void endRun(Guard& guard, RetrievalOwner& owner, int line, qint32 skipped = 0) {
    guard(line, [&] { owner.currentSession().reset(); });
    guard(line + 2, [&] {
        owner.setStatusText(QStringLiteral("Progress Bar"));
        owner.progressBar()->setValue(0);
    });
    guard(line + 4, [&] { owner.setMousePointer(MousePointer::Default); });
    guard(line + 6,
          [&] { RetrievalButtons::showIdle(owner.getAllButton(), owner.getSomeButton()); });
    if (guard.test(line + 8, [&] { return !SkipDoneMessage; }))
        guard(line + 10, [&] { showMessage(owner.retrievalWindow(), doneText(skipped)); });
}

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
    if (downloadRunning(owner) || notConnected(guard, owner, 108))
        return;
    showRunning(guard, owner, 112);
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
    const bool signIn = sessionForRun(guard, owner, 120, session);
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
        if (nothingListed(result))
            noListing(guard, owner, *session, result.count, 136);
        else
            guard(134, [&] { skipped = noteListingEnd(result); });
        guard(138, [&] { owner.UpdateCounters(false); });
    }
    running.reset();
    endRun(guard, owner, 140, skipped);
}

void getSome(RetrievalOwner& owner, Guard& guard) {
    if (downloadRunning(owner) || notConnected(guard, owner, 100))
        return;
    showRunning(guard, owner, 104);
    std::shared_ptr<clsMailIMAP> session;
    const bool signIn = sessionForRun(guard, owner, 108, session);
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
            skipped = noteListingEnd(listing.result());
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
        endRun(guard, owner, 140);
        return;
    }
    if (nothingListed(result))
        noListing(guard, owner, *session, count, 122);
    guard(138, [&] {
        owner.UpdateCounters(false);
        owner.checkSearchActive() = false;
    });
    endRun(guard, owner, 140, skipped);
}

} // namespace Retrieval
