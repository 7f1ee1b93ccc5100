#include "commands/RetrievalStart.h"

#include "base/Guard.h"
#include "base/Prompter.h"
#include "commands/RetrievalButtons.h"
#include "commands/RetrievalFlags.h"
#include "commands/RetrievalOwner.h"
#include "mail/clsMailIMAP.h"

#include <QPushButton>

namespace RetrievalStart {

bool downloadRunning(RetrievalOwner& owner) {
    if (!owner.downloadRunning())
        return false;
    owner.setStatusText(QStringLiteral("Listing is unavailable while emails are being saved: "
                                       "stop the download first."));
    return true;
}

bool notConnected(Guard& guard, RetrievalOwner& owner, int line) {
    if (!guard.test(line,
                    [&] { return owner.connectButton()->text() == QLatin1String("1. Connect"); }))
        return false;
    guard(line + 2, [&] {
        showMessage(owner.retrievalWindow(),
                    QStringLiteral("Please connect first (Step 1) before using this feature."));
    });
    return true;
}

void showRunning(Guard& guard, RetrievalOwner& owner, int line) {
    guard(line, [&] {
        owner.setMousePointer(MousePointer::Hourglass);
        RetrievalButtons::showRunning(owner.getAllButton(), owner.getSomeButton());
    });
}

bool sessionForRun(Guard& guard, RetrievalOwner& owner, int line,
                   std::shared_ptr<clsMailIMAP>& session) {
    session = owner.currentSession();
    if (session)
        return false;
    guard(line, [&] {
        session = owner.newSession();
        owner.currentSession() = session;
        SkipDoneMessage = false;
    });
    return true;
}

} // namespace RetrievalStart
