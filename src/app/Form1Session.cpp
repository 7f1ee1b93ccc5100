#include "app/Form1.h"

#include "base/ServerSetting.h"
#include "base/SettingsStore.h"
#include "mail/MailImap.h"
#include "mail/clsMailIMAP.h"

#include <QComboBox>
#include <QLineEdit>

QString Form1::liveId() const {
    const QString suffix = Combo1->currentText();
    if (suffix.startsWith(QLatin1Char('@')))
        return Text1->text() + suffix;
    return Text1->text();
}

std::shared_ptr<clsMailIMAP> Form1::newSession() {
    auto session = std::make_shared<clsMailIMAP>();
    MailImap& component = mailComponent();
    component.setTrustedCertificates(SettingsStore::Read(QStringLiteral("TrustedCertificates")));
    const ServerAddress server = ServerSetting::forSession();
    session->MailIMAPObject = &component;
    session->SSL = true;
    session->PORT = server.port;
    session->IMAPServer = server.host;
    session->ServerProblem = server.problem;
    if (!server.problem.isEmpty())
        setStatusText(server.problem);
    session->Username = liveId();
    if (usesOAuth2()) {
        session->AuthMethod = AuthMode::OAuth2;
        session->TokenSource = tokenSource(session->Username);
    } else {
        session->Password = Text2->text();
    }
    bindSession(session);
    return session;
}
