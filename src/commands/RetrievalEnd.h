#pragma once

#include <QtGlobal>

class Guard;
class RetrievalOwner;
class clsMailIMAP;

namespace job {
struct ListingResult;
}

// How Get All Emails and Get Some Emails end; line is the number of the first statement each one
// runs.
namespace RetrievalEnd {

// The count gave nothing to list.
bool nothingListed(const job::ListingResult& result);
// A count that gives nothing to list: an empty folder is told; a stopped run and an impossible
// count (told by the session) end without a word more.
void noListing(Guard& guard, RetrievalOwner& owner, const clsMailIMAP& session, qint32 count,
               int line);
// A listing that could not sign in, could not open its folder, broke or was stopped while it
// signed in has said all there is to say: only one that listed ends with "Done.". Answers the
// numbers it skipped, told with "Done.".
qint32 noteListingEnd(const job::ListingResult& result);
// The window at rest again, and "Done." unless the run has said all there is to say.
void endRun(Guard& guard, RetrievalOwner& owner, int line, qint32 skipped = 0);

} // namespace RetrievalEnd
