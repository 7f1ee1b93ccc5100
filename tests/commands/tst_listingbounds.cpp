// Get All and Connect where a run must not take more than it should: a message announced larger
// than anything read, a message that stalls half-way when Stop is clicked, a Server setting that
// cannot work.
#include "FileContents.h"
#include "PlainMailImap.h"
#include "ScriptedImapServer.h"
#include "ScriptedMessages.h"
#include "ScriptedPrompter.h"
#include "TemporarySettings.h"
#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "list/MessageListModel.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"
#include "mail/ErrorLog.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

namespace {

// What reading the announcement of a huge message may add to the peak resident size: far below
// the gigabytes the message would take. libetpan reserves the announced size before it reads the
// first byte, which costs nothing resident by itself; under AddressSanitizer the reservation's
// shadow (an eighth of it) is written when it is made and when it is freed, so there the bound is
// the gigabyte the program must stay below.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 hugeMessageBoundKb = 1024 * 1024;
#else
constexpr qint64 hugeMessageBoundKb = 64 * 1024;
#endif

const QByteArray hugeAnnouncement = "2147483648"; // 2 GiB

QByteArray literalHead(qint64 n, const QByteArray& announced) {
    return "* " + QByteArray::number(n) +
           " FETCH (INTERNALDATE \"01-Jan-2024 10:00:00 +0000\" BODY[] {" + announced + "}\r\n";
}

// Five messages; message `odd` is announced as 2 GiB and sent without end, or, with stalls set,
// sends a tenth of what it announced and then nothing.
ScriptedImapServer::Script fiveMessages(qint64 odd, bool stalls) {
    return [odd, stalls](const QByteArray& tag, const QByteArray& command) -> QByteArray {
        if (command.startsWith("EXAMINE"))
            return "* 5 EXISTS\r\n" + tag + " OK [READ-ONLY] done\r\n";
        if (!command.startsWith("FETCH"))
            return tag + " OK done\r\n";
        const auto [first, last] = fetchSet(command);
        QByteArray out;
        for (qint64 n = first; n <= qMin<qint64>(last, 5); ++n) {
            if (n != odd) {
                out += fetchedMessages(n, n);
            } else if (stalls) {
                return out + literalHead(n, "1000") + QByteArray(100, 'x') +
                       ScriptedImapServer::stall();
            } else {
                return out + literalHead(n, hugeAnnouncement) + ScriptedImapServer::endlessBytes();
            }
        }
        return out + tag + " OK Fetch completed\r\n";
    };
}

qint64 peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QStringList subjects(const Form1& window) {
    QStringList shown;
    const MessageListModel& list = window.ListView1->list();
    for (int i = 1; i <= list.count(); ++i)
        shown.append(messageRecords().at(i).Subject);
    return shown;
}

} // namespace

class TestListingBounds : public QObject {
    Q_OBJECT

    TemporarySettings settings;
    ScriptedPrompter prompter;
    std::unique_ptr<Form1> window;

private slots:
    void initTestCase() { ErrorLog::setFolder(settings.path()); }
    void cleanupTestCase() { ErrorLog::setFolder(QString()); }
    void init();
    void cleanup() { window.reset(); }

    void hugeMessageIsSkipped_data();
    void hugeMessageIsSkipped();
    void stopEndsAStalledFetchWithinASecond_data();
    void stopEndsAStalledFetchWithinASecond();
    void serverSettingThatCannotWork_data();
    void serverSettingThatCannotWork();

private:
    void connectTo(const ScriptedImapServer& server, bool fetchAhead);
    QStringList boxes() const;
};

void TestListingBounds::init() {
    prompter.clear();
    window = std::make_unique<Form1>();
    window->startupDraw = [] { return 1; };
}

void TestListingBounds::connectTo(const ScriptedImapServer& server, bool fetchAhead) {
    SettingsStore::Save(QStringLiteral("Server"),
                        QStringLiteral("127.0.0.1:%1").arg(server.port()));
    window->createComponent = [fetchAhead] {
        auto component = std::make_unique<PlainMailImap>();
        component->setFetchAhead(fetchAhead);
        return component;
    };
    window->Form_Load();
    window->Combo1->setCurrentIndex(0);
    window->Text1->setText(QStringLiteral("user"));
    window->Text2->setText(QStringLiteral("secret"));
    window->Option3->setChecked(true);
    window->PushButton5_Click();
    QCOMPARE(window->PushButton5->text(), QStringLiteral("Disconnect"));
    prompter.clear();
}

QStringList TestListingBounds::boxes() const {
    QStringList shown;
    for (const BoxContent& box : prompter.boxes)
        shown.append(box.text + QStringLiteral(" | ") + box.detail);
    return shown;
}

