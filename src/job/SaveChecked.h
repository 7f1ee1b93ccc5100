#pragma once

#include "export/Download.h"

#include <QString>

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
    int unreadable = 0;  // checked messages whose texts could not be read back (reported)
    // Why the folder's record could not be taken (nothing was saved then) or written; told.
    QString recordFailure;
};

// Runs download, made for list and records, with method into the folder that folder gives; with
// remembering on, into the folder it gives at the start, whose record is opened here unless
// opened is that record, open already. Boxes go to window through the current prompter.
SaveReport saveChecked(Download& download, const MessageListModel& list, const RecordStore& records,
                       QWidget* window, const Download::FolderSource& folder, SaveMethod method,
                       const bool& stopRequested, Remembering remembering,
                       SavedRecord* opened = nullptr);

// The end of a download: "Done.", or when it passed over messages saved before "Done. 12 emails
// saved, 168 saved before were skipped.", and how many could not be read back and were skipped.
QString doneText(const SaveReport& report);

} // namespace job
