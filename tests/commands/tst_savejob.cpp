#include "../export/FixedClock.h"
#include "FileContents.h"
#include "RetrievalFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

namespace {

const QString crlf = QStringLiteral("\r\n");

// What a saved message says: its three header lines, an empty line and the plain-text body.
QString savedText(const QString& from, const QString& subject, const QString& date,
                  const QString& body) {
    return QStringLiteral("From: ") + from + crlf + QStringLiteral("Subject: ") + subject + crlf +
           QStringLiteral("Date: ") + date + crlf + crlf + body;
}

struct Saved {
    QString name;
    QString text;
};

// The messages the two searches check, as the server holds them: a Windows-1252 body, a Japanese
// subject and body in ISO-2022-JP, an HTML-only message and one with attachments around the body.
// The first message of the folder (German, RFC 2047 words) matches neither search.
const QList<Saved>& expectedMessages() {
    static const QList<Saved> messages{
        {QStringLiteral("1 - 2015-02-19 Price.txt"),
         savedText(QStringLiteral("Bob <bob@example.com>"), QStringLiteral("Price"),
                   QStringLiteral("2/20/2015 6:00:00 PM"),
                   QString::fromUtf8("“Ten” costs 10 € – ok\r\n"))},
        {QStringLiteral("2 - 2015-02-19 .txt"),
         savedText(QString::fromUtf8("山田太郎 <taro@example.jp>"), QString::fromUtf8("会議の件"),
                   QStringLiteral("2/23/2015 1:00:00 AM"),
                   QString::fromUtf8("明日の会議は十時からです。\r\n"))},
        {QStringLiteral("3 - 2015-02-19 Offer.txt"),
         savedText(QStringLiteral("Shop <shop@example.com>"), QStringLiteral("Offer"),
                   QStringLiteral("2/26/2015 7:00:00 AM"),
                   QStringLiteral("Dear customer,\r\nPrices & offers:\r\none\r\ntwo\r\nA\r\nB"))},
        {QStringLiteral("4 - 2015-02-19 Report attached.txt"),
         savedText(QStringLiteral("Ann <ann@example.com>"), QStringLiteral("Report attached"),
                   QStringLiteral("2/26/2015 7:00:00 AM"), QStringLiteral("The real body."))},
    };
    return messages;
}

} // namespace

// The main job against the test server, as a user does it: connect, Get All, two searches, and
// the download with either method; the saved bytes are what the messages on the server say.
class TestSaveJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void savesTheCheckedMessages_data();
    void savesTheCheckedMessages();

private:
    QTemporaryDir settings;
    QTemporaryDir seed;
    std::unique_ptr<MailServer> server;
    ServerLogin login;
    ScriptedPrompter prompter;
};

void TestSaveJob::initTestCase() {
    const QStringList corpus{"rfc2047-b-and-q-words.eml", "windows-1252-smart-quotes.eml",
                             "iso-2022-jp-subject-and-body.eml", "html-only.eml",
                             "multipart-mixed-attachment-before-body.eml"};
    QVERIFY(QDir().mkpath(seed.filePath(QStringLiteral("INBOX"))));
    for (int i = 0; i < corpus.size(); ++i)
        QVERIFY(QFile::copy(QStringLiteral(QUENTARIL_TEST_DATA "/mime/") + corpus[i],
                            seed.filePath(QStringLiteral("INBOX/%1-").arg(i + 1) + corpus[i])));
    server = std::make_unique<MailServer>(MailServer::Options{seed.path()});
    QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    login = loginOf(*server);
    useServer(login, settings.path());
}

void TestSaveJob::savesTheCheckedMessages_data() {
    QTest::addColumn<bool>("separateFiles");
    QTest::newRow("separate files") << true;
    QTest::newRow("one file") << false;
}

void TestSaveJob::savesTheCheckedMessages() {
    QFETCH(bool, separateFiles);
    const FixedClock clock(QDate(2015, 2, 19));
    QTemporaryDir output;
    auto window = connectedWindow(login, prompter);
    window->Option3->setChecked(true);
    window->PushButton10_Click();
    QCOMPARE(prompter.texts(), QStringList{"Done."});
    QCOMPARE(window->Label1->text(), QStringLiteral("Total Number Of Emails: 5"));

    prompter.clear();
    prompter.inputAnswers.enqueue(QStringLiteral("EXAMPLE.COM"));
    prompter.inputAnswers.enqueue(QString::fromUtf8("会議"));
    window->PushButton9->click();
    window->PushButton9->click();
    QCOMPARE(window->Label2->text(), QStringLiteral("Selected Emails: 4"));

    (separateFiles ? window->Option1 : window->Option2)->setChecked(true);
    window->Text3->setText(output.path());
    window->PushButton7->click();
    QCOMPARE(prompter.texts(), QStringList{"Done."});

    const QDir folder(output.path());
    if (separateFiles) {
        QStringList names;
        for (const Saved& message : expectedMessages())
            names.append(message.name);
        QCOMPARE(folder.entryList(QDir::Files, QDir::Name), names);
        for (const Saved& message : expectedMessages())
            QCOMPARE(fileContents(folder.filePath(message.name)), message.text.toUtf8());
    } else {
        QString text;
        for (const Saved& message : expectedMessages())
            text += message.text + crlf + crlf + QString(58, u'=') + crlf + crlf;
        QCOMPARE(folder.entryList(QDir::Files), QStringList{"Emails.txt"});
        QCOMPARE(fileContents(folder.filePath(QStringLiteral("Emails.txt"))), text.toUtf8());
    }
}

QTEST_MAIN(TestSaveJob)
#include "tst_savejob.moc"
