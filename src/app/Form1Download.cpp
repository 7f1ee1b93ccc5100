#include "app/Form1.h"
#include "base/Guard.h"
#include "base/Prompter.h"
#include "commands/RetrievalButtons.h"
#include "export/Download.h"
#include "job/SaveChecked.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

#include <array>

namespace {

// The listing commands wait while a download runs: a new listing would replace the rows and the
// texts the download is saving.
class ListingLock {
public:
    ListingLock(QPushButton* getAll, QPushButton* getSome) : buttons_{getAll, getSome} {
        for (QPushButton* button : buttons_) {
            button->setEnabled(false);
            button->setToolTip(QStringLiteral("Unavailable while emails are being saved."));
        }
    }
    ~ListingLock() {
        for (QPushButton* button : buttons_) {
            button->setEnabled(true);
            button->setToolTip(QString());
        }
    }
    ListingLock(const ListingLock&) = delete;
    ListingLock& operator=(const ListingLock&) = delete;

private:
    std::array<QPointer<QPushButton>, 2> buttons_;
};

} // namespace

// "3. Start Downloading": saves the checked rows as text files in the folder of Text3. While it
// runs the same button reads "Stop Downloading", and a click on it stops the run before its next
// row. Statements 122 to 152 are the walk in Download.cpp. With "Skip emails already saved to this
// folder" checked, the messages the folder's record names are passed over, and the end says how
// many were saved and how many passed over.
void Form1::PushButton7_Click() {
    const QString startCaption = QStringLiteral("3. Start Downloading");
    const QString stopCaption = QStringLiteral("Stop Downloading");
    Guard guard(this, QStringLiteral("in Brastovel2/19/201512/22/2014.Form1.PushButton7_Click "));
    MessageListModel& list = ListView1->list();

    // While a download runs, every click on the button is a stop request, also a second one
    // before the walk has seen the first.
    if (downloadRunning_) {
        guard(104, [&] { StopDownloadRequested = true; });
        guard(106, [&] { setMousePointer(MousePointer::Default); });
        guard(108, [&] { PushButton7->setText(startCaption); });
        return;
    }
    if (guard.test(100, [&] { return list.count() == 0; }))
        return;
    // A list still being filled is not saved: the rows still to come would be missing.
    if (RetrievalButtons::isRunning(PushButton10)) {
        guard(102, [&] {
            showMessage(this,
                        QStringLiteral("The list is still being filled. Wait until the listing "
                                       "ends, or stop it, before downloading."),
                        BoxIcon::Exclamation);
        });
        return;
    }
    if (guard.test(110, [&] { return CountChecked() == 0; })) {
        guard(112, [&] {
            showMessage(this, QStringLiteral("Please select at least 1 message!"),
                        BoxIcon::Exclamation);
        });
        return;
    }
    const QScopedValueRollback<bool> running(downloadRunning_, true);
    const ListingLock listingLock(PushButton10, PushButton2);
    guard(114, [&] { StopDownloadRequested = false; });
    guard(116, [&] { PushButton7->setText(stopCaption); });
    guard(118, [&] { setMousePointer(MousePointer::Hourglass); });

    SaveMethod method = SaveMethod::None;
    if (guard.test(120, [&] { return Option1->isChecked(); }))
        method = SaveMethod::SeparateFiles;
    else if (guard.test(140, [&] { return Option2->isChecked(); }))
        method = SaveMethod::OneFile;
    Download download(list, messageRecords(), guard, this);
    download.progress = [this](qint32 number, qint32 total) {
        ProgressBar1->setMaximum(total);
        ProgressBar1->setValue(number);
        setProgressText(QStringLiteral("Saving %1 of %2").arg(number).arg(total));
    };
    bool skipSaved = false;
    guard(154, [&] { skipSaved = Check3->isChecked(); });
    const job::SaveReport report = job::saveChecked(
        download, list, messageRecords(), this, [this] { return Text3->text(); }, method,
        StopDownloadRequested, skipSaved ? job::Remembering::Skip : job::Remembering::Off);
    const Download::Outcome outcome = report.outcome;

    guard(156, [&] {
        setMousePointer(MousePointer::Default);
        setStatusText(QStringLiteral("Progress Bar"));
        ProgressBar1->setValue(0);
    });
    // A failed run has told its reason already; it never ends in "Done.", nor does a walk whose
    // list was emptied under it.
    if (outcome == Download::Outcome::Cut)
        guard(158, [&] {
            showMessage(this,
                        QStringLiteral("The list was emptied during the download, which stopped "
                                       "before the end."),
                        BoxIcon::Exclamation);
        });
    else if (outcome != Download::Outcome::Failed &&
             guard.test(158, [&] { return !StopDownloadRequested; }))
        guard(158, [&] { showMessage(this, job::doneText(report)); });
    guard(160, [&] { PushButton7->setText(startCaption); });
}
