#include "app/Form1.h"

#include "base/Conversions.h"
#include "base/Guard.h"
#include "base/ServerSetting.h"
#include "base/SettingsStore.h"
#include "commands/RequireSession.h"
#include "list/MessageListView.h"
#include "mail/MailImap.h"
#include "mail/clsMailIMAP.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

// "1. Connect" and "Disconnect": the caption of PushButton5 is the connection state the other
// commands test.

namespace {

const QString connectCaption = QStringLiteral("1. Connect");
const QString disconnectCaption = QStringLiteral("Disconnect");

} // namespace

void Form1::PushButton5_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/20151/29/2015.Form1.PushButton5_Click "));
    // The session this call works with, kept alive while a click inside a yield drops oMail.
    std::shared_ptr<clsMailIMAP> session;
    bool endConnected = false;

    guard(100, [&] { setMousePointer(MousePointer::Hourglass); });
    if (guard.test(102, [&] { return PushButton5->text() == connectCaption; })) {
        guard(104, [&] { setStatusText(QStringLiteral("Connecting to Windows Live Hotmail...")); });
        endConnected = true;
        if (!guard.test(106, [&] { return oMail != nullptr; })) {
            guard(108, [&] { oMail = newSession(); });
            session = oMail;
            const bool failed =
                guard.test(110, [&] { return !connectSession(requireSession(session)); });
            if (failed) {
                endConnected = false;
            } else {
                guard(112, [&] { session->EnumMailFolders(); });
                std::optional<QStringList> folders;
                guard(114, [&] { folders = session->EnumMailFolders(); });
                guard(116, [&] { setStatusText(QStringLiteral("Enumerating folders...")); });
                guard(118, [&] { folders.reset(); });
                guard(120, [&] {
                    setStatusText(
                        QStringLiteral("Connected to Windows Live Hotmail. Please select folder.%1")
                            .arg(takeKeyringNotice()));
                });
            }
        }
        if (endConnected)
            guard(122, [&] { PushButton5->setText(disconnectCaption); });
    } else {
        guard(124,
              [&] { setStatusText(QStringLiteral("Disconnecting from Windows Live Hotmail...")); });
        if (guard.test(126, [&] { return !Check1->isChecked(); })) {
            guard(127, [&] { forgetSignIn(true); });
            guard(128, [&] { Text1->setText(QString()); });
            guard(130, [&] { Text2->setText(QString()); });
            guard(132, [&] { SettingsStore::Save(QStringLiteral("User"), QString()); });
            guard(134, [&] { SettingsStore::Save(QStringLiteral("Password"), QString()); });
        }
        // A listing running in a yield of this click ends with the connection, as on Stop.
        guard(136, [&] {
            abortRetrievals();
            mailComponent().Disconnect();
        });
    }

    if (!endConnected) {
        guard(138, [&] { ListView1->list().clear(); });
        guard(140, [&] { UpdateCounters(true); });
        guard(142, [&] { PushButton5->setText(connectCaption); });
        guard(144, [&] {
            const QString stay =
                SettingsStore::Read(QStringLiteral("StayConnected"), QStringLiteral("0"));
            Check1->setChecked(Conversions::toInt16(stay) != 0);
        });
        guard(146, [&] { oMail = nullptr; });
        guard(148, [&] {
            // A Server setting that cannot work stays told: it is why nothing was connected.
            const QString problem = ServerSetting::current().problem;
            setStatusText(problem.isEmpty()
                              ? QStringLiteral("Disconnected from Windows Live Hotmail.")
                              : problem);
        });
    }

    guard(150, [&] { setMousePointer(MousePointer::Default); });
    guard(152, [&] { CheckSearchActive = false; });
}
