#pragma once

#include "export/Download.h"

#include <QString>

#include <functional>

class Guard;
class MessageListModel;
class QWidget;
class RecordStore;
class SavedRecord;

namespace job {

// What a save does with the save folder's record of saved messages.
enum class Remembering {
    Off,    // neither reads nor writes it: every checked message is saved
    Record, // saves every checked message and notes each in the record
    Skip,   // passes over the messages the record names, and notes each one saved
};

struct SaveReport {
    Download::Outcome outcome = Download::Outcome::Finished;
    int saved = 0;       // messages written
    int savedBefore = 0; // checked messages passed over as saved into the folder before
    // Why the folder's record could not be taken (nothing was saved then) or written; told.
    QString recordFailure;
};

// Saves the checked rows of list with method, as a download does, into the folder that folder
// gives; with remembering on, into the folder it gives at the start, whose record is opened here
// unless opened is that record, open already. Boxes go to window through the current prompter,
// single failing statements to guard; yield runs before every row.
SaveReport saveChecked(const MessageListModel& list, const RecordStore& records, Guard& guard,
                       QWidget* window, const Download::FolderSource& folder, SaveMethod method,
                       const bool& stopRequested, Remembering remembering,
                       const std::function<void()>& yield, SavedRecord* opened = nullptr);

// The end of a download that skipped what was saved before:
// "Done. 12 emails saved, 168 saved before were skipped."; "Done." when none was skipped.
QString doneText(const SaveReport& report);

} // namespace job
