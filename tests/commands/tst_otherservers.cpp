// The five folder options against a Dovecot laid out as other servers lay out their folders:
// everything under "INBOX." with "." between levels, and the sent, junk and deleted folders under
// other names, some marked with special-use attributes and some not.
#include "RetrievalFixture.h"
#include "commands/Form2.h"

#include <QRadioButton>

namespace {

const QString done = QStringLiteral("Done.");

} // namespace

class TestOtherServers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { prompter.clear(); }

    void everyOptionFindsItsFolder_data();
    void everyOptionFindsItsFolder();
    void aFolderThatCannotBeFoundIsToldOnce_data();
    void aFolderThatCannotBeFoundIsToldOnce();

private:
    QRadioButton* option(Form1& window, const QString& caption);

    QTemporaryDir settings;
    QTemporaryDir seed;
    QTemporaryDir inboxOnly;
    std::unique_ptr<MailServer> server;
    std::unique_ptr<MailServer> bareServer;
    ServerLogin login;
    ScriptedPrompter prompter;
};

void TestOtherServers::initTestCase() {
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("INBOX")), 1));
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("Drafts")), 2));
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("Sent Messages")), 3));
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("Spam")), 4));
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("Trash")), 5));
    MailServer::Options options{seed.path()};
    options.prefix = QStringLiteral("INBOX.");
    options.separator = QStringLiteral(".");
    options.specialUse =
        QStringList{QStringLiteral("Sent Messages=\\Sent"), QStringLiteral("Trash=\\Trash")};
    server = std::make_unique<MailServer>(options);
    QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    login = loginOf(*server);

    QVERIFY(MailServer::generate(inboxOnly.filePath(QStringLiteral("INBOX")), 1));
    bareServer = std::make_unique<MailServer>(MailServer::Options{inboxOnly.path()});
    QVERIFY2(bareServer->isRunning(), qPrintable(bareServer->errorText()));
}

QRadioButton* TestOtherServers::option(Form1& window, const QString& caption) {
    for (QRadioButton* button :
         {window.Option3, window.Option5, window.Option6, window.Option7, window.Option9})
        if (button->text() == caption)
            return button;
    return nullptr;
}

void TestOtherServers::everyOptionFindsItsFolder_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("messages");
    QTest::newRow("Inbox") << QStringLiteral("Inbox") << 1;
    QTest::newRow("Drafts, under the prefix") << QStringLiteral("Drafts") << 2;
    QTest::newRow("Sent, marked") << QStringLiteral("Sent") << 3;
    QTest::newRow("Junk, by its usual other name") << QStringLiteral("Junk") << 4;
    QTest::newRow("Deleted, marked") << QStringLiteral("Deleted") << 5;
}

// Get All and Get Some both list the folder; the second run of the session's window finds it
// again.
void TestOtherServers::everyOptionFindsItsFolder() {
    QFETCH(QString, caption);
    QFETCH(int, messages);
    useServer(login, settings.path());
    auto window = connectedWindow(login, prompter);
    option(*window, caption)->setChecked(true);
    window->PushButton10_Click();
    QCOMPARE(prompter.texts(), QStringList{done});
    QCOMPARE(window->ListView1->list().count(), messages);

    prompter.clear();
    prompter.dialogDrivers.enqueue([](QDialog& dialog) {
        auto& form = static_cast<Form2&>(dialog);
        form.Text1[0]->setText(QStringLiteral("1"));
        form.Text1[1]->setText(QStringLiteral("1"));
        form.PushButton1->click();
    });
    window->PushButton2_Click();
    QCOMPARE(prompter.texts(), QStringList{done});
    QCOMPARE(window->ListView1->list().count(), 1);
}

void TestOtherServers::aFolderThatCannotBeFoundIsToldOnce_data() {
    QTest::addColumn<bool>("getSome");
    QTest::newRow("Get All") << false;
    QTest::newRow("Get Some") << true;
}

// One box names the folder and says what the server answered; no range dialog, no empty-folder
// box, no "Done.".
void TestOtherServers::aFolderThatCannotBeFoundIsToldOnce() {
    QFETCH(bool, getSome);
    const ServerLogin bare = loginOf(*bareServer);
    useServer(bare, settings.path());
    auto window = connectedWindow(bare, prompter);
    window->Option5->setChecked(true);
    if (getSome)
        window->PushButton2_Click();
    else
        window->PushButton10_Click();

    const QStringList texts = prompter.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].startsWith(QStringLiteral("The folder \"Drafts\" could not be found")),
             qPrintable(texts[0]));
    QVERIFY2(texts[0].contains(QStringLiteral("EXAMINE")), qPrintable(texts[0]));
    QCOMPARE(window->ListView1->list().count(), 0);
    QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
}

QTEST_MAIN(TestOtherServers)
#include "tst_otherservers.moc"
