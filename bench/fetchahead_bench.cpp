// Listing over a link with latency: a folder of N mixed-size messages on the local Dovecot, reached
// directly (0 ms) or through a loopback proxy that adds 50 ms to each round trip, fetched three
// ways, each in a fresh process so its peak memory is its own:
//   listing   the mail session's listing (StartMailExtraction, fetching ahead), texts kept as the
//             window keeps them;
//   raw       the ceiling: one FETCH of the whole range over TLS, each message written to a file;
//   baseline  the same listing with fetching ahead off: one FETCH per message, waiting each time.
// Prints min and median of the repetitions, the peak memory and, for the listings, the longest the
// window's thread went without handling events.
// Usage: fetchahead_bench N [repetitions] [round-trip times in ms]   (default 2000, 3, "0,50")
// At 50 ms the baseline runs once; beyond 2,000 messages it lists the first 1,000 and the time
// for N is extrapolated from them (printed as such).

#include "BenchServer.h"
#include "DelayProxy.h"
#include "MailServer.h"
#include "MixedMailbox.h"
#include "RawFetch.h"
#include "list/MessageRecord.h"
#include "mail/ErrorLog.h"
#include "mail/EtpanMailImap.h"
#include "mail/clsMailIMAP.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString host = QStringLiteral("127.0.0.1");

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    qint64 messages = 0;
    qint64 storedBytes = 0;    // the kept texts, UTF-16
    qint64 longestStallMs = 0; // the longest the window's thread went without handling events
};

// Child: lists through the session (fetching ahead on or off) and keeps the texts.
Measure listing(bool fetchAhead, int port, const QString& ca, const QString& user,
                const QString& password, int count, const QString& work) {
    ErrorLog::setFolder(work);
    EtpanMailImap component;
    component.setTrustedCertificates(ca);
    component.setFetchAhead(fetchAhead);
    auto session = std::make_shared<clsMailIMAP>();
    session->MailIMAPObject = &component;
    session->SSL = true;
    session->PORT = port;
    session->IMAPServer = host;
    session->Username = user;
    session->Password = password;
    std::vector<MessageRecord> records;
    records.reserve(size_t(count));
    Measure m;
    QObject::connect(session.get(), &clsMailIMAP::MailExtractListing, session.get(),
                     [&](const QString& from, const QString& name, const QString& address,
                         const QString& subject, const QString& date, const QString& plain,
                         const QString& html, qint32) {
                         records.push_back({from, name, address, subject, date, plain, html});
                         m.storedBytes +=
                             2 * (from.size() + name.size() + address.size() + subject.size() +
                                  date.size() + plain.size() + html.size());
                     });
    // A timer every 5 ms fires only when the thread handles events: the longest gap between two
    // firings is the longest the window would have gone without repainting or seeing Stop.
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (sinceTick.isValid())
            m.longestStallMs = std::max(m.longestStallMs, sinceTick.restart());
        else
            sinceTick.start();
    });
    tick.start();
    session->CurrentLocation = 1;
    session->MaxRecord = count;
    QElapsedTimer clock;
    clock.start();
    session->StartMailExtraction(QStringLiteral("INBOX"));
    m.seconds = double(clock.nsecsElapsed()) / 1e9;
    m.messages = qint64(records.size());
    m.peakKb = peakKilobytes();
    return m;
}

Measure raw(int port, const QString& user, const QString& password, int count,
            const QString& work) {
    const QString folder = QDir(work).filePath(QStringLiteral("raw"));
    QDir().mkpath(folder);
    QElapsedTimer clock;
    clock.start();
    Measure m;
    m.messages = rawFetchToFiles(host, port, user, password, count, folder);
    m.seconds = double(clock.nsecsElapsed()) / 1e9;
    m.peakKb = peakKilobytes();
    QDir(folder).removeRecursively();
    return m;
}

int measureInThisProcess(const QStringList& a) {
    // method port ca user password count work
    const QString method = a.value(0);
    const int port = a.value(1).toInt();
    const int count = a.value(5).toInt();
    const Measure m = method == QLatin1String("raw")
                          ? raw(port, a.value(3), a.value(4), count, a.value(6))
                          : listing(method == QLatin1String("listing"), port, a.value(2),
                                    a.value(3), a.value(4), count, a.value(6));
    std::printf("%.3f %ld %lld %lld %lld\n", m.seconds, m.peakKb, m.messages, m.storedBytes,
                m.longestStallMs);
    return m.messages == count ? 0 : 1;
}

