#include "MailServer.h"
#include "PlainMailImap.h"
#include "ScriptedImapServer.h"
#include "WindowFixture.h"

#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "list/MessageListView.h"
#include "mail/clsMailIMAP.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

// Connect and disconnect of the main window against a real IMAPS server on loopback.

namespace {

const QString invalidLogin =
    QStringLiteral("Invalid login. Please double-check your username and password.");
const QString connecting = QStringLiteral("Connecting to Windows Live Hotmail...");
const QString enumerating = QStringLiteral("Enumerating folders...");
const QString connected =
    QStringLiteral("Connected to Windows Live Hotmail. Please select folder.");
const QString disconnecting = QStringLiteral("Disconnecting from Windows Live Hotmail...");
const QString disconnected = QStringLiteral("Disconnected from Windows Live Hotmail.");

QString key(const char* name) {
    return SettingsStore::Read(QString::fromLatin1(name));
}

QStringList statuses(const QSignalSpy& spy) {
    QStringList texts;
    for (const QList<QVariant>& arguments : spy)
        texts.append(arguments.at(0).toString());
    return texts;
}

} // namespace

class ConnectTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectThenDisconnect();
    void disconnectKeepsRememberedCredentials();
    void wrongPasswordEndsDisconnected();
    void suffixOfTheDropDownIsAppended();
    void autoConnectComesUpConnected();
    void autoConnectWithoutRememberedCredentialsFails();
    void disconnectAfterTheSessionWasReleased();

private:
    std::unique_ptr<Form1> load();
    void pointAtServer(const MailServer& server);

    std::unique_ptr<MailServer> server;
    std::unique_ptr<WindowFixture> fixture;
};

void ConnectTest::initTestCase() {
    server = std::make_unique<MailServer>();
    QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
}

void ConnectTest::init() {
    fixture = std::make_unique<WindowFixture>();
    pointAtServer(*server);
}

void ConnectTest::cleanup() {
    fixture.reset();
}

void ConnectTest::pointAtServer(const MailServer& mailServer) {
    SettingsStore::Save(QStringLiteral("Server"),
                        QStringLiteral("%1:%2").arg(mailServer.host()).arg(mailServer.port()));
    SettingsStore::Save(QStringLiteral("TrustedCertificates"), mailServer.caFile());
}

std::unique_ptr<Form1> ConnectTest::load() {
    return loadedWindow();
}

void ConnectTest::connectThenDisconnect() {
    auto form = load();
    form->Text1->setText(server->user());
    form->Text2->setText(server->password());
    QSignalSpy status(form.get(), &Form1::statusTextChanged);

    form->PushButton5->click();
    QVERIFY2(fixture->prompter.boxes.isEmpty(),
             qPrintable(fixture->prompter.texts().join(QLatin1Char('|'))));
    QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
    QCOMPARE(statuses(status), (QStringList{connecting, enumerating, connected}));
    QVERIFY(form->oMail);
    QCOMPARE(form->oMail->IMAPServer, server->host());
    QCOMPARE(form->oMail->PORT, server->port());
    QVERIFY(form->oMail->SSL);
    QCOMPARE(form->mousePointer(), MousePointer::Default);

    MessageListModel& list = form->ListView1->list();
    list.appendRow(QStringLiteral("a"));
    list.setChecked(list.appendRow(QStringLiteral("b")), true);
    form->CheckSearchActive = true;
    const std::weak_ptr<clsMailIMAP> session = form->oMail;
    status.clear();

    form->PushButton5->click();
    QVERIFY(fixture->prompter.boxes.isEmpty());
    QCOMPARE(statuses(status), (QStringList{disconnecting, disconnected}));
    QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
    QCOMPARE(list.count(), 0);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: 0"));
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: 0"));
    QVERIFY(!form->oMail);
    QVERIFY(session.expired());
    QVERIFY(!form->CheckSearchActive);
    // Not remembered: the credentials are forgotten, on screen and in the store.
    QCOMPARE(form->Text1->text(), QString());
    QCOMPARE(form->Text2->text(), QString());
    QCOMPARE(key("User"), QString());
    QCOMPARE(key("Password"), QString());
}

void ConnectTest::disconnectKeepsRememberedCredentials() {
    auto form = load();
    form->Check1->setChecked(true);
    form->Text1->setText(server->user());
    form->Text2->setText(server->password());
    form->PushButton5->click();
    QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
    form->PushButton5->click();
    QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
    QVERIFY(form->Check1->isChecked());
    QCOMPARE(form->Text1->text(), server->user());
    QCOMPARE(form->Text2->text(), server->password());
    QCOMPARE(key("User"), server->user());
    QCOMPARE(key("Password"), server->password());
    QVERIFY(fixture->prompter.boxes.isEmpty());
}

