// Lists every message of a folder of N generated messages from a local Dovecot through the mail
// session, keeping the seven texts of each as the window does, and prints messages per second and
// the peak memory of the process.
// Usage: list_bench [N]   (default 2000; run once per N, since the peak covers the whole process)

#include "BenchServer.h"
#include "MailServer.h"
#include "PeakMemory.h"
#include "list/MessageRecord.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/clsMailIMAP.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;

    QTemporaryDir work;
    const std::unique_ptr<MailServer> started = startGeneratedBenchServer(work.path(), count);
    if (!started)
        return 1;
    MailServer& server = *started;
    ErrorLog::setFolder(work.path());

    EtpanMailImap component;
    component.setTrustedCertificates(server.caFile());
    auto session = std::make_shared<clsMailIMAP>();
    session->MailIMAPObject = &component;
    session->SSL = true;
    session->PORT = server.port();
    session->IMAPServer = server.host();
    session->Username = server.user();
    session->Password = server.password();

    QElapsedTimer clock;
    std::vector<MessageRecord> records;
    records.reserve(size_t(count));
    QObject::connect(session.get(), &clsMailIMAP::MailExtractListing, session.get(),
                     [&](const QString& from, const QString& name, const QString& address,
                         const QString& subject, const QString& date, const QString& plain,
                         const QString& html, qint32 id) {
                         records.push_back({from, name, address, subject, date, plain, html});
                         if (id % 2000 == 0)
                             std::printf("  %6d messages after %.2f s\n", id,
                                         double(clock.nsecsElapsed()) / 1e9);
                     });

    const long before = peakKilobytes();
    session->CurrentLocation = 1;
    session->MaxRecord = count;
    clock.start();
    session->StartMailExtraction(QStringLiteral("Inbox"));
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    std::printf("messages listed: %zu of %d\n", records.size(), count);
    std::printf("time: %.2f s, %.0f messages per second\n", seconds,
                double(records.size()) / seconds);
    std::printf("peak memory: %.1f MB (%.1f MB before the listing)\n", peakKilobytes() / 1024.0,
                before / 1024.0);
    return records.size() == size_t(count) ? 0 : 1;
}
