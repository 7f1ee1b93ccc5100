// Listing with fetching ahead against a real Dovecot on loopback: the session sees exactly what it
// sees when each message is fetched on its own.
#include "FileContents.h"
#include "MailServer.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/clsMailIMAP.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int folderSize = 40;

// Message n of a folder of mixed sizes: mostly short plain text, every eighth one with a large
// attachment, every fifth one HTML only.
QByteArray mixedMessage(int n) {
    QByteArray head = "From: Sender " + QByteArray::number(n) + " <s" + QByteArray::number(n) +
                      "@example.test>\r\nTo: user@example.test\r\nSubject: Mixed " +
                      QByteArray::number(n) +
                      "\r\nDate: Mon, 4 Dec 2023 10:" + QByteArray::number(10 + n) +
                      ":00 +0100\r\nMIME-Version: 1.0\r\n";
    const QByteArray line = "Line of message " + QByteArray::number(n) + " with some words.\r\n";
    if (n % 8 == 0) {
        QByteArray attachment;
        for (int i = 0; i < 9000; ++i) // about 700 KB of base64 lines
            attachment += QByteArray(76, char('A' + (i + n) % 26)) + "\r\n";
        return head +
               "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
               "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
               line.repeated(3) +
               "--b\r\nContent-Type: application/octet-stream\r\n"
               "Content-Disposition: attachment; filename=data.bin\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n" +
               attachment + "--b--\r\n";
    }
    if (n % 5 == 0)
        return head + "Content-Type: text/html; charset=utf-8\r\n\r\n<p>" + line.repeated(20) +
               "</p>\r\n";
    return head + "Content-Type: text/plain; charset=utf-8\r\n\r\n" + line.repeated(1 + n * 7 % 60);
}

struct Run {
    QList<QStringList> events; // id and the seven texts of each event
    QStringList log;           // the error-log entries without their time
    qint32 endedAt = 0;        // CurrentLocation after the run
};

} // namespace

class TestFetchAhead : public QObject {
    Q_OBJECT

    QTemporaryDir work;
    MailServer* server = nullptr;
    EtpanMailImap* component = nullptr;

    // Lists first to last of the folder; stopAfter > 0 sets the abort flag in that many events.
    // The log entries keep the server's words but not the time it says a command took.
    Run list(qint32 first, qint32 last, int stopAfter = 0) {
        auto session = std::make_shared<clsMailIMAP>();
        session->MailIMAPObject = component;
        session->SSL = true;
        session->PORT = server->port();
        session->IMAPServer = server->host();
        session->Username = server->user();
        session->Password = server->password();
        Run run;
        connect(session.get(), &clsMailIMAP::MailExtractListing, this,
                [&run, &session, stopAfter](const QString& from, const QString& name,
                                            const QString& address, const QString& subject,
                                            const QString& date, const QString& plain,
                                            const QString& html, qint32 id) {
                    run.events.append(
                        {QString::number(id), from, name, address, subject, date, plain, html});
                    if (run.events.size() == stopAfter)
                        session->AbortProcess = true;
                });
        QFile::remove(ErrorLog::filePath());
        session->CurrentLocation = first;
        session->MaxRecord = last;
        session->StartMailExtraction(QStringLiteral("INBOX"));
        run.endedAt = session->CurrentLocation;
        static const QRegularExpression serverTiming(
            QStringLiteral(" \\(\\d+\\.\\d+( \\+ \\d+\\.\\d+)* secs\\)"));
        for (const QString& entry : errorLogText().split(QLatin1Char('*'), Qt::SkipEmptyParts))
            if (!entry.trimmed().isEmpty())
                run.log.append(entry.section(QStringLiteral(" : "), 1, -1).remove(serverTiming));
        return run;
    }

private slots:
    void initTestCase() {
        const QString inbox = QDir(work.path()).filePath(QStringLiteral("seed/INBOX"));
        QVERIFY(QDir().mkpath(inbox));
        for (int n = 1; n <= folderSize; ++n) {
            QFile file(
                QDir(inbox).filePath(QStringLiteral("%1.eml").arg(n, 3, 10, QLatin1Char('0'))));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(mixedMessage(n));
        }
        MailServer::Options options;
        options.seedDir = QDir(work.path()).filePath(QStringLiteral("seed"));
        server = new MailServer(options);
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        component = new EtpanMailImap;
        component->setTrustedCertificates(server->caFile());
        ErrorLog::setFolder(work.path());
    }
    void cleanupTestCase() {
        delete component;
        delete server;
        ErrorLog::setFolder(QString());
    }

