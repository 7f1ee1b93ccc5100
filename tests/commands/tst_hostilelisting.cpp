// Get All against a scripted server that misbehaves: an impossible message count, data nobody
// asked for, fetches that all fail, a connection that breaks, a server that throttles for ever,
// a greeting that drips. Every run ends, and says truthfully how.
#include "PlainMailImap.h"
#include "ScriptedImapServer.h"
#include "ScriptedMessages.h"
#include "ScriptedPrompter.h"
#include "TemporarySettings.h"
#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "list/MessageListModel.h"
#include "list/MessageListView.h"
#include "mail/ErrorLog.h"
#include "mail/clsMailIMAP.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <thread>

namespace {

// What the unrequested data may add to the peak resident size. AddressSanitizer keeps up to
// 256 MB of freed memory in quarantine, which counts as resident too.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 unrequestedDataBoundKb = (120 + 256) * 1024;
#else
constexpr qint64 unrequestedDataBoundKb = 120 * 1024;
#endif

enum class Fault {
    CountBeyond32Bits,
    CountLibetpanWraps,
    CountFarAboveTheMessages,
    UnrequestedData,
    StopWhileFetchesFail,
    DisconnectWhileFetchesFail,
    ConnectionLost,
    Bye,
    ThrottledForEver,
    OneMessageRefused,
    StopWhileSigningIn,
    GreetingDrips,
    ByeGreeting,
    SecondLoginRefused,
    ErrorLogUnwritable,
};

QByteArray served(const QByteArray& tag, const QByteArray& command, qint64 existing) {
    const auto [first, last] = fetchSet(command);
    return fetchedMessages(first, qMin(last, existing)) + tag + " OK Fetch completed\r\n";
}

qint64 peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The server's EXISTS and its answer to FETCH for each fault; other commands are answered OK.
ScriptedImapServer::Script scriptFor(Fault fault) {
    QByteArray exists = "5";
    if (fault == Fault::CountBeyond32Bits)
        exists = "4294967295";
    else if (fault == Fault::CountLibetpanWraps)
        exists = "99999999999";
    else if (fault == Fault::CountFarAboveTheMessages)
        exists = "2147483647";
    else if (fault == Fault::StopWhileFetchesFail || fault == Fault::DisconnectWhileFetchesFail)
        exists = "100000";
    else if (fault == Fault::UnrequestedData)
        exists = "30";
    auto logins = std::make_shared<int>(0);
    return [fault, exists, logins](const QByteArray& tag, const QByteArray& command) -> QByteArray {
        if (command.startsWith("LOGIN") && fault == Fault::StopWhileSigningIn)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        // The password was changed on the server after Connect.
        if (command.startsWith("LOGIN") && fault == Fault::SecondLoginRefused && ++*logins > 1)
            return tag + " NO [AUTHENTICATIONFAILED] Authentication failed.\r\n";
        if (command.startsWith("EXAMINE"))
            return "* " + exists + " EXISTS\r\n" + tag + " OK [READ-ONLY] done\r\n";
        if (!command.startsWith("FETCH"))
            return tag + " OK done\r\n";
        const auto [first, last] = fetchSet(command);
        switch (fault) {
        case Fault::CountFarAboveTheMessages:
            return served(tag, command, 3);
        case Fault::UnrequestedData: {
            // Ten messages of a megabyte, all unasked for, before the ones asked for.
            QByteArray out;
            for (int i = 1; i <= 10; ++i)
                out += ScriptedImapServer::fetchResponse(quint32(1000 * first + i),
                                                         numberedMessage(i) +
                                                             QByteArray(1024 * 1024, 'x') + "\r\n");
            return out + served(tag, command, 30);
        }
        case Fault::StopWhileFetchesFail:
        case Fault::DisconnectWhileFetchesFail:
            // Slowly enough that the click lands while the first messages fail.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return tag + " NO [UNAVAILABLE] cannot read\r\n";
        case Fault::ConnectionLost:
        case Fault::Bye: {
            const QByteArray out = fetchedMessages(first, qMin<qint64>(last, 2));
            if (last <= 2)
                return out + tag + " OK Fetch completed\r\n";
            return out + (fault == Fault::Bye ? "* BYE shutting down\r\n" : "") +
                   ScriptedImapServer::hangUp();
        }
        case Fault::ThrottledForEver:
            return tag + " NO Request is throttled. Suggested Backoff Time: 1 ms\r\n";
        case Fault::OneMessageRefused: {
            if (first == 3 && last == 3)
                return tag + " NO [UNAVAILABLE] message 3 cannot be read\r\n";
            QByteArray out;
            for (qint64 n = first; n <= qMin<qint64>(last, 5); ++n)
                if (n != 3)
                    out += fetchedMessages(n, n);
            return out + tag + " OK done\r\n";
        }
        default:
            return served(tag, command, 5);
        }
    };
}

int fetchCommands(const ScriptedImapServer& server) {
    int count = 0;
    for (const QByteArray& command : server.commands())
        count += command.startsWith("FETCH") ? 1 : 0;
    return count;
}

} // namespace

