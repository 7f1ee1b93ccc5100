// The mail session against a real Dovecot on loopback.
#include "FileContents.h"
#include "MailServer.h"
#include "ScriptedPrompter.h"
#include "base/Conversions.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/MimeParser.h"
#include "mail/clsMailIMAP.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString invalidLogin =
    QStringLiteral("Invalid login. Please double-check your username and password.");

struct Listing {
    QList<QStringList> texts;
    QList<qint32> ids;
    int plainInUtf8 = 0; // messages whose plain body came in UTF-8
};

} // namespace

class TestSession : public QObject {
    Q_OBJECT

    MailServer* server = nullptr;
    EtpanMailImap* component = nullptr;
    QTemporaryDir logDir;

    // A session on component, logging in to on as its user (with password if one is given).
    static std::shared_ptr<clsMailIMAP> sessionOn(const MailServer& on, MailImap* component,
                                                  const QString& password = {}) {
        auto session = std::make_shared<clsMailIMAP>();
        session->MailIMAPObject = component;
        session->SSL = true;
        session->PORT = on.port();
        session->IMAPServer = on.host();
        session->Username = on.user();
        session->Password = password.isNull() ? on.password() : password;
        return session;
    }
    std::shared_ptr<clsMailIMAP> newSession(const QString& password = {}) {
        return sessionOn(*server, component, password);
    }

    // A plain body that comes in UTF-8 is recorded as its text.
    static void record(clsMailIMAP& session, Listing& listing) {
        QObject::connect(
            &session, &clsMailIMAP::MailExtractListing, &session,
            [&listing, &session](const QString& from, const QString& name, const QString& address,
                                 const QString& subject, const QString& date, const QString& plain,
                                 const QString& html, qint32 id) {
                const QByteArray& utf8 = session.ListedPlainTextUtf8();
                listing.plainInUtf8 += utf8.isEmpty() ? 0 : 1;
                listing.texts.append({from, name, address, subject, date,
                                      utf8.isEmpty() ? plain : QString::fromUtf8(utf8), html});
                listing.ids.append(id);
            });
    }

private slots:
    void initTestCase() {
        server = new MailServer;
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        component = new EtpanMailImap;
        component->setTrustedCertificates(server->caFile());
        ErrorLog::setFolder(logDir.path());
    }
    void cleanupTestCase() {
        delete component;
        delete server;
        ErrorLog::setFolder(QString());
    }
    void init() { QFile::remove(ErrorLog::filePath()); }

    void connectsAndCountsEveryFolder() {
        ScriptedPrompter prompts;
        auto session = newSession();
        QVERIFY(session->Connect());
        QCOMPARE(session->MailImap1, component);
        QCOMPARE(session->GetTotalMessage(QStringLiteral("Inbox")), 5);
        QCOMPARE(session->GetTotalMessage(QStringLiteral("Drafts")), 1);
        QCOMPARE(session->GetTotalMessage(QStringLiteral("Sent")), 2);
        QCOMPARE(session->GetTotalMessage(QStringLiteral("Junk")), 1);
        QCOMPARE(session->GetTotalMessage(QStringLiteral("Deleted")), 0);
        QVERIFY(prompts.boxes.isEmpty());

        // A folder the server does not have is named in one box with the server's answer.
        QCOMPARE(session->GetTotalMessage(QStringLiteral("Archive")), -1);
        QCOMPARE(prompts.texts().size(), 1);
        QVERIFY(prompts.texts()[0].startsWith(QLatin1String("The folder \"Archive\"")));
        QVERIFY(prompts.texts()[0].contains(QLatin1String("EXAMINE Archive failed")));

        const auto folders = session->EnumMailFolders();
        QVERIFY(folders);
        QStringList sorted = *folders;
        sorted.sort();
        QCOMPARE(sorted, (QStringList{"Deleted", "Drafts", "INBOX", "Junk", "Sent"}));
    }

    void wrongPasswordShowsOneBox() {
        ScriptedPrompter prompts;
        auto session = newSession(QStringLiteral("not the password"));
        QVERIFY(!session->Connect());
        QCOMPARE(prompts.texts(), QStringList{invalidLogin});
        QCOMPARE(prompts.boxes[0].icon, BoxIcon::None);
        QVERIFY(prompts.boxes[0].detail.startsWith(QLatin1String("LOGIN failed, server replied:")));
    }