void TestListingBounds::hugeMessageIsSkipped_data() {
    QTest::addColumn<qint64>("huge");
    QTest::addColumn<bool>("fetchAhead");
    QTest::addColumn<int>("connections"); // Connect, the listing, one more after the huge one
    QTest::newRow("third, fetched ahead") << qint64(3) << true << 3;
    QTest::newRow("third, fetched alone") << qint64(3) << false << 3;
    QTest::newRow("first, fetched ahead") << qint64(1) << true << 3;
    QTest::newRow("last, fetched ahead") << qint64(5) << true << 2;
}

// The message announced as 2 GiB is not read: its connection is dropped, the listing goes on
// with the next message on a new one, and the run ends saying one message was skipped.
void TestListingBounds::hugeMessageIsSkipped() {
    QFETCH(qint64, huge);
    QFETCH(bool, fetchAhead);
    QFETCH(int, connections);
    ScriptedImapServer server(fiveMessages(huge, false));
    connectTo(server, fetchAhead);

    const qint64 peakBefore = peakResidentKb();
    window->PushButton10_Click();
    QVERIFY2(peakResidentKb() - peakBefore < hugeMessageBoundKb,
             qPrintable(QString::number(peakResidentKb() - peakBefore)));

    QCOMPARE(boxes(), QStringList{"Done. 1 message could not be fetched and was skipped. | "});
    QStringList expected;
    for (qint64 n = 1; n <= 5; ++n)
        if (n != huge)
            expected.append(QStringLiteral("Message %1").arg(n));
    QCOMPARE(subjects(*window), expected);
    QCOMPARE(server.connections(), connections);
    QVERIFY(errorLogText().contains(QStringLiteral("FETCH %1 failed: the message is larger than "
                                                   "512 MB (the server announced 2147483648 "
                                                   "bytes) and was not read")
                                        .arg(huge)
                                        .toUtf8()));
}

void TestListingBounds::stopEndsAStalledFetchWithinASecond_data() {
    QTest::addColumn<bool>("fetchAhead");
    QTest::newRow("fetched ahead") << true;
    QTest::newRow("fetched alone") << false;
}

// Message 2 stops half-way and the link stalls: Stop ends the run within a second.
void TestListingBounds::stopEndsAStalledFetchWithinASecond() {
    QFETCH(bool, fetchAhead);
    ScriptedImapServer server(fiveMessages(2, true));
    connectTo(server, fetchAhead);

    QElapsedTimer sinceStop;
    QTimer click;
    click.setInterval(5);
    connect(&click, &QTimer::timeout, this, [&] {
        if (window->ListView1->list().count() < 1)
            return;
        click.stop();
        // Long enough for the fetch of message 2 to be waiting on the stalled link.
        QTimer::singleShot(200, this, [&] {
            sinceStop.start();
            window->PushButton10->click();
        });
    });
    click.start();
    window->PushButton10_Click();
    QVERIFY(sinceStop.isValid());
    QVERIFY2(sinceStop.elapsed() < 1000, qPrintable(QString::number(sinceStop.elapsed())));
    QCOMPARE(subjects(*window), QStringList{"Message 1"});
    QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
}

void TestListingBounds::serverSettingThatCannotWork_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("problem");
    const QString prefix = QStringLiteral("The \"Server\" setting \"%1\" cannot be used: ");
    QTest::newRow("port 0") << "127.0.0.1:0"
                            << prefix.arg("127.0.0.1:0") +
                                   "its port \"0\" is not a number from 1 to 65535.";
    // Long parts are quoted cut to their first 20 characters.
    QTest::newRow("port of 5,000 digits")
        << "127.0.0.1:" + QString(5000, u'9')
        << prefix.arg("127.0.0.1:" + QString(10, u'9') + "...") + "its port \"" +
               QString(20, u'9') + "...\" is not a number from 1 to 65535.";
    QTest::newRow("port not a number")
        << "127.0.0.1:imaps"
        << prefix.arg("127.0.0.1:imaps") + "its port \"imaps\" is not a number from 1 to 65535.";
    QTest::newRow("no host") << ":993" << prefix.arg(":993") + "it names no host.";
    QTest::newRow("unclosed bracket")
        << "[::1:993" << prefix.arg("[::1:993") + "the \"]\" after the IPv6 address is missing.";
}

// Connect with a Server setting that cannot work: nothing is connected to, the failed Connect's
// details and the status text say which part of the setting is wrong.
void TestListingBounds::serverSettingThatCannotWork() {
    QFETCH(QString, setting);
    QFETCH(QString, problem);
    SettingsStore::Save(QStringLiteral("Server"), setting);
    window->Form_Load();
    window->Combo1->setCurrentIndex(0);
    window->Text1->setText(QStringLiteral("user"));
    window->Text2->setText(QStringLiteral("secret"));
    prompter.clear();

    window->PushButton5_Click();
    QCOMPARE(
        boxes(),
        QStringList{"Invalid login. Please double-check your username and password. | " + problem});
    QCOMPARE(window->statusText(), problem);
    QCOMPARE(window->PushButton5->text(), QStringLiteral("1. Connect"));
}

QTEST_MAIN(TestListingBounds)
#include "tst_listingbounds.moc"
