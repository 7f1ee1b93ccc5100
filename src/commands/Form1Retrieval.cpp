#include "commands/Form2.h"
#include "commands/RequireSession.h"
#include "commands/RetrievalButtons.h"
#include "commands/RetrievalFlags.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"
#include "mail/clsMailIMAP.h"
#include "shell/Form1.h"
#include "shell/Guard.h"
#include "shell/Prompter.h"
#include "shell/ThrottledPaint.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

// Get All Emails, Get Some Emails and Stop of the main window.

namespace {

QString chosenFolder(const Form1& window) {
    for (const QRadioButton* option :
         {window.Option3, window.Option5, window.Option6, window.Option7, window.Option9}) {
        if (option->isChecked())
            return option->text();
    }
    return {};
}

bool notConnected(Guard& guard, Form1& window, int line) {
    if (!guard.test(line,
                    [&] { return window.PushButton5->text() == QLatin1String("1. Connect"); }))
        return false;
    guard(line + 2, [&] {
        showMessage(&window,
                    QStringLiteral("Please connect first (Step 1) before using this feature."));
    });
    return true;
}

void showRunning(Guard& guard, Form1& window, int line) {
    guard(line, [&] {
        window.setMousePointer(MousePointer::Hourglass);
        RetrievalButtons::showRunning(window.PushButton10, window.PushButton2);
    });
}

// The window's session, or a new one logged in from the login fields; false when the new one
// could not log in. The command holds the session until it ends: a Stop or Disconnect clicked in
// one of its yields only drops the window's reference.
bool sessionForRun(Guard& guard, Form1& window, int line, std::shared_ptr<clsMailIMAP>& session) {
    session = window.oMail;
    if (session)
        return true;
    guard(line, [&] {
        session = window.newSession();
        window.oMail = session;
        SkipDoneMessage = false;
    });
    if (guard.test(line + 2, [&] { return !requireSession(session).Connect(); })) {
        guard(line + 4, [&] { SkipDoneMessage = true; });
        return false;
    }
    return true;
}

// Registers a run's session with the window while the command holds it.
class RunningSession {
public:
    RunningSession(Form1& window, clsMailIMAP& session) : window_(window), session_(session) {
        window_.runningSessions.append(&session_);
    }
    ~RunningSession() { window_.runningSessions.removeOne(&session_); }
    RunningSession(const RunningSession&) = delete;
    RunningSession& operator=(const RunningSession&) = delete;

private:
    Form1& window_;
    clsMailIMAP& session_;
};

void showEmptyFolder(Guard& guard, Form1& window, int line) {
    guard(line, [&] {
        showMessage(&window, QStringLiteral("There are no emails in the Folder you selected."));
    });
    guard(line + 2, [&] { SkipDoneMessage = true; });
}

void endRun(Guard& guard, Form1& window, int line) {
    guard(line, [&] { window.oMail.reset(); });
    guard(line + 2, [&] {
        window.setStatusText(QStringLiteral("Progress Bar"));
        window.ProgressBar1->setValue(0);
    });
    guard(line + 4, [&] { window.setMousePointer(MousePointer::Default); });
    guard(line + 6, [&] { RetrievalButtons::showIdle(window.PushButton10, window.PushButton2); });
    if (guard.test(line + 8, [&] { return !SkipDoneMessage; }))
        guard(line + 10, [&] { showMessage(&window, QStringLiteral("Done.")); });
}

} // namespace

void Form1::abortRetrievals() {
    if (oMail)
        oMail->AbortProcess = true;
    for (clsMailIMAP* session : std::as_const(runningSessions))
        session->AbortProcess = true;
}

void Form1::PushButton10_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/20151/29/2015.Form1.PushButton10_Click "));
    if (guard.test(100, [&] { return RetrievalButtons::isRunning(PushButton10); })) {
        guard(102, [&] { RetrievalButtons::showIdle(PushButton10, PushButton2); });
        guard(104, [&] { abortRetrievals(); });
        guard(106, [&] { oMail.reset(); });
        return;
    }
    if (notConnected(guard, *this, 108))
        return;
    showRunning(guard, *this, 112);
    guard(114, [&] {
        ListView1->list().clear();
        ListView1->setSortingEnabled(false);
    });
    guard(116, [&] { UpdateCounters(true); });
    guard(118, [&] {
        CheckSearchActive = false;
        SkipDoneMessage = false;
    });

    std::shared_ptr<clsMailIMAP> session;
    if (sessionForRun(guard, *this, 120, session)) {
        const RunningSession running(*this, *session);
        QString folder;
        guard(126, [&] {
            folder = chosenFolder(*this);
            session->CurrentLocation = 1;
            session->MaxRecord = session->GetTotalMessage(folder);
        });
        if (guard.test(128, [&] { return session->MaxRecord > 0; })) {
            guard(130, [&] { messageRecords().recreate(session->MaxRecord); });
            guard(132, [&] {
                const ThrottledPaint progress(ProgressBar1);
                session->StartMailExtraction(folder);
            });
        } else {
            showEmptyFolder(guard, *this, 134);
        }
        guard(138, [&] { UpdateCounters(false); });
    }
    endRun(guard, *this, 140);
}

void Form1::PushButton2_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/20151/29/2015.Form1.PushButton2_Click "));
    if (notConnected(guard, *this, 100))
        return;
    showRunning(guard, *this, 104);
    guard(106, [&] { ListView1->list().clear(); });

    std::shared_ptr<clsMailIMAP> session;
    if (!sessionForRun(guard, *this, 108, session)) {
        // The list was emptied above: its counters must not go on showing the old rows.
        guard(114, [&] { UpdateCounters(true); });
        endRun(guard, *this, 140);
        return;
    }
    const RunningSession running(*this, *session);
    QString folder;
    qint32 count = 0;
    Form2 range(this);
    guard(116, [&] {
        folder = chosenFolder(*this);
        range.setMailIMAP(session);
        range.setMaxMessage(session->GetTotalMessage(folder));
    });
    guard(118, [&] { count = session->GetTotalMessage(folder); });
    if (guard.test(120, [&] { return !(count > 0); })) {
        showEmptyFolder(guard, *this, 122);
    } else {
        guard(126, [&] { range.showModal(); });
        if (guard.test(128, [&] { return !RangeAccepted; })) {
            guard(130, [&] { UpdateCounters(true); });
            endRun(guard, *this, 140);
            return;
        }
        guard(132, [&] {
            ListView1->list().clear();
            UpdateCounters(true);
            SkipDoneMessage = false;
        });
        guard(134, [&] { messageRecords().recreate(session->MaxRecord); });
        guard(136, [&] {
            const ThrottledPaint progress(ProgressBar1);
            session->StartMailExtraction(folder);
        });
    }
    guard(138, [&] {
        UpdateCounters(false);
        CheckSearchActive = false;
    });
    endRun(guard, *this, 140);
}

void Form1::oMail_ScrapProgress(qint32 percent) {
    const std::shared_ptr<clsMailIMAP> session = oMail;
    if (!session)
        return;
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(percent);
    setStatusText(QStringLiteral("Reading mail ") + QString::number(session->CurrentLocation) +
                  QStringLiteral(" of ") + QString::number(session->MaxRecord));
    QCoreApplication::processEvents();
}