    void sameListingAsOneMessageAtATime_data() {
        QTest::addColumn<qint32>("first");
        QTest::addColumn<qint32>("last");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("whole folder") << 1 << folderSize << qint64(16 * 1024 * 1024);
        QTest::newRow("inside the folder") << 6 << folderSize - 7 << qint64(16 * 1024 * 1024);
        QTest::newRow("past its end")
            << folderSize - 3 << folderSize + 2 << qint64(16 * 1024 * 1024);
        // A limit below the large messages: one at a time is held, waiting for room.
        QTest::newRow("small limit") << 1 << folderSize << qint64(100 * 1024);
    }
    void sameListingAsOneMessageAtATime() {
        QFETCH(qint32, first);
        QFETCH(qint32, last);
        QFETCH(qint64, limit);
        component->setFetchAhead(false);
        const Run alone = list(first, last);
        component->setFetchAhead(true);
        component->setFetchAheadLimit(limit);
        const Run ahead = list(first, last);

        QCOMPARE(alone.events.size(), qMin(last, folderSize) - first + 1);
        QCOMPARE(alone.log.size(), last - first + 1);
        QCOMPARE(ahead.events, alone.events);
        QCOMPARE(ahead.log, alone.log);
        QCOMPARE(ahead.endedAt, last);
    }

    // Dovecot answers pipelined FETCH commands out of order: the messages of a later command may
    // come in the reply of an earlier one. Each must still be downloaded once; the server's count
    // of bodies sent for the session, logged when it ends, says so.
    void eachMessageIsDownloadedOnce() {
        component->setFetchAhead(true);
        component->setFetchAheadLimit(16 * 1024 * 1024);
        static const QRegularExpression bodyCount(QStringLiteral("body_count=(\\d+)"));
        const auto counts = [this] {
            QStringList found;
            QRegularExpressionMatchIterator it = bodyCount.globalMatch(server->logText());
            while (it.hasNext())
                found.append(it.next().captured(1));
            return found;
        };
        const qsizetype sessionsBefore = counts().size();
        const Run run = list(1, folderSize);
        QCOMPARE(run.events.size(), folderSize);
        component->Disconnect();
        QTRY_VERIFY(counts().size() > sessionsBefore);
        const QString counted = counts().constLast();
        QCOMPARE(counted, QString::number(folderSize));
    }

    // Stop in the third event: the loop ends after the next fetch, whose message gives no event,
    // and the connection takes the next command as if nothing had been fetched ahead.
    void stopLeavesTheConnectionInStep() {
        component->setFetchAhead(true);
        component->setFetchAheadLimit(16 * 1024 * 1024);
        const Run stopped = list(1, folderSize, 3);
        QCOMPARE(stopped.events.size(), 3);
        QCOMPARE(stopped.log.size(), 4);
        QCOMPARE(stopped.endedAt, 4);

        QCOMPARE(component->MessageCount(), folderSize);
        const std::unique_ptr<EmailObject> email = component->FetchMessage(9, 0);
        QVERIFY(email);
        QCOMPARE(email->Subject, QStringLiteral("Mixed 9"));
    }
};

QTEST_GUILESS_MAIN(TestFetchAhead)
#include "tst_fetchahead.moc"
