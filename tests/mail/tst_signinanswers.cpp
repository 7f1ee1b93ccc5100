// What other IMAP servers answer at sign-in and how they name their folders: the identification
// command as servers that do not take it answer it, and the folder each of the window's five
// options finds in folder lists laid out as those servers lay them out.
#include "FileContents.h"
#include "ScriptedImapServer.h"
#include "ScriptedPrompter.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/FolderResolver.h"
#include "mail/clsMailIMAP.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray identification = "ID (\"GUID\" \"1\")";

MailboxEntry folder(const QString& name, const QStringList& attributes = {}) {
    return MailboxEntry{name, QLatin1Char('.'), attributes};
}

} // namespace

class TestSignInAnswers : public QObject {
    Q_OBJECT

    QTemporaryDir logDir;

private slots:
    void initTestCase() { ErrorLog::setFolder(logDir.path()); }
    void cleanupTestCase() { ErrorLog::setFolder(QString()); }
    void init() { QFile::remove(ErrorLog::filePath()); }

    void identificationAnswers_data() {
        QTest::addColumn<QByteArray>("idAnswer"); // after the tag; "" hangs up
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("logged"); // what the error log keeps of the answer

        QTest::newRow("accepted") << QByteArray(" OK ID completed.\r\n") << true << QString();
        QTest::newRow("refused, as a server without ID does")
            << QByteArray(" NO Error in IMAP command received by server.\r\n") << true
            << QStringLiteral("ID refused, server replied: Error in IMAP command received by "
                              "server.");
        QTest::newRow("refused for anything after the parenthesis, as a strict server does")
            << QByteArray("strict") << true << QString();
        QTest::newRow("no answer") << QByteArray() << false << QString();
    }
    // Only a connection that gives no answer fails the sign-in; the command on the wire is
    // exactly the 15 characters and the line end.
    void identificationAnswers() {
        QFETCH(QByteArray, idAnswer);
        QFETCH(bool, signedIn);
        QFETCH(QString, logged);
        ScriptedImapServer server([idAnswer](const QByteArray& tag,
                                             const QByteArray& command) -> QByteArray {
            if (command.startsWith("ID")) {
                if (idAnswer.isEmpty())
                    return ScriptedImapServer::hangUp();
                if (idAnswer == "strict")
                    return tag + (command == identification
                                      ? QByteArray(" OK Completed\r\n")
                                      : QByteArray(" BAD Unexpected extra arguments to Id\r\n"));
                return tag + idAnswer;
            }
            return tag + " OK done\r\n";
        });
        ScriptedPrompter prompter;
        EtpanMailImap imap;
        clsMailIMAP session;
        session.MailIMAPObject = &imap;
        session.PORT = server.port();
        session.IMAPServer = QStringLiteral("127.0.0.1");
        session.Username = QStringLiteral("someone@example.test");
        session.Password = QStringLiteral("secret");

        QCOMPARE(session.Connect(), signedIn);
        const QList<QByteArray> commands = server.commands();
        QCOMPARE(commands.value(0), identification);
        QCOMPARE(commands.size(), signedIn ? 2 : 1);
        QCOMPARE(prompter.texts().size(), signedIn ? 0 : 1);
        if (logged.isEmpty())
            QVERIFY(!QFile::exists(ErrorLog::filePath()));
        else
            QVERIFY(errorLogText().contains(logged));
    }

    void foldersAreFoundUnderOtherNames_data() {
        QTest::addColumn<FolderDirectory>("directory");
        QTest::addColumn<QStringList>("expected"); // for Inbox, Drafts, Sent, Junk, Deleted

        QTest::newRow("everything under INBOX., no special use")
            << FolderDirectory{QStringLiteral("INBOX."),
                               QLatin1Char('.'),
                               {folder(QStringLiteral("INBOX")),
                                folder(QStringLiteral("INBOX.Drafts")),
                                folder(QStringLiteral("INBOX.Sent")),
                                folder(QStringLiteral("INBOX.Spam")),
                                folder(QStringLiteral("INBOX.Trash"))}}
            << QStringList{"INBOX", "INBOX.Drafts", "INBOX.Sent", "INBOX.Spam", "INBOX.Trash"};
        QTest::newRow("special use before names")
            << FolderDirectory{QString(),
                               QLatin1Char('/'),
                               {folder(QStringLiteral("INBOX")),
                                folder(QStringLiteral("Entwürfe"), {"\\Drafts"}),
                                folder(QStringLiteral("Sent Items")),
                                folder(QStringLiteral("Gesendet"), {"\\HasNoChildren", "\\Sent"}),
                                folder(QStringLiteral("Spam")),
                                folder(QStringLiteral("Papierkorb"), {"\\Trash"})}}
            << QStringList{"INBOX", "Entwürfe", "Gesendet", "Spam", "Papierkorb"};
        QTest::newRow("usual names at the top, any case")
            << FolderDirectory{QString(),
                               QLatin1Char('/'),
                               {folder(QStringLiteral("inbox")),
                                folder(QStringLiteral("Sent Messages")),
                                folder(QStringLiteral("Junk E-mail")),
                                folder(QStringLiteral("deleted items"))}}
            << QStringList{"inbox", "", "Sent Messages", "Junk E-mail", "deleted items"};
        QTest::newRow("folders that cannot be opened are passed over")
            << FolderDirectory{QStringLiteral("INBOX"),
                               QLatin1Char('.'),
                               {folder(QStringLiteral("INBOX")),
                                folder(QStringLiteral("Trash"), {"\\Noselect", "\\Trash"}),
                                folder(QStringLiteral("INBOX.Trash")),
                                folder(QStringLiteral("Bulk Mail"), {"\\NonExistent"})}}
            << QStringList{"INBOX", "", "", "", "INBOX.Trash"};
    }
    void foldersAreFoundUnderOtherNames() {
        QFETCH(FolderDirectory, directory);
        QFETCH(QStringList, expected);
        const QStringList captions{"Inbox", "Drafts", "Sent", "Junk", "Deleted"};
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(FolderResolver::serverName(captions[i], directory), expected[i]);
    }
};

QTEST_GUILESS_MAIN(TestSignInAnswers)
#include "tst_signinanswers.moc"
