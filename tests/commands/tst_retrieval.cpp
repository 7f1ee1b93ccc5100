#include "RetrievalFixture.h"
#include "commands/Form2.h"
#include "commands/RetrievalFlags.h"
#include "list/RecordStore.h"
#include "mail/clsMailIMAP.h"

#include <QLabel>
#include <QProgressBar>

namespace {

const QString done = QStringLiteral("Done.");
const QString emptyFolder = QStringLiteral("There are no emails in the Folder you selected.");

// Answers the range dialog with a first and a last number, then clicks Continue.
ScriptedPrompter::DialogDriver range(int first, int last) {
    return [first, last](QDialog& dialog) {
        auto& form = static_cast<Form2&>(dialog);
        form.Text1[0]->setText(QString::number(first));
        form.Text1[1]->setText(QString::number(last));
        form.PushButton1->click();
    };
}

QStringList generatedSubjects(int first, int last) {
    QStringList subjects;
    for (int i = first; i <= last; ++i)
        subjects.append(QStringLiteral("Generated message %1").arg(i));
    return subjects;
}

void verifyIdle(Form1& window) {
    QCOMPARE(window.PushButton10->text(), QStringLiteral("2a. Get All Emails"));
    QCOMPARE(window.PushButton2->text(), QStringLiteral("2b. Get Some Emails"));
    QVERIFY(!window.PushButton2->isHidden());
    QVERIFY(!window.oMail);
    QCOMPARE(window.statusText(), QStringLiteral("Progress Bar"));
    QVERIFY(window.ProgressBar1->updatesEnabled()); // painted again as soon as it changes
    QCOMPARE(window.mousePointer(), MousePointer::Default);
}

} // namespace

// Get All and Get Some against the test server. Its folders: Inbox holds five mixed messages,
// Sent ten generated ones, Junk sixty generated ones, Deleted none.
class TestRetrieval : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { prompter.clear(); }

    void getAllListsTheFolderInOrder();
    void getSomeListsTheChosenRange();
    void eachRunLogsInThroughANewSession();
    void emptyFolderShowsOneBox();
    void cancellingTheRangeKeepsTheList();
    void stopDuringGetSomeKeepsTheRowsSoFar();
    void progressShowsTheRangeBeingRead();
    void notConnected();

private:
    QTemporaryDir settings;
    QTemporaryDir seed;
    std::unique_ptr<MailServer> server;
    ServerLogin login;
    ScriptedPrompter prompter;
};

void TestRetrieval::initTestCase() {
    const QString data = QStringLiteral(QUENTARIL_TEST_DATA "/mailbox/INBOX");
    QVERIFY(QDir().mkpath(seed.filePath(QStringLiteral("INBOX"))));
    for (const QString& name : QDir(data).entryList(QDir::Files))
        QVERIFY(QFile::copy(data + u'/' + name, seed.filePath(QStringLiteral("INBOX/") + name)));
    QVERIFY(QDir().mkpath(seed.filePath(QStringLiteral("Deleted"))));
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("Sent")), 10));
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("Junk")), 60));
    server = std::make_unique<MailServer>(MailServer::Options{seed.path()});
    QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    login = loginOf(*server);
    useServer(login, settings.path());
}

void TestRetrieval::getAllListsTheFolderInOrder() {
    auto window = connectedWindow(login, prompter);
    QCOMPARE(window->PushButton5->text(), QStringLiteral("Disconnect"));
    window->Option3->setChecked(true);
    window->PushButton10_Click();

    QCOMPARE(prompter.texts(), QStringList{done});
    QCOMPARE(columnTexts(*window, 4),
             (QStringList{"Lunch on Friday", QString::fromUtf8("Report Übersicht"), "Third",
                          "Message 4", "Message 5"}));
    QCOMPARE(columnTexts(*window, 3),
             (QStringList{"alice@example.test", "bjorn@example.test", "carol@example.test",
                          "dan@example.test", "dan@example.test"}));
    QCOMPARE(columnTexts(*window, 2).first(), QStringLiteral("Alice Example"));
    QCOMPARE(columnTexts(*window, 5).first(), QStringLiteral("3/3/2026 10:15:30 AM"));
    QCOMPARE(columnTexts(*window, 6), (QStringList{"46084", "46086", "46086", "46087", "46087"}));
    for (int position = 1; position <= 5; ++position) {
        const StoredRecord& record = messageRecords().at(position);
        QCOMPARE(record.From, window->ListView1->list().text(position, 1));
        QCOMPARE(record.Subject, window->ListView1->list().text(position, 4));
    }
    QVERIFY(messageRecords().plainTextBody(1).contains(QStringLiteral("meet at noon")));
    QCOMPARE(window->Label1->text(), QStringLiteral("Total Number Of Emails: 5"));
    QCOMPARE(window->Label2->text(), QStringLiteral("Selected Emails: 0"));
    verifyIdle(*window);
    QCOMPARE(window->PushButton5->text(), QStringLiteral("Disconnect"));
}

