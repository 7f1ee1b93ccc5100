// The listing job without any widget, against the local Dovecot: how each run ends, what it
// listed, and which of its statements it ran.
#include "MailServer.h"
#include "ScriptedPrompter.h"
#include "job/Listing.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/clsMailIMAP.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

using Outcome = job::ListingOutcome;
using Step = job::Listing::Step;

// What a case's face answers when asked for a range or for the numbers to list.
enum class Answer { Unasked, None, Given };

struct Case {
    QString password = {};       // empty: the right one
    bool signedInBefore = false; // the face signs the session in, the job does not
    QString folder = QStringLiteral("Inbox");
    bool newConnection = true;
    Answer range = Answer::Unasked;
    job::ListingRange given = {};
    Answer numbers = Answer::Unasked;
    QList<qint32> chosen = {};
    qint64 stopAfter = 0; // Stop once this many are listed; 0: never
};

} // namespace

Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(Outcome)

class TestListing : public QObject {
    Q_OBJECT

    std::unique_ptr<MailServer> server;
    std::unique_ptr<EtpanMailImap> component;
    QTemporaryDir logDir;

private slots:
    void initTestCase() {
        server = std::make_unique<MailServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        component = std::make_unique<EtpanMailImap>();
        component->setTrustedCertificates(server->caFile());
        ErrorLog::setFolder(logDir.path());
    }
    void cleanupTestCase() {
        component.reset();
        server.reset();
        ErrorLog::setFolder(QString());
    }

    void outcomes_data() {
        QTest::addColumn<Case>("run");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QList<quint32>>("uids"); // of the messages listed, in order
        QTest::addColumn<qint64>("asked");
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<int>("boxes");

        const QList<Step> signIn{Step::SignIn};
        const QList<Step> counted{Step::SignIn, Step::Count, Step::HasMessages};
        const QList<Step> all{Step::SignIn, Step::Count, Step::HasMessages, Step::List};
        const QList<quint32> five{1, 2, 3, 4, 5};

        QTest::newRow("all, on a new connection")
            << Case{} << Outcome::Finished << five << qint64(5) << all << 0;
        QTest::newRow("all, on the connection of the count")
            << Case{.newConnection = false} << Outcome::Finished << five << qint64(5) << all << 0;
        QTest::newRow("signed in by the face")
            << Case{.signedInBefore = true, .newConnection = false} << Outcome::Finished << five
            << qint64(5) << QList<Step>{Step::Count, Step::HasMessages, Step::List} << 0;
        QTest::newRow("a range") << Case{.range = Answer::Given, .given = {2, 4}}
                                 << Outcome::Finished << QList<quint32>{2, 3, 4} << qint64(3) << all
                                 << 0;
        QTest::newRow("no range") << Case{.range = Answer::None} << Outcome::NoRange
                                  << QList<quint32>{} << qint64(0) << counted << 0;
        QTest::newRow("chosen numbers")
            << Case{.newConnection = false, .numbers = Answer::Given, .chosen = {1, 3, 4}}
            << Outcome::Finished << QList<quint32>{1, 3, 4} << qint64(3) << all << 0;
        QTest::newRow("no number chosen")
            << Case{.newConnection = false, .numbers = Answer::Given} << Outcome::Finished
            << QList<quint32>{} << qint64(0) << all << 0;
        QTest::newRow("numbers not had")
            << Case{.newConnection = false, .numbers = Answer::None} << Outcome::NotCounted
            << QList<quint32>{} << qint64(0) << counted << 0;
        QTest::newRow("stopped") << Case{.stopAfter = 2} << Outcome::Stopped << QList<quint32>{1, 2}
                                 << qint64(5) << all << 0;
        QTest::newRow("wrong password")
            << Case{.password = QStringLiteral("not the password")} << Outcome::NotSignedIn
            << QList<quint32>{} << qint64(0) << signIn << 1;
        QTest::newRow("empty folder") << Case{.folder = QStringLiteral("Deleted")} << Outcome::Empty
                                      << QList<quint32>{} << qint64(0) << counted << 0;
        QTest::newRow("no such folder")
            << Case{.folder = QStringLiteral("Archive")} << Outcome::NotCounted << QList<quint32>{}
            << qint64(0) << counted << 1;
    }

    void outcomes() {
        QFETCH(Case, run);
        QFETCH(Outcome, outcome);
        QFETCH(QList<quint32>, uids);
        QFETCH(qint64, asked);
        QFETCH(QList<Step>, steps);
        QFETCH(int, boxes);

        ScriptedPrompter prompts;
        auto session = std::make_shared<clsMailIMAP>();
        session->MailIMAPObject = component.get();
        session->SSL = true;
        session->PORT = server->port();
        session->IMAPServer = server->host();
        session->Username = server->user();
        session->Password = run.password.isEmpty() ? server->password() : run.password;
        if (run.signedInBefore)
            QVERIFY(session->Connect());

        job::Listing listing(session);
        listing.signIn = !run.signedInBefore;
        listing.listOnNewConnection = run.newConnection;
        listing.folder = [&run] { return run.folder; };
        if (run.range != Answer::Unasked)
            listing.askRange = [&run](qint32 count) -> std::optional<job::ListingRange> {
                [&] { QCOMPARE(count, 5); }();
                return run.range == Answer::Given ? std::optional(run.given) : std::nullopt;
            };
        if (run.numbers != Answer::Unasked)
            listing.chooseNumbers = [&run](const job::ListingRange&) {
                return run.numbers == Answer::Given ? std::optional(run.chosen) : std::nullopt;
            };
        QList<quint32> listed;
        listing.messageListed = [&](const MessageRecord& message, const MessageOrigin& origin) {
            QVERIFY(!message.From.isEmpty());
            QCOMPARE(origin.folder, run.folder);
            listed.append(origin.uid);
        };
        QList<std::pair<qint64, qint64>> progress;
        listing.progress = [&](qint64 done, qint64 of) {
            progress.append({done, of});
            if (done == run.stopAfter)
                session->AbortProcess = true;
        };
        QList<Step> ran;
        listing.runStatement = [&ran](Step step, const std::function<void()>& statement) {
            ran.append(step);
            statement();
        };
        listing.testStatement = [&ran](Step step, const std::function<bool()>& condition) {
            ran.append(step);
            return condition();
        };

        const job::ListingResult result = listing.run();
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(listed, uids);
        QCOMPARE(result.listed, qint64(uids.size()));
        QCOMPARE(result.asked, asked);
        QCOMPARE(result.skipped, 0);
        QCOMPARE(ran, steps);
        QCOMPARE(prompts.boxes.size(), boxes);
        QCOMPARE(progress.size(), uids.size());
        if (!progress.isEmpty())
            QCOMPARE(progress.last(), std::make_pair(qint64(uids.size()), asked));
        component->Disconnect();
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