void ConnectTest::wrongPasswordEndsDisconnected() {
    auto form = load();
    form->Text1->setText(server->user());
    form->Text2->setText(QStringLiteral("not the password"));
    form->ListView1->list().appendRow(QStringLiteral("left over"));
    QSignalSpy status(form.get(), &Form1::statusTextChanged);

    form->PushButton5->click();
    QCOMPARE(fixture->prompter.texts(), QStringList{invalidLogin});
    QCOMPARE(fixture->prompter.boxes[0].title, QStringLiteral("Quentaril"));
    QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
    QCOMPARE(statuses(status), (QStringList{connecting, disconnected}));
    QCOMPARE(form->ListView1->list().count(), 0);
    QVERIFY(!form->oMail);
    // A failed login is not a disconnect: what the user typed stays.
    QCOMPARE(form->Text1->text(), server->user());
    QCOMPARE(form->mousePointer(), MousePointer::Default);
}

// Only the Live ID the window builds matters here: a scripted server takes any sign-in, so no
// test user carries the name of a real mail domain.
void ConnectTest::suffixOfTheDropDownIsAppended() {
    ScriptedImapServer scripted(
        [](const QByteArray& tag, const QByteArray&) { return tag + " OK done\r\n"; });
    SettingsStore::Save(QStringLiteral("Server"),
                        QStringLiteral("127.0.0.1:%1").arg(scripted.port()));
    SettingsStore::Save(QStringLiteral("Combo1"), QStringLiteral("3"));

    auto form = loadedWindow([](Form1& window) {
        window.createComponent = [] { return std::make_unique<PlainMailImap>(); };
    });
    QCOMPARE(form->Combo1->currentText(), QStringLiteral("@outlook.com"));
    form->Text1->setText(QStringLiteral("alex"));
    form->Text2->setText(QStringLiteral("secret"));
    form->PushButton5->click();
    QVERIFY2(fixture->prompter.boxes.isEmpty(),
             qPrintable(fixture->prompter.texts().join(QLatin1Char('|'))));
    QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
    QCOMPARE(form->oMail->Username, QStringLiteral("alex@outlook.com"));
    QVERIFY(scripted.commands().contains("LOGIN \"alex@outlook.com\" \"secret\""));
}

void ConnectTest::autoConnectComesUpConnected() {
    SettingsStore::Save(QStringLiteral("User"), server->user());
    SettingsStore::Save(QStringLiteral("Password"), server->password());
    SettingsStore::Save(QStringLiteral("StayConnected"), QStringLiteral("1"));
    SettingsStore::Save(QStringLiteral("AutoConnect"), QStringLiteral("1"));
    // The window is up before the auto-connect begins, so the user can see it and close it.
    QList<bool> shownWhileConnecting;
    auto form = loadedWindow([this, &shownWhileConnecting](Form1& window) {
        connect(&window, &Form1::statusTextChanged, this,
                [shown = &shownWhileConnecting, form = &window](const QString& text) {
                    if (text == QStringLiteral("Connecting to Windows Live Hotmail..."))
                        shown->append(form->isVisible());
                });
    });
    QCOMPARE(shownWhileConnecting, QList<bool>{true});
    QVERIFY2(fixture->prompter.boxes.isEmpty(),
             qPrintable(fixture->prompter.texts().join(QLatin1Char('|'))));
    QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
    QCOMPARE(form->statusText(), connected);
    QVERIFY(form->Check2->isChecked());
    QVERIFY(form->Check2->isEnabled());
}

void ConnectTest::autoConnectWithoutRememberedCredentialsFails() {
    SettingsStore::Save(QStringLiteral("User"), server->user());
    SettingsStore::Save(QStringLiteral("Password"), server->password());
    SettingsStore::Save(QStringLiteral("StayConnected"), QStringLiteral("0"));
    SettingsStore::Save(QStringLiteral("AutoConnect"), QStringLiteral("1"));
    auto form = load();
    QCOMPARE(fixture->prompter.texts(), QStringList{invalidLogin});
    QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
    QCOMPARE(form->statusText(), disconnected);
    QCOMPARE(form->Text1->text(), QString());
    QVERIFY(form->Check2->isChecked());
    QVERIFY(!form->Check2->isEnabled());
}

void ConnectTest::disconnectAfterTheSessionWasReleased() {
    auto form = load();
    form->Check1->setChecked(true);
    form->Text1->setText(server->user());
    form->Text2->setText(server->password());
    form->PushButton5->click();
    QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
    form->oMail = nullptr; // as a finished retrieval leaves it
    form->ListView1->list().appendRow(QStringLiteral("row"));

    form->PushButton5->click();
    QVERIFY(fixture->prompter.boxes.isEmpty());
    QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
    QCOMPARE(form->statusText(), disconnected);
    QCOMPARE(form->ListView1->list().count(), 0);

    // Connecting again builds a new session.
    form->PushButton5->click();
    QCOMPARE(form->PushButton5->text(), QStringLiteral("Disconnect"));
    QVERIFY(form->oMail);
}

QTEST_MAIN(ConnectTest)
#include "tst_connect.moc"