void TestRetrieval::getSomeListsTheChosenRange() {
    auto window = connectedWindow(login, prompter);
    window->Option6->setChecked(true);
    prompter.dialogDrivers.enqueue(range(3, 7));
    window->PushButton2_Click();

    QCOMPARE(prompter.texts(), QStringList{done});
    QCOMPARE(columnTexts(*window, 4), generatedSubjects(3, 7));
    QCOMPARE(columnTexts(*window, 3).first(), QStringLiteral("sender3@example.test"));
    QCOMPARE(messageRecords().size(), 7);
    QCOMPARE(window->Label1->text(), QStringLiteral("Total Number Of Emails: 5"));
    verifyIdle(*window);
}

void TestRetrieval::eachRunLogsInThroughANewSession() {
    auto window = connectedWindow(login, prompter);
    window->Option6->setChecked(true);
    const std::weak_ptr<clsMailIMAP> connected = window->oMail;
    window->PushButton10_Click();
    QVERIFY(connected.expired()); // the run released the session of the connect command
    window->PushButton10_Click(); // so this one must log in through a session of its own

    QCOMPARE(prompter.texts(), (QStringList{done, done}));
    QCOMPARE(columnTexts(*window, 4), generatedSubjects(1, 10));
}

void TestRetrieval::emptyFolderShowsOneBox() {
    auto window = connectedWindow(login, prompter);
    window->Option9->setChecked(true);
    window->PushButton10_Click();
    QCOMPARE(prompter.texts(), QStringList{emptyFolder});
    verifyIdle(*window);

    window = connectedWindow(login, prompter);
    window->Option9->setChecked(true);
    window->PushButton2_Click();
    QCOMPARE(prompter.texts(), QStringList{emptyFolder});
    verifyIdle(*window);
}

void TestRetrieval::cancellingTheRangeKeepsTheList() {
    auto window = connectedWindow(login, prompter);
    window->Option3->setChecked(true);
    window->PushButton10_Click();
    QCOMPARE(window->ListView1->list().count(), 5);
    window->ListView1->list().setChecked(2, true);
    window->UpdateCounters(false);
    prompter.clear();

    window->PushButton2_Click(); // no driver: the dialog is closed without Continue
    QVERIFY(prompter.boxes.isEmpty());
    QCOMPARE(columnTexts(*window, 4).size(), 5);
    QVERIFY(window->ListView1->list().isChecked(2));
    QVERIFY(!RangeAccepted);
    QCOMPARE(window->Label1->text(), QStringLiteral("Total Number Of Emails: 5"));
    QCOMPARE(window->Label2->text(), QStringLiteral("Selected Emails: 1"));
    QCOMPARE(messageRecords().at(5).Subject, QStringLiteral("Message 5"));
    verifyIdle(*window);
}

void TestRetrieval::stopDuringGetSomeKeepsTheRowsSoFar() {
    auto window = connectedWindow(login, prompter);
    window->Option7->setChecked(true);
    prompter.dialogDrivers.enqueue(range(1, 60));
    bool captionsFixed = false;
    // Runs right after the window's own handler of each listed message.
    connect(window->oMail.get(), &clsMailIMAP::MailExtractListing, this, [&] {
        if (window->ListView1->list().count() != 3)
            return;
        window->PushButton10->click(); // Stop
        captionsFixed = window->PushButton10->text() == QStringLiteral("2a. Get All Emails") &&
                        window->PushButton2->text() == QStringLiteral("2b. Get Some Emails") &&
                        !window->PushButton2->isHidden();
    });
    window->PushButton2_Click();

    QVERIFY(captionsFixed);
    QCOMPARE(columnTexts(*window, 4), generatedSubjects(1, 3));
    QCOMPARE(prompter.texts(), QStringList{done});
    QCOMPARE(window->Label1->text(), QStringLiteral("Total Number Of Emails: 3"));
    verifyIdle(*window);
}

void TestRetrieval::progressShowsTheRangeBeingRead() {
    auto window = connectedWindow(login, prompter);
    window->Option7->setChecked(true);
    prompter.dialogDrivers.enqueue(range(50, 60));
    QStringList texts;
    const auto record = [&] {
        const QString text = window->statusText();
        if (text.startsWith(QStringLiteral("Reading")) && (texts.isEmpty() || texts.last() != text))
            texts.append(text);
    };
    connect(window->oMail.get(), &clsMailIMAP::ScrapProgress, this, record);
    connect(window->oMail.get(), &clsMailIMAP::MailExtractListing, this, record);
    window->PushButton2_Click();

    QVERIFY(!texts.isEmpty());
    QCOMPARE(texts.first(), QStringLiteral("Reading mail 50 of 60"));
    QCOMPARE(texts.last(), QStringLiteral("Reading mail 60 of 60"));
    QCOMPARE(columnTexts(*window, 4), generatedSubjects(50, 60));
}

void TestRetrieval::notConnected() {
    const auto window = loadedWindow();
    prompter.clear();
    window->PushButton10_Click();
    window->PushButton2_Click();
    const QString first =
        QStringLiteral("Please connect first (Step 1) before using this feature.");
    QCOMPARE(prompter.texts(), (QStringList{first, first}));
    QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
}

QTEST_MAIN(TestRetrieval)
#include "tst_retrieval.moc"