class TestHostileListing : public QObject {
    Q_OBJECT

    TemporarySettings settings;
    ScriptedPrompter prompter;

private slots:
    void initTestCase() { ErrorLog::setFolder(settings.path()); }
    void cleanupTestCase() {
        ErrorLog::setFolder(QString());
        clsMailIMAP::setConnectDeadline(std::chrono::seconds(60));
    }

    void runEndsTruthfully_data();
    void runEndsTruthfully();
};

void TestHostileListing::runEndsTruthfully_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("boxes"); // a pattern per box shown, text then " | " detail
    QTest::addColumn<int>("maxFetches");    // FETCH commands the server may see

    // A run stopped while every fetch fails ends at once, as any stopped run, with "Done." and
    // the count of messages it skipped before the stop, if any.
    const QString skippedWhenStopped = QStringLiteral(
        "^Done\\.( (1 message could not be fetched and was|\\d+ messages could not be fetched and "
        "were) skipped\\.)? \\| $");
    const QString impossible = QStringLiteral(
        "^The server announced an impossible number of messages in the folder \"Inbox\"\\. "
        "Nothing was listed\\. \\| $");
    QTest::newRow("count beyond 32 bits")
        << Fault::CountBeyond32Bits << 0 << QStringList{impossible} << 0;
    QTest::newRow("count libetpan would wrap")
        << Fault::CountLibetpanWraps << 0 << QStringList{impossible} << 0;
    QTest::newRow("count far above the messages")
        << Fault::CountFarAboveTheMessages << 3
        << QStringList{"^The listing ended early: 3 of 2147483647 messages were listed\\.\n\nFETCH "
                       "53 failed: the server sent no message \\| $"}
        << 1000000;
    QTest::newRow("unrequested data")
        << Fault::UnrequestedData << 30 << QStringList{"^Done\\. \\| $"} << 30;
    QTest::newRow("stop while fetches fail")
        << Fault::StopWhileFetchesFail << 0 << QStringList{skippedWhenStopped} << 16;
    QTest::newRow("disconnect while fetches fail")
        << Fault::DisconnectWhileFetchesFail << 0 << QStringList{skippedWhenStopped} << 16;
    // A connection cut in the middle of a line reads as a broken response.
    const QString lost = QStringLiteral(
        "^The listing ended early: 2 of 5 messages were listed\\.\n\nFETCH 3 failed: (the "
        "connection was closed|the server's response could not be read) \\| $");
    QTest::newRow("connection lost") << Fault::ConnectionLost << 2 << QStringList{lost} << 10;
    QTest::newRow("BYE")
        << Fault::Bye << 2
        << QStringList{"^The listing ended early: 2 of 5 messages were listed\\.\n\n"
                       "FETCH 3 failed, the server ended the session: shutting "
                       "down \\| $"}
        << 10;
    QTest::newRow("throttled for ever")
        << Fault::ThrottledForEver << 0
        << QStringList{"^The listing ended early: 0 of 5 messages were listed\\.\n\nFETCH 1 "
                       "failed, the server kept asking to slow down: Request is throttled\\. "
                       "Suggested Backoff Time: 1 ms \\| $"}
        << 30;
    QTest::newRow("one message refused")
        << Fault::OneMessageRefused << 4
        << QStringList{"^Done\\. 1 message could not be fetched and was skipped\\. \\| $"} << 10;
    QTest::newRow("stop while signing in") << Fault::StopWhileSigningIn << 0 << QStringList{} << 0;
    QTest::newRow("greeting drips")
        << Fault::GreetingDrips << 0
        << QStringList{"^Invalid login\\. Please double-check your username and password\\. \\| "
                       "Connecting and signing in timed out\\.$"}
        << 0;
    QTest::newRow("BYE greeting")
        << Fault::ByeGreeting << 0
        << QStringList{"^Invalid login\\. Please double-check your username and password\\. \\| "
                       "connect to 127\\.0\\.0\\.1:\\d+ failed, the server refused the session: "
                       "too many connections$"}
        << 0;
    QTest::newRow("second sign-in refused")
        << Fault::SecondLoginRefused << 0
        << QStringList{"^Invalid login\\. Please double-check your username and password\\. \\| "
                       "LOGIN failed, server replied: Authentication failed\\.$",
                       "^Connection failed\\. Check username and password\\. \\| $"}
        << 0;
    QTest::newRow("error log cannot be written")
        << Fault::ErrorLogUnwritable << 5 << QStringList{"^Done\\. \\| $"} << 10;
}

