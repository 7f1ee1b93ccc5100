#pragma once

#include "export/Download.h"

#include <QString>

#include <functional>
#include <memory>

class clsMailIMAP;

namespace job {

// What one export saves: the messages of one mail folder (a range of them, those that pass a
// filter) into a save folder, by one of the two save methods.
struct ExportRequest {
    QString folder;
    QString saveFolder;
    SaveMethod method = SaveMethod::SeparateFiles;
    qint32 first = 1;
    qint32 last = 0;       // 0: to the folder's last message
    QString filter;        // as the window's filter box
    bool allAgain = false; // save what the save folder's record names too
};

// How an export ended.
enum class ExportStatus {
    Complete,         // every message asked for is saved or was saved before
    Incomplete,       // some could not be fetched, or the run ended before its end
    SignInFailed,     // nothing was listed
    FolderUnwritable, // the save folder, a file in it or its record could not be written
};

struct ExportResult {
    ExportStatus status = ExportStatus::Complete;
    int saved = 0;
    int alreadySaved = 0;
    int skipped = 0; // asked for, neither saved now nor before
};

// The whole job without a window, the command's side of it: runs the folder's listing (Listing)
// for the messages not saved before, filters them and saves them (saveChecked), remembering in
// the save folder what it saved. With a
// record in place it first asks the server for the folder's UIDs and fetches only the messages the
// record does not name, so a run with nothing new fetches no message at all. Failures are told
// through the current prompter, as the window's boxes tell them.
class ExportJob {
public:
    enum class Stage { Listing, Saving };

    explicit ExportJob(std::shared_ptr<clsMailIMAP> session);

    // Told as the job goes: messages listed or saved so far of those it will list or save.
    std::function<void(Stage stage, qint64 done, qint64 total)> progress;

    ExportResult run(const ExportRequest& request);

private:
    void report(Stage stage, qint64 done, qint64 total) const;

    std::shared_ptr<clsMailIMAP> session_;
};

} // namespace job