    void listingFailsWithTwoBoxesOnAWrongPassword() {
        ScriptedPrompter prompts;
        auto session = newSession(QStringLiteral("not the password"));
        Listing listing;
        record(*session, listing);
        session->CurrentLocation = 1;
        session->MaxRecord = 5;
        session->StartMailExtraction(QStringLiteral("Inbox"));
        QCOMPARE(prompts.texts(),
                 (QStringList{invalidLogin,
                              QStringLiteral("Connection failed. Check username and password.")}));
        QVERIFY(listing.ids.isEmpty());
    }

    void accountWithOnlyAnInboxIsNoFailure() {
        MailServer::Options options;
        options.seedDir = QStringLiteral(QUENTARIL_TEST_DATA "/mailbox-inbox-only");
        MailServer small(options);
        QVERIFY2(small.isRunning(), qPrintable(small.errorText()));
        ScriptedPrompter prompts;
        EtpanMailImap imap;
        imap.setTrustedCertificates(small.caFile());
        clsMailIMAP session;
        session.MailIMAPObject = &imap;
        session.SSL = true;
        session.PORT = small.port();
        session.IMAPServer = small.host();
        session.Username = small.user();
        session.Password = small.password();
        QVERIFY(session.Connect());
        QCOMPARE(session.EnumMailFolders(), std::optional<QStringList>(QStringList{"INBOX"}));
        QVERIFY(prompts.boxes.isEmpty());
    }

    void listsTheSevenTextsAndLeavesTheMailboxAlone() {
        const QStringList flagsBefore = server->flags(QStringLiteral("INBOX"));
        QCOMPARE(flagsBefore.size(), 5);

        ScriptedPrompter prompts;
        auto session = newSession();
        Listing listing;
        record(*session, listing);
        QSignalSpy progress(session.get(), &clsMailIMAP::ScrapProgress);
        session->CurrentLocation = 1;
        session->MaxRecord = 2;
        session->StartMailExtraction(QStringLiteral("Inbox"));

        QVERIFY(prompts.boxes.isEmpty());
        QCOMPARE(listing.ids, (QList<qint32>{1, 2}));
        QCOMPARE(session->CurrentLocation, 2);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(listing.texts[0],
                 (QStringList{"Alice Example <alice@example.test>", "Alice Example",
                              "alice@example.test", "Lunch on Friday", "3/3/2026 10:15:30 AM",
                              "Shall we meet at noon?\r\nAlice\r\n", ""}));
        QCOMPARE(listing.texts[1],
                 (QStringList{QStringLiteral("Björn Näsström <bjorn@example.test>"),
                              QStringLiteral("Björn Näsström"), "bjorn@example.test",
                              QStringLiteral("Report Übersicht"), "3/4/2026 5:00:00 PM",
                              QStringLiteral("See the Übersicht."),
                              QStringLiteral("<p>See the <b>Übersicht</b>.</p>")}));

        QCOMPARE(server->flags(QStringLiteral("INBOX")), flagsBefore);
        QVERIFY(!flagsBefore.join(' ').contains(QLatin1String("\\Seen")));

        const QList<QByteArray> lines = fileContents(ErrorLog::filePath()).split('\n');
        QCOMPARE(lines.size(), 5); // two entries and the empty rest after the last line end
        QVERIFY(lines[0].endsWith(" : \r"));
        QCOMPARE(lines[1], QByteArray(52, '*') + '\r');
    }