void TestHostileListing::runEndsTruthfully() {
    QFETCH(Fault, fault);
    QFETCH(int, rows);
    QFETCH(QStringList, boxes);
    QFETCH(int, maxFetches);

    ScriptedImapServer server(scriptFor(fault), fault == Fault::ByeGreeting
                                                    ? "* BYE too many connections\r\n"
                                                    : "* OK scripted server ready\r\n");
    SettingsStore::Save(QStringLiteral("Server"),
                        QStringLiteral("127.0.0.1:%1").arg(server.port()));
    Form1 window;
    window.createComponent = [] { return std::make_unique<PlainMailImap>(); };
    window.startupDraw = [] { return 1; };
    window.Form_Load();
    window.Combo1->setCurrentIndex(0);
    window.Text1->setText(QStringLiteral("user"));
    window.Text2->setText(QStringLiteral("secret"));
    window.Option3->setChecked(true);
    QFile::remove(ErrorLog::filePath());
    // A folder where the log should be: every append fails.
    if (fault == Fault::ErrorLogUnwritable)
        QVERIFY(QDir().mkdir(ErrorLog::filePath()));
    const auto removeLogFolder = qScopeGuard([] { QDir().rmdir(ErrorLog::filePath()); });
    QStringList logNotes;
    connect(&window, &Form1::statusTextChanged, this, [&logNotes](const QString& text) {
        if (text.contains(QLatin1String("errorlog.txt")))
            logNotes.append(text);
    });
    prompter.clear();

    if (fault == Fault::ByeGreeting) {
        window.PushButton5_Click();
        QCOMPARE(window.PushButton5->text(), QStringLiteral("1. Connect"));
    } else if (fault == Fault::GreetingDrips) {
        server.dripGreeting(std::chrono::milliseconds(100));
        clsMailIMAP::setConnectDeadline(std::chrono::milliseconds(400));
        window.PushButton5_Click();
        clsMailIMAP::setConnectDeadline(std::chrono::seconds(60));
        QCOMPARE(window.PushButton5->text(), QStringLiteral("1. Connect"));
    } else {
        window.PushButton5_Click();
        QCOMPARE(window.PushButton5->text(), QStringLiteral("Disconnect"));
        prompter.clear();

        // Clicks Stop or Disconnect once the listing has sent its first FETCH, or Stop once the
        // run has begun to sign in again.
        QTimer click;
        click.setInterval(5);
        connect(&click, &QTimer::timeout, this, [&] {
            const QList<QByteArray> commands = server.commands();
            const bool signingIn = commands.count("LOGIN \"user\" \"secret\"") == 2;
            if (fault == Fault::StopWhileSigningIn && signingIn) {
                click.stop();
                window.PushButton10->click();
            } else if (fetchCommands(server) > 0 && fault == Fault::StopWhileFetchesFail) {
                click.stop();
                window.PushButton10->click();
            } else if (fetchCommands(server) > 0 && fault == Fault::DisconnectWhileFetchesFail) {
                click.stop();
                window.PushButton5->click();
            }
        });
        click.start();
        const qint64 peakBefore = peakResidentKb();
        window.PushButton10_Click();
        if (fault == Fault::UnrequestedData)
            QVERIFY2(peakResidentKb() - peakBefore < unrequestedDataBoundKb,
                     qPrintable(QString::number(peakResidentKb() - peakBefore)));
    }

    QStringList shown;
    for (const BoxContent& box : prompter.boxes)
        shown.append(box.text + QStringLiteral(" | ") + box.detail);
    QCOMPARE(shown.size(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i)
        QVERIFY2(QRegularExpression(boxes[i]).match(shown[i]).hasMatch(), qPrintable(shown[i]));
    QCOMPARE(window.ListView1->list().count(), rows);
    QVERIFY2(fetchCommands(server) <= maxFetches,
             qPrintable(QString::number(fetchCommands(server))));
    QCOMPARE(window.PushButton10->text(), QStringLiteral("2a. Get All Emails"));
    QVERIFY(!window.oMail);
    QCOMPARE(logNotes.size(), fault == Fault::ErrorLogUnwritable ? 1 : 0);
}

QTEST_MAIN(TestHostileListing)
#include "tst_hostilelisting.moc"
