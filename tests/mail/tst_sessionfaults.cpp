// The mail session with a component that fails where a real server would not.
#include "FakeMailImap.h"
#include "FileContents.h"
#include "ScriptedPrompter.h"
#include "base/Conversions.h"
#include "base/Failure.h"
#include "mail/ErrorLog.h"
#include "mail/clsMailIMAP.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

class TestSessionFaults : public QObject {
    Q_OBJECT

    QTemporaryDir logDir;

    static void addFiveMessages(FakeMailImap& fake) {
        for (int n = 1; n <= 5; ++n) {
            EmailObject email;
            email.Subject = QStringLiteral("Message %1").arg(n);
            email.Date = QDateTime(QDate(2026, 3, n), QTime(9, 0), QTimeZone::utc());
            fake.messages.append(email);
        }
    }

private slots:
    void initTestCase() { ErrorLog::setFolder(logDir.path()); }
    void cleanupTestCase() { ErrorLog::setFolder(QString()); }
    void init() { QFile::remove(ErrorLog::filePath()); }

    void unfetchableMessageIsSkippedButLogged() {
        ScriptedPrompter prompts;
        FakeMailImap fake;
        addFiveMessages(fake);
        fake.failingFetches = {3};
        clsMailIMAP session;
        session.MailIMAPObject = &fake;
        QSignalSpy events(&session, &clsMailIMAP::MailExtractListing);
        QSignalSpy progress(&session, &clsMailIMAP::ScrapProgress);
        session.CurrentLocation = 1;
        session.MaxRecord = 5;
        session.StartMailExtraction(QStringLiteral("Inbox"));

        QList<qint32> ids;
        for (const QList<QVariant>& event : events)
            ids.append(event[7].toInt());
        QCOMPARE(ids, (QList<qint32>{1, 2, 4, 5}));
        QCOMPARE(events[2][3].toString(), QStringLiteral("Message 4"));
        QCOMPARE(events[0][4].toString(), QStringLiteral("3/1/2026 9:00:00 AM"));
        QCOMPARE(progress.size(), 5);
        QCOMPARE(session.CurrentLocation, 5);
        QVERIFY(prompts.boxes.isEmpty());

        const QList<QByteArray> lines = fileContents(ErrorLog::filePath()).split('\n');
        QCOMPARE(lines.size(), 11);
        QVERIFY(lines[4].endsWith(" : FETCH 3 failed\r"));
        QCOMPARE(lines[5], QByteArray(52, '*') + '\r');
    }

    void emptyRangeStillLogsInAndSelects() {
        ScriptedPrompter prompts;
        FakeMailImap fake;
        addFiveMessages(fake);
        clsMailIMAP session;
        session.MailIMAPObject = &fake;
        session.Username = QStringLiteral("someone@example.test");
        QSignalSpy events(&session, &clsMailIMAP::MailExtractListing);
        session.CurrentLocation = 4;
        session.MaxRecord = 3;
        session.StartMailExtraction(QStringLiteral("Junk"));
        QCOMPARE(fake.calls, (QStringList{"Connect ", "Raw ID (\"GUID\" \"1\")",
                                          "Login someone@example.test", "Select Junk"}));
        QVERIFY(events.isEmpty());
        QCOMPARE(session.CurrentLocation, 4);
    }

    void abortAnswersTheComponentsPolling() {
        ScriptedPrompter prompts;
        FakeMailImap fake;
        fake.connectHangs = true;
        clsMailIMAP session;
        session.MailIMAPObject = &fake;
        session.AbortProcess = true;
        // The stop is no wrong password: the sign-in ends without a box.
        QVERIFY(!session.Connect());
        QVERIFY(prompts.boxes.isEmpty());
        QCOMPARE(fake.LastErrorText(), QStringLiteral("connect failed: cancelled"));
    }

    void eventsAreUnboundAfterEachCall() {
        FakeMailImap fake;
        clsMailIMAP session;
        session.MailIMAPObject = &fake;
        session.AbortProcess = true;
        QVERIFY(session.Connect());
        qint32 abort = 0;
        emit fake.AbortCheck(abort); // nobody listens between calls
        QCOMPARE(abort, 0);
    }

    void missingComponentIsAnUnexpectedFailure() {
        clsMailIMAP session;
        QVERIFY_THROWS_EXCEPTION(Failure, session.Connect());
    }

    // A log that cannot take the entry (here a full disk) fails the statement that wrote it,
    // also each entry of a listing, which keeps the log open.
    void fullDiskFailsTheLogEntry() {
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), ErrorLog::filePath()));
        QVERIFY_THROWS_EXCEPTION(Failure, ErrorLog::append(QStringLiteral("FETCH 1 failed")));
        {
            const ErrorLog::KeptOpen log;
            QVERIFY_THROWS_EXCEPTION(Failure, ErrorLog::append(QStringLiteral("FETCH 2 failed")));
            QVERIFY_THROWS_EXCEPTION(Failure, ErrorLog::append(QStringLiteral("FETCH 3 failed")));
        }
        QVERIFY(QFile::remove(ErrorLog::filePath()));
    }

    // Entries written in a row to the kept-open log: each whole, with the time it was written.
    void keptOpenLogEntries() {
        const QString before = Conversions::dateTimeText(QDateTime::currentDateTime());
        {
            const ErrorLog::KeptOpen log;
            ErrorLog::append(QStringLiteral("FETCH 1 failed"));
            ErrorLog::append(QString());
            ErrorLog::append(QStringLiteral("Übersicht ✓"));
        }
        const QString after = Conversions::dateTimeText(QDateTime::currentDateTime());
        const QStringList lines = QString::fromLocal8Bit(fileContents(ErrorLog::filePath()))
                                      .split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7);
        const QString stars(52, QLatin1Char('*'));
        const QStringList texts{QStringLiteral("FETCH 1 failed"), QString(),
                                QStringLiteral("Übersicht ✓")};
        for (int i = 0; i < 3; ++i) {
            const QString& line = lines[2 * i];
            QVERIFY2(line == before + QStringLiteral(" : ") + texts[i] ||
                         line == after + QStringLiteral(" : ") + texts[i],
                     qPrintable(line));
            QCOMPARE(lines[2 * i + 1], stars);
        }
        QCOMPARE(lines[6], QString());
    }
};

QTEST_GUILESS_MAIN(TestSessionFaults)
#include "tst_sessionfaults.moc"
