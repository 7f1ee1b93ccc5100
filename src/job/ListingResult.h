#pragma once

#include <QList>
#include <QtGlobal>

namespace job {

// How a listing ended. The first four end it before any message is fetched.
enum class ListingOutcome {
    NotSignedIn,       // the sign-in of the run failed (told) or was stopped: nothing was counted
    NotCounted,        // the folder could not be opened, counted or asked for its messages (told)
    Empty,             // the folder holds no message
    NoRange,           // no range was given
    Finished,          // every number asked for was tried
    Stopped,           // stopped while it listed
    SignInFailed,      // the listing's own sign-in failed (told) or was stopped (nothing told)
    FolderUnavailable, // the listing could not find or open its folder (told)
    Broken,            // the connection failed under it (told)
};

// Message numbers first to last of a folder, counted from 1.
struct ListingRange {
    qint32 first = 1;
    qint32 last = 0;
};

// Every message number of range, first to last.
QList<qint32> everyNumberOf(const ListingRange& range);

struct ListingResult {
    ListingOutcome outcome = ListingOutcome::NotSignedIn;
    qint32 count = 0;   // the folder's message count, as the session answered it
    qint64 asked = 0;   // message numbers to list
    qint64 listed = 0;  // messages listed
    qint32 skipped = 0; // numbers the server would not give, of those the listing reached
};

} // namespace job
