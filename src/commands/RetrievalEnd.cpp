#include "commands/RetrievalEnd.h"

#include "base/Guard.h"
#include "base/Prompter.h"
#include "commands/RetrievalButtons.h"
#include "commands/RetrievalFlags.h"
#include "commands/RetrievalOwner.h"
#include "job/ListingResult.h"
#include "mail/clsMailIMAP.h"

#include <QProgressBar>

namespace {

QString doneText(qint32 skipped) {
    if (skipped == 0)
        return QStringLiteral("Done.");
    return skipped == 1 ? QStringLiteral("Done. 1 message could not be fetched and was skipped.")
                        : QStringLiteral("Done. %1 messages could not be fetched and were skipped.")
                              .arg(skipped);
}

} // namespace

namespace RetrievalEnd {

void noListing(Guard& guard, RetrievalOwner& owner, const clsMailIMAP& session, qint32 count,
               int line) {
    if (count == 0 && !session.AbortProcess)
        guard(line, [&] {
            showMessage(owner.retrievalWindow(),
                        QStringLiteral("There are no emails in the Folder you selected."));
        });
    guard(line + 2, [&] { SkipDoneMessage = true; });
}

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

void endRun(Guard& guard, RetrievalOwner& owner, int line, qint32 skipped) {
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

} // namespace RetrievalEnd
