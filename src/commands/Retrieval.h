#pragma once

class Guard;
class RetrievalOwner;

// Get All Emails, Get Some Emails and Stop: the retrieval runs of a window, each a listing job
// (job::Listing). Each statement runs through the guard of the clicked handler, which carries the
// handler's location text.
namespace Retrieval {

// "2a. Get All Emails", or Stop while a run is in progress.
void getAll(RetrievalOwner& owner, Guard& guard);
// "2b. Get Some Emails": asks for a range, then lists it.
void getSome(RetrievalOwner& owner, Guard& guard);
// Stop: every run in progress ends after its next fetched message.
void abortAll(RetrievalOwner& owner);

} // namespace Retrieval
