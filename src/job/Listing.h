#pragma once

#include "job/ListingResult.h"
#include "list/MessageOrigin.h"
#include "list/MessageRecord.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class clsMailIMAP;

namespace job {

// One listing of a mail folder, as the window's Get All Emails and Get Some Emails and the export
// command run it: signs the session in, counts the folder, takes a range of it (all of it unless
// asked), lists its messages and tells how that ended. It knows no window: what it lists, how far
// it got and the range to list go through the callbacks below; boxes go through the current
// prompter. Stop is the session's AbortProcess.
class Listing {
public:
    // The statements of a run that a face may run its own way: the window runs each through the
    // guard of the clicked command, under the number it has there.
    enum class Step {
        SignIn,      // test: the sign-in failed
        Count,       // the folder's message count
        HasMessages, // test: the folder has messages to list
        List,        // the listing itself
    };

    explicit Listing(std::shared_ptr<clsMailIMAP> session);

    // The folder to list; read as it is counted, since a sign-in yields and the folder may change
    // meanwhile.
    std::function<QString()> folder;
    // Signs the session in first; off when it is signed in already.
    bool signIn = true;
    // Signs in anew and opens the folder again to list it, as the window always has (which outlasts
    // a connection dropped since the count); off, lists on the connection of the count.
    bool listOnNewConnection = true;

    // The range to list of the count messages the folder holds, none to list nothing; unset: all.
    std::function<std::optional<ListingRange>(qint32 count)> askRange;
    // The numbers of range to list, none when they could not be had (told); unset: all of them.
    // Only on the connection of the count.
    std::function<std::optional<QList<qint32>>(const ListingRange& range)> chooseNumbers;
    // A message was listed, with where it came from.
    std::function<void(const MessageRecord& message, const MessageOrigin& origin)> messageListed;
    // Messages listed so far of those asked for.
    std::function<void(qint64 listed, qint64 asked)> progress;
    // How a statement and a test of the run are run; unset: as they are.
    std::function<void(Step step, const std::function<void()>& statement)> runStatement;
    std::function<bool(Step step, const std::function<bool()>& condition)> testStatement;

    ListingResult run();

    // The result so far: a face's statement may read it right after the job's part of it.
    const ListingResult& result() const { return result_; }
    // The range being listed, once it is known.
    const ListingRange& range() const { return range_; }

private:
    clsMailIMAP& session() const;
    void statement(Step step, const std::function<void()>& body);
    bool test(Step step, const std::function<bool()>& condition);
    void list(const QString& folderName, const QList<qint32>& numbers);

    std::shared_ptr<clsMailIMAP> session_;
    ListingResult result_;
    ListingRange range_;
};

} // namespace job
