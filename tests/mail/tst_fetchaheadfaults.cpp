// Fetching ahead against a scripted server playing what a real one will not: throttle answers,
// a refused range, a slow link, a server that stops answering.
#include "FileContents.h"
#include "ScriptedImapServer.h"
#include "ScriptedMessages.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/clsMailIMAP.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

namespace {

constexpr int messageCount = 6;

const QByteArray messageDate = "Mon, 4 Dec 2023 10:00:00 +0000";

// Logs in, opens a folder of messageCount messages and answers NOOP; FETCH goes to fetch, which
// answers the bytes to send after the messages' data, "" for no answer at all.
ScriptedImapServer::Script
script(std::function<QByteArray(const QByteArray& tag, const QByteArray& command)> fetch) {
    return [fetch](const QByteArray& tag, const QByteArray& command) -> QByteArray {
        if (!command.startsWith("FETCH ")) {
            const QByteArray data = command.startsWith("EXAMINE")
                                        ? "* " + QByteArray::number(messageCount) + " EXISTS\r\n"
                                        : QByteArray();
            return data + tag + " OK done\r\n";
        }
        return fetch(tag, command);
    };
}

// The data of every message of the set in "FETCH first:last (...)", then OK.
QByteArray served(const QByteArray& tag, const QByteArray& command) {
    const auto [first, last] = fetchSet(command);
    return fetchedMessages(first, last, messageDate) + tag + " OK Fetch completed\r\n";
}

struct Run {
    QStringList events; // id and the seven texts of each event
    QStringList log;    // the error-log entries without their time
};

QString subjectOf(const std::unique_ptr<EmailObject>& email) {
    return email ? email->Subject : QStringLiteral("(none)");
}

} // namespace

class TestFetchAheadFaults : public QObject {
    Q_OBJECT

    QTemporaryDir logDir;

    static void open(EtpanMailImap& imap, const ScriptedImapServer& server) {
        imap.setSSL(false);
        imap.setPort(server.port());
        QCOMPARE(imap.Connect(QStringLiteral("127.0.0.1")), 1);
        QCOMPARE(imap.Login(QStringLiteral("user"), QStringLiteral("secret")), 1);
        QCOMPARE(imap.SelectMailbox(QStringLiteral("INBOX")), 1);
    }

    // Lists the whole folder through a session, as the window does.
    Run list(const ScriptedImapServer& server, bool fetchAhead) {
        EtpanMailImap imap;
        imap.setFetchAhead(fetchAhead);
        auto session = std::make_shared<clsMailIMAP>();
        session->MailIMAPObject = &imap;
        session->SSL = false;
        session->PORT = server.port();
        session->IMAPServer = QStringLiteral("127.0.0.1");
        session->Username = QStringLiteral("user");
        session->Password = QStringLiteral("secret");
        Run run;
        connect(session.get(), &clsMailIMAP::MailExtractListing, this,
                [&run](const QString& from, const QString& name, const QString& address,
                       const QString& subject, const QString& date, const QString& plain,
                       const QString& html, qint32 id) {
                    run.events.append(QStringList{QString::number(id), subject, from, name, address,
                                                  date, plain, html}
                                          .join(QLatin1Char(' ')));
                });
        QFile::remove(ErrorLog::filePath());
        session->CurrentLocation = 1;
        session->MaxRecord = messageCount;
        session->StartMailExtraction(QStringLiteral("INBOX"));
        for (const QString& entry : errorLogText().split(QLatin1Char('*'), Qt::SkipEmptyParts))
            if (!entry.trimmed().isEmpty())
                run.log.append(entry.section(QStringLiteral(" : "), 1, -1).trimmed());
        return run;
    }

private slots:
    void initTestCase() { ErrorLog::setFolder(logDir.path()); }
    void cleanupTestCase() { ErrorLog::setFolder(QString()); }