Measure measureInChild(const QString& method, int port, const MailServer& server, int count,
                       const QString& work) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--measure"), method, QString::number(port), server.caFile(),
                 server.user(), server.password(), QString::number(count), work});
    Measure m;
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(method),
                     child.readAllStandardError().constData());
        return m;
    }
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    m.seconds = f.value(0).toDouble();
    m.peakKb = f.value(1).toLong();
    m.messages = f.value(2).toLongLong();
    m.storedBytes = f.value(3).toLongLong();
    m.longestStallMs = f.value(4).toLongLong();
    return m;
}

struct Series {
    std::vector<Measure> runs;
    int listed = 0; // messages per run
    double minSeconds() const {
        double best = runs.front().seconds;
        for (const Measure& m : runs)
            best = std::min(best, m.seconds);
        return best;
    }
    double median() const {
        std::vector<double> s;
        for (const Measure& m : runs)
            s.push_back(m.seconds);
        std::sort(s.begin(), s.end());
        return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
    long peakKb() const {
        long peak = 0;
        for (const Measure& m : runs)
            peak = std::max(peak, m.peakKb);
        return peak;
    }
    qint64 longestStallMs() const {
        qint64 longest = 0;
        for (const Measure& m : runs)
            longest = std::max(longest, m.longestStallMs);
        return longest;
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--measure"))
        return measureInThisProcess(args.mid(1));
    const int count = args.value(0, QStringLiteral("2000")).toInt();
    const int repetitions = args.value(1, QStringLiteral("3")).toInt();
    QList<int> roundTrips;
    for (const QString& ms : args.value(2, QStringLiteral("0,50")).split(QLatin1Char(',')))
        roundTrips.append(ms.toInt());

    QTemporaryDir work;
    const qint64 bytes = writeMixedMailbox(seedInbox(work.path()), count);
    if (bytes < 0) {
        std::fprintf(stderr, "could not write the messages\n");
        return 1;
    }
    const std::unique_ptr<MailServer> started = startBenchServer(work.path());
    if (!started)
        return 1;
    MailServer& server = *started;
    std::printf("%d messages, %.1f MB\n", count, double(bytes) / 1e6);
    measureInChild(QStringLiteral("raw"), server.port(), server, count, work.path()); // warm-up

    std::printf("| N | RTT | method | min s | median s | messages/s (median) | peak RSS MB | "
                "kept texts MB | longest stall ms |\n");
    for (const int rtt : roundTrips) {
        std::unique_ptr<DelayProxy> proxy;
        if (rtt > 0)
            proxy = std::make_unique<DelayProxy>(server.port(), rtt / 2);
        const int port = proxy ? proxy->port() : server.port();
        Series listingRuns, rawRuns, baselineRuns;
        const bool slowBaseline = rtt > 0;
        baselineRuns.listed = slowBaseline && count > 2000 ? 1000 : count;
        listingRuns.listed = rawRuns.listed = count;
        for (int rep = 0; rep < repetitions; ++rep) {
            listingRuns.runs.push_back(
                measureInChild(QStringLiteral("listing"), port, server, count, work.path()));
            rawRuns.runs.push_back(
                measureInChild(QStringLiteral("raw"), port, server, count, work.path()));
            if (!slowBaseline || rep == 0)
                baselineRuns.runs.push_back(measureInChild(QStringLiteral("baseline"), port, server,
                                                           baselineRuns.listed, work.path()));
        }
        const auto row = [&](const char* method, const Series& s) {
            const double scale = double(count) / s.listed;
            std::printf("| %d | %d ms | %s%s | %.2f | %.2f | %.0f | %.1f | %.1f | %lld |\n", count,
                        rtt, method, scale > 1 ? " (extrapolated from the first 1,000)" : "",
                        s.minSeconds() * scale, s.median() * scale, s.listed / s.median(),
                        double(s.peakKb()) / 1024, double(s.runs.front().storedBytes) / 1048576,
                        s.longestStallMs());
            std::fflush(stdout);
        };
        row("listing", listingRuns);
        row("raw ceiling", rawRuns);
        row("baseline", baselineRuns);
        std::printf("listing/raw: %.0f%% (median), %.0f%% (min)\n",
                    100 * rawRuns.median() / listingRuns.median(),
                    100 * rawRuns.minSeconds() / listingRuns.minSeconds());
    }
    return 0;
}