    // Every message of the MIME corpus, listed through the server, gives the texts its file
    // parses to; a message without a usable date is dated by the server's arrival time. So does
    // a message whose plain body is large enough to be read in UTF-8, and whose bytes are taken
    // over from libetpan a stretch at a time; and so do they for a listener that takes every
    // plain body in UTF-8.
    void listsTheCorpusAsItParses_data() {
        QTest::addColumn<bool>("inUtf8");
        QTest::newRow("plain bodies as text") << false;
        QTest::newRow("plain bodies in UTF-8") << true;
    }
    void listsTheCorpusAsItParses() {
        QFETCH(bool, inUtf8);
        QTemporaryDir seed;
        const QDir corpus(QStringLiteral(QUENTARIL_TEST_DATA "/mime"));
        QStringList files = corpus.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
        QVERIFY(QDir(seed.path()).mkpath(QStringLiteral("INBOX")));
        for (const QString& file : files)
            QVERIFY(QFile::copy(corpus.filePath(file), seed.filePath("INBOX/" + file)));
        const QString large = QStringLiteral("zz-large-plain-body.eml");
        QFile largeFile(seed.filePath("INBOX/" + large));
        QVERIFY(largeFile.open(QIODevice::WriteOnly));
        largeFile.write("From: amy@example.test\r\nSubject: large\r\n"
                        "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
                        QByteArray("Zeile \xc3\xbc\r\n").repeated(2000000));
        largeFile.close();
        files.append(large);
        MailServer::Options options;
        options.seedDir = seed.path();
        const QDateTime seededAfter = QDateTime::currentDateTime().addSecs(-2);
        MailServer corpusServer(options);
        QVERIFY2(corpusServer.isRunning(), qPrintable(corpusServer.errorText()));
        EtpanMailImap corpusComponent;
        corpusComponent.setTrustedCertificates(corpusServer.caFile());
        auto session = sessionOn(corpusServer, &corpusComponent);

        session->SetPlainBodiesInUtf8(inUtf8);
        Listing listing;
        record(*session, listing);
        session->CurrentLocation = 1;
        session->MaxRecord = qint32(files.size());
        session->StartMailExtraction(QStringLiteral("INBOX"));
        QCOMPARE(listing.texts.size(), files.size());
        QVERIFY(inUtf8 ? listing.plainInUtf8 > files.size() / 2 : listing.plainInUtf8 == 0);
        const QString log = QString::fromLocal8Bit(fileContents(ErrorLog::filePath()));

        for (qsizetype i = 0; i < files.size(); ++i) {
            const EmailObject parsed =
                parseEmail(fileContents(seed.filePath("INBOX/" + files[i])), {});
            // What stood in for the message's date is told in the entry of its fetch.
            if (!parsed.ReadingNote.isEmpty())
                QVERIFY2(
                    log.contains(
                        QStringLiteral(" : FETCH %1: %2\r\n").arg(i + 1).arg(parsed.ReadingNote)),
                    qPrintable(files[i]));
            const QStringList& listed = listing.texts[i];
            QCOMPARE(listed[0], parsed.From);
            QCOMPARE(listed[1], parsed.FromName);
            QCOMPARE(listed[2], parsed.FromAddress);
            QCOMPARE(listed[3], parsed.Subject);
            if (parsed.Date.isValid()) {
                QCOMPARE(listed[4], Conversions::dateTimeText(parsed.Date.toLocalTime()));
            } else {
                const QDateTime arrived = Conversions::readDateTimeText(listed[4]);
                QVERIFY2(arrived >= seededAfter && arrived <= QDateTime::currentDateTime(),
                         qPrintable(files[i] + ": " + listed[4]));
            }
            QCOMPARE(listed[5], parsed.PlainTextUtf8.isEmpty()
                                    ? parsed.PlainTextBody
                                    : QString::fromUtf8(parsed.PlainTextUtf8));
            QCOMPARE(listed[6], parsed.HTMLTextBody);
        }
    }

    void emptyRangeFetchesNothing() {
        ScriptedPrompter prompts;
        auto session = newSession();
        Listing listing;
        record(*session, listing);
        session->CurrentLocation = 3;
        session->MaxRecord = 2;
        session->StartMailExtraction(QStringLiteral("Inbox"));
        QVERIFY(listing.ids.isEmpty());
        QVERIFY(prompts.boxes.isEmpty());
        QCOMPARE(session->CurrentLocation, 3);
        QVERIFY(!QFile::exists(ErrorLog::filePath()));
    }

    void abortBeforeTheRunGivesNoEvent() {
        ScriptedPrompter prompts;
        auto session = newSession();
        Listing listing;
        record(*session, listing);
        session->AbortProcess = true;
        session->CurrentLocation = 1;
        session->MaxRecord = 5;
        session->StartMailExtraction(QStringLiteral("Inbox"));
        QVERIFY(listing.ids.isEmpty());
    }

    void stopEndsTheRunAfterTheNextFetchedMessage() {
        ScriptedPrompter prompts;
        auto session = newSession();
        Listing listing;
        record(*session, listing);
        // A Stop click handled while the second message is being shown.
        connect(session.get(), &clsMailIMAP::MailExtractListing, this,
                [&session](const QString&, const QString&, const QString&, const QString&,
                           const QString&, const QString&, const QString&, qint32 id) {
                    if (id == 2)
                        session->AbortProcess = true;
                });
        session->CurrentLocation = 1;
        session->MaxRecord = 5;
        session->StartMailExtraction(QStringLiteral("Inbox"));
        QCOMPARE(listing.ids, (QList<qint32>{1, 2}));
        QCOMPARE(session->CurrentLocation, 3);
        QCOMPARE(fileContents(ErrorLog::filePath()).count('\n'), 6);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