    void throttleAnswersAreWaitedOut_data() {
        QTest::addColumn<bool>("fetchAhead");
        QTest::newRow("fetching ahead") << true;
        QTest::newRow("one message at a time") << false;
    }
    // Each FETCH is refused twice, with NO and then BAD, before the server serves it.
    void throttleAnswersAreWaitedOut() {
        QFETCH(bool, fetchAhead);
        QHash<QByteArray, int> attempts;
        ScriptedImapServer server(
            script([&attempts](const QByteArray& tag, const QByteArray& command) {
                const int attempt = ++attempts[command];
                if (attempt < 3)
                    return tag + (attempt == 1 ? " NO" : " BAD") +
                           " Request is throttled. Suggested Backoff Time: 30 ms\r\n";
                return served(tag, command);
            }));
        const Run run = list(server, fetchAhead);

        QCOMPARE(run.events.size(), messageCount);
        for (int n = 1; n <= messageCount; ++n)
            QVERIFY(run.events.value(n - 1).startsWith(QStringLiteral("%1 Message %1 ").arg(n)));
        QCOMPARE(run.log, QStringList(messageCount, QString()));
        for (auto i = attempts.cbegin(); i != attempts.cend(); ++i)
            QVERIFY2(i.value() == 3, i.key().constData());
    }

    // A range the server refuses at message 3, after sending the messages before it: every other
    // message of the range is still listed, and message 3 fails with the server's own words.
    void refusedRangeListsWhatOneAtATimeLists() {
        ScriptedImapServer server(script([](const QByteArray& tag, const QByteArray& command) {
            const auto [first, last] = fetchSet(command);
            if (first > 3 || last < 3)
                return served(tag, command);
            return fetchedMessages(first, 2, messageDate) + tag +
                   " NO [UNAVAILABLE] message 3 cannot be read\r\n";
        }));
        const Run alone = list(server, false);
        const Run ahead = list(server, true);

        QCOMPARE(alone.events.size(), messageCount - 1);
        QVERIFY(alone.log.contains(
            QStringLiteral("FETCH 3 failed, server replied: message 3 cannot be read")));
        QCOMPARE(ahead.events, alone.events);
        QCOMPARE(ahead.log, alone.log);
    }

    // Stop while the message asked for is on its way over a slow link: it still arrives, nothing
    // more is asked for, and the connection stays in step for the next command.
    void abortWhileWaitingLetsTheMessageArrive() {
        ScriptedImapServer server(script([](const QByteArray& tag, const QByteArray& command) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return served(tag, command);
        }));
        EtpanMailImap imap;
        open(imap, server);
        const auto stop =
            connect(&imap, &MailImap::AbortCheck, this, [](qint32& abort) { abort = 1; });
        imap.setFetchWindow(1, messageCount);
        QCOMPARE(subjectOf(imap.FetchMessage(1, 0)), QStringLiteral("Message 1"));
        disconnect(stop);
        imap.setFetchWindow(1, 0);

        const QString answer = imap.SendRawCommand(QStringLiteral("NOOP"));
        QVERIFY2(answer.contains(QLatin1String("OK done")) &&
                     !answer.contains(QLatin1String("FETCH")),
                 qPrintable(answer));
        QCOMPARE(subjectOf(imap.FetchMessage(4, 0)), QStringLiteral("Message 4"));
        const QList<QByteArray> commands = server.commands();
        QCOMPARE(commands.value(commands.size() - 2).trimmed(), QByteArray("NOOP"));
    }

    // A server that never answers: after the grace an abort cancels the wait, as it cancels any
    // other call, and the message counts as not fetched.
    void abortCancelsTheWaitForASilentServer() {
        ScriptedImapServer server(
            script([](const QByteArray&, const QByteArray&) { return QByteArray(); }));
        EtpanMailImap imap;
        open(imap, server);
        connect(&imap, &MailImap::AbortCheck, this, [](qint32& abort) { abort = 1; });
        imap.setFetchWindow(1, messageCount);
        QVERIFY(!imap.FetchMessage(1, 0));
        QVERIFY2(imap.LastErrorText().startsWith(QLatin1String("FETCH 1 failed: cancelled")),
                 qPrintable(imap.LastErrorText()));
        QVERIFY(!imap.FetchMessage(2, 0));
    }
};

QTEST_GUILESS_MAIN(TestFetchAheadFaults)
#include "tst_fetchaheadfaults.moc"
