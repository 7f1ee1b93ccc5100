// The listing and the whole job against their ceilings, measured side by side in one run: a
// folder of N mixed messages (bench/MixedMailbox.cpp) on the local Dovecot over TLS, reached
// directly (0 ms) or through a loopback proxy adding 50 ms to each round trip, and per round trip
// and repetition, interleaved, each in a fresh process so its peak memory is its own:
//   raw ceiling  one FETCH of the range over TLS, the messages kept in memory: network and TLS
//                only, no disk;
//   listing      the main window on the offscreen platform: the Get All click to "Done.";
//   job          Get All, Check All, then "Emails.txt" and one file per message, to "Done." each,
//                saved on the disk and on tmpfs;
//   mbsync       the peer (when installed): the same Inbox pulled into a Maildir on the disk
//                and on tmpfs, each compared with the job saving to the same place; on the disk
//                also with "FSync no", which leaves its files to the system's cache.
//   export       "quentaril export" saving the Inbox to the disk, one file per message, compared
//                with mbsync on the disk; and its second run, which finds nothing new, compared
//                with its ceiling, the same sign-in and UID SEARCH ALL: as a process of its own
//                against uid_search_ceiling, a process linking libetpan alone, and inside the
//                measuring process (without the program's start) against the same work there.
// Prints one Markdown table per round trip with the medians, the ratios and the peak memory.
// Usage: mailbox_bench [--count N] [--repetitions R] [--rtt 0,50] [--disk FOLDER] [--no-mbsync]
//                      [--listing-only] [--small] [--large-message MB] [--serve]
//        (defaults 2000, 3, 0,50, the current folder; tmpfs is /dev/shm)

#include "BenchServer.h"
#include "DelayProxy.h"
#include "ExportRun.h"
#include "MailServer.h"
#include "MbsyncRun.h"
#include "MixedMailbox.h"
#include "PeakMemory.h"
#include "RawFetch.h"
#include "WindowRun.h"
#include "base/LocalTimeZone.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

const QString host = QStringLiteral("127.0.0.1");

// One measured run as the child reports it.
struct Measure {
    bool ok = false;
    double seconds = 0; // the whole of what the method does
    long peakKb = 0;
    WindowRun window;
};

// In the child: runs one method and prints its figures on one line.
// Arguments: method port ca user password count output work.
int measureInThisProcess(const QStringList& a) {
    const QString method = a.value(0);
    const BenchLogin login{host,       a.value(1).toInt(), a.value(2),
                           a.value(3), a.value(4),         a.value(7)};
    const int count = a.value(5).toInt();
    const QString output = a.value(6);
    Measure m;
    if (method == QLatin1String("raw")) {
        QElapsedTimer clock;
        clock.start();
        m.ok = rawFetchToMemory(login.host, login.port, login.user, login.password, count) == count;
        m.seconds = double(clock.nsecsElapsed()) / 1e9;
        m.peakKb = peakKilobytes();
    } else if (method.startsWith(QLatin1String("mbsync"))) {
        const PeerFlush flush =
            method == QLatin1String("mbsync-nofsync") ? PeerFlush::None : PeerFlush::EachFile;
        m.seconds = runMbsync(login, output, flush, m.peakKb);
        m.ok = m.seconds >= 0;
    } else if (method.startsWith(QLatin1String("export"))) {
        const ExportMeasure measure = method == QLatin1String("export") ? ExportMeasure::WholeJob
                                      : method == QLatin1String("export-again")
                                          ? ExportMeasure::NothingNew
                                          : ExportMeasure::NothingNewInside;
        m.seconds = runExport(login, output, measure, m.peakKb);
        m.ok = m.seconds >= 0;
    } else if (method == QLatin1String("uids")) {
        QElapsedTimer clock;
        clock.start();
        m.ok = uidSearchInProcess(login) == count;
        m.seconds = double(clock.nsecsElapsed()) / 1e9;
        m.peakKb = peakKilobytes();
    } else if (method == QLatin1String("uids-process")) {
        m.seconds = uidSearchAsProcess(login, count, m.peakKb);
        m.ok = m.seconds >= 0;
    } else {
        m.window = runWindow(login, method == QLatin1String("job") ? output : QString());
        const WindowRun& w = m.window;
        m.seconds = w.listing + w.checkAll + w.oneFile + w.separate;
        m.peakKb = peakKilobytes();
        const QString done = QStringLiteral("Done.");
        m.ok = w.rows == count &&
               w.boxes == (method == QLatin1String("job")
                               ? QStringList{done, done, done}.join(QStringLiteral(" | "))
                               : done);
        if (!m.ok)
            std::fprintf(stderr, "%d rows of %d; boxes: %s\n", w.rows, count, qPrintable(w.boxes));
    }
    const WindowRun& w = m.window;
    std::printf("%.4f %ld %.4f %.4f %.4f %.4f %lld\n", m.seconds, m.peakKb, w.listing, w.checkAll,
                w.oneFile, w.separate, w.longestStallMs);
    return m.ok ? 0 : 1;
}

struct Setup {
    const MailServer* server = nullptr;
    int count = 0;
    QString work;
};

Measure measureInChild(const Setup& setup, const QString& method, int port, const QString& output) {
    QTemporaryDir work(QDir(setup.work).filePath(QStringLiteral("run-XXXXXX")));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), work.path());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--measure"), method, QString::number(port), setup.server->caFile(),
                 setup.server->user(), setup.server->password(), QString::number(setup.count),
                 output, work.path()});
    Measure m;
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(method));
        return m;
    }
    // The figures are the last line: a measure may print its own lines before.
    const QList<QByteArray> f =
        child.readAllStandardOutput().trimmed().split('\n').last().split(' ');
    m.ok = f.size() == 7;
    m.seconds = f.value(0).toDouble();
    m.peakKb = f.value(1).toLong();
    m.window.listing = f.value(2).toDouble();
    m.window.checkAll = f.value(3).toDouble();
    m.window.oneFile = f.value(4).toDouble();
    m.window.separate = f.value(5).toDouble();
    m.window.longestStallMs = f.value(6).toLongLong();
    return m;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The runs of one method at one round trip.
struct Series {
    std::vector<Measure> runs;

    double medianOf(double Measure::*field) const {
        std::vector<double> v;
        for (const Measure& m : runs)
            v.push_back(m.*field);
        return median(v);
    }
    double medianOf(double WindowRun::*field) const {
        std::vector<double> v;
        for (const Measure& m : runs)
            v.push_back(m.window.*field);
        return median(v);
    }
    double seconds() const { return medianOf(&Measure::seconds); }
    double minSeconds() const {
        double best = runs.empty() ? 0 : runs.front().seconds;
        for (const Measure& m : runs)
            best = std::min(best, m.seconds);
        return best;
    }
    double peakMb() const {
        long peak = 0;
        for (const Measure& m : runs)
            peak = std::max(peak, m.peakKb);
        return double(peak) / 1024;
    }
    qint64 longestStallMs() const {
        qint64 longest = 0;
        for (const Measure& m : runs)
            longest = std::max(longest, m.window.longestStallMs);
        return longest;
    }
};

void printTable(int rtt, const std::map<QString, Series>& s, bool withMbsync) {
    const Series& raw = s.at(QStringLiteral("raw"));
    const Series& listing = s.at(QStringLiteral("listing"));
    std::printf("\n### %d ms round trip\n\n", rtt);
    std::printf("| Measure | Median | Min | Peak RSS | Ratio |\n|---|---|---|---|---|\n");
    const auto row = [](const char* name, const Series& series, const QString& ratio) {
        std::printf("| %s | %.2f s | %.2f s | %.0f MB | %s |\n", name, series.seconds(),
                    series.minSeconds(), series.peakMb(), qPrintable(ratio));
    };
    const auto times = [](double a, double b) {
        return b > 0 ? QStringLiteral("%1×").arg(a / b, 0, 'f', 1) : QStringLiteral("–");
    };
    row("raw ceiling (network and TLS, in memory)", raw, QStringLiteral("1.0× of the ceiling"));
    row("listing through the window (Get All to \"Done.\")", listing,
        times(listing.seconds(), raw.seconds()) + QStringLiteral(" of the ceiling"));
    if (!s.count(QStringLiteral("job on disk"))) {
        std::printf("\nLongest stall of the window's thread while listing: %lld ms.\n",
                    listing.longestStallMs());
        std::fflush(stdout);
        return;
    }
    const Series& disk = s.at(QStringLiteral("job on disk"));
    const Series& tmpfs = s.at(QStringLiteral("job on tmpfs"));
    const Series* peerOnDisk = withMbsync ? &s.at(QStringLiteral("mbsync on disk")) : nullptr;
    const Series* peerOnTmpfs = withMbsync ? &s.at(QStringLiteral("mbsync on tmpfs")) : nullptr;
    const Series* peerUnflushed =
        withMbsync ? &s.at(QStringLiteral("mbsync, FSync no, on disk")) : nullptr;
    const auto jobRatio = [&](const Series& job, const Series* peer) {
        return peer ? times(job.seconds(), peer->seconds()) + QStringLiteral(" of mbsync")
                    : QStringLiteral("–");
    };
    // On the disk, against mbsync making each file durable and against mbsync leaving them all
    // to the system's cache.
    const auto diskRatio = [&](const Series& job) {
        return jobRatio(job, peerOnDisk) +
               (peerUnflushed
                    ? QStringLiteral(", ") + times(job.seconds(), peerUnflushed->seconds()) +
                          QStringLiteral(" of mbsync with FSync no")
                    : QString());
    };
    row("whole job, output on disk", disk, diskRatio(disk));
    row("whole job, output on tmpfs", tmpfs, jobRatio(tmpfs, peerOnTmpfs));
    if (withMbsync) {
        row("mbsync to a Maildir on disk (FSync, its default)", *peerOnDisk,
            times(peerOnDisk->seconds(), raw.seconds()) + QStringLiteral(" of the ceiling"));
        row("mbsync to a Maildir on disk, FSync no", *peerUnflushed,
            times(peerUnflushed->seconds(), raw.seconds()) + QStringLiteral(" of the ceiling"));
        row("mbsync to a Maildir on tmpfs", *peerOnTmpfs,
            times(peerOnTmpfs->seconds(), raw.seconds()) + QStringLiteral(" of the ceiling"));
    }
    const Series& command = s.at(QStringLiteral("export"));
    const Series& uids = s.at(QStringLiteral("uids"));
    const Series& uidsProcess = s.at(QStringLiteral("uids as a process"));
    const Series& again = s.at(QStringLiteral("export again"));
    const Series& inside = s.at(QStringLiteral("export again inside"));
    row("quentaril export, output on disk", command, diskRatio(command));
    row("sign-in and UID SEARCH ALL (ceiling of a run with nothing new)", uids,
        QStringLiteral("1.0× of its ceiling"));
    row("the same as a process of its own linking libetpan alone", uidsProcess,
        QStringLiteral("1.0× of its ceiling"));
    row("quentaril export with nothing new, a process of its own", again,
        times(again.seconds(), uidsProcess.seconds()) +
            QStringLiteral(" of its ceiling as a process"));
    row("the same without the program's start", inside,
        times(inside.seconds(), uids.seconds()) + QStringLiteral(" of its ceiling"));
    std::printf("\nWhole job in parts (medians): listing %.2f s, Check All %.3f s, "
                "\"Emails.txt\" %.2f s, one file per message %.2f s on disk; %.2f s, %.3f s, "
                "%.2f s, %.2f s on tmpfs. Longest stall of the window's thread while listing: "
                "%lld ms.\n",
                disk.medianOf(&WindowRun::listing), disk.medianOf(&WindowRun::checkAll),
                disk.medianOf(&WindowRun::oneFile), disk.medianOf(&WindowRun::separate),
                tmpfs.medianOf(&WindowRun::listing), tmpfs.medianOf(&WindowRun::checkAll),
                tmpfs.medianOf(&WindowRun::oneFile), tmpfs.medianOf(&WindowRun::separate),
                listing.longestStallMs());
    std::fflush(stdout);
}

// Keeps the server, and a proxy for each round trip, running until Enter is pressed, and prints
// the command that measures one method in this process, for a profiler to run.
int serve(const Setup& setup, const QList<int>& roundTrips) {
    std::vector<std::unique_ptr<DelayProxy>> proxies;
    for (const int rtt : roundTrips) {
        int port = setup.server->port();
        if (rtt > 0) {
            proxies.push_back(std::make_unique<DelayProxy>(port, rtt / 2));
            port = proxies.back()->port();
        }
        std::printf("%d ms: QT_QPA_PLATFORM=offscreen %s --measure raw|listing|job %d %s %s %s %d "
                    "OUTPUT WORK\n",
                    rtt, qPrintable(QCoreApplication::applicationFilePath()), port,
                    qPrintable(setup.server->caFile()), qPrintable(setup.server->user()),
                    qPrintable(setup.server->password()), setup.count);
    }
    std::printf("Press Enter to stop the server.\n");
    std::fflush(stdout);
    std::getchar();
    return 0;
}

int runAll(const QCommandLineParser& options) {
    Setup setup;
    setup.count = options.value(QStringLiteral("count")).toInt();
    const int repetitions = options.value(QStringLiteral("repetitions")).toInt();
    const bool listingOnly = options.isSet(QStringLiteral("listing-only"));
    const bool small = options.isSet(QStringLiteral("small"));
    const bool withMbsync = !listingOnly && !options.isSet(QStringLiteral("no-mbsync"));
    const int largeMb = options.value(QStringLiteral("large-message")).toInt();
    QList<int> roundTrips;
    for (const QString& ms : options.value(QStringLiteral("rtt")).split(u','))
        roundTrips.append(ms.toInt());
    const QString disk = QDir(options.value(QStringLiteral("disk"))).absolutePath();

    QTemporaryDir work;
    setup.work = work.path();
    if (largeMb > 0)
        setup.count = 1;
    const qint64 bytes = largeMb > 0
                             ? writeLargeMessage(seedInbox(work.path()), qint64(largeMb) << 20)
                         : small ? writeSmallMailbox(seedInbox(work.path()), setup.count)
                                 : writeMixedMailbox(seedInbox(work.path()), setup.count);
    if (bytes < 0) {
        std::fprintf(stderr, "could not write the messages\n");
        return 1;
    }
    const std::unique_ptr<MailServer> server = startBenchServer(work.path());
    if (!server)
        return 1;
    setup.server = server.get();
    if (largeMb > 0)
        std::printf("One plain-text message of %d MB (%.0f MB with its header), %d repetitions.\n",
                    largeMb, double(bytes) / 1e6, repetitions);
    else
        std::printf("%d %s messages (%.0f MB), %d repetitions; work folder and error log in "
                    "the temporary folder, %s.\n",
                    setup.count, small ? "small plain-text" : "mixed", double(bytes) / 1e6,
                    repetitions,
                    listingOnly ? "the listing only"
                                : qPrintable(QStringLiteral("job output in the build folder's ") +
                                             QFileInfo(disk).fileName() +
                                             QStringLiteral(" and on /dev/shm")));
    measureInChild(setup, QStringLiteral("raw"), server->port(), QString()); // warm-up
    if (options.isSet(QStringLiteral("serve")))
        return serve(setup, roundTrips);

    bool allOk = true;
    // Outputs on the disk are deleted only at the end: ext4 passes over inodes freed in the last
    // minute when it makes new ones, looking at each, so a run that followed the deletion of the
    // last run's 10,000 files spent seconds on it, whichever program it measured.
    std::vector<std::unique_ptr<QTemporaryDir>> outputsOnDisk;
    for (const int rtt : roundTrips) {
        std::unique_ptr<DelayProxy> proxy;
        if (rtt > 0)
            proxy = std::make_unique<DelayProxy>(server->port(), rtt / 2);
        const int port = proxy ? proxy->port() : server->port();
        std::map<QString, Series> series;
        const auto measure = [&](const QString& name, const QString& method,
                                 const QString& outputParent) {
            std::unique_ptr<QTemporaryDir> output;
            if (!outputParent.isEmpty())
                output = std::make_unique<QTemporaryDir>(
                    QDir(outputParent).filePath(QStringLiteral("quentaril-bench-XXXXXX")));
            // What an earlier measure left in the cache (mbsync's files without FSync, the store of
            // bodies) is written back first, so no measure pays for another's write-back.
            ::sync();
            const Measure m =
                measureInChild(setup, method, port, output ? output->path() : QString());
            allOk = allOk && m.ok;
            series[name].runs.push_back(m);
            if (outputParent == disk)
                outputsOnDisk.push_back(std::move(output));
        };
        for (int rep = 0; rep < repetitions; ++rep) {
            measure(QStringLiteral("raw"), QStringLiteral("raw"), QString());
            measure(QStringLiteral("listing"), QStringLiteral("listing"), QString());
            if (listingOnly)
                continue;
            measure(QStringLiteral("job on disk"), QStringLiteral("job"), disk);
            measure(QStringLiteral("job on tmpfs"), QStringLiteral("job"),
                    QStringLiteral("/dev/shm"));
            measure(QStringLiteral("export"), QStringLiteral("export"), disk);
            measure(QStringLiteral("uids"), QStringLiteral("uids"), QString());
            measure(QStringLiteral("uids as a process"), QStringLiteral("uids-process"), QString());
            measure(QStringLiteral("export again"), QStringLiteral("export-again"), disk);
            measure(QStringLiteral("export again inside"), QStringLiteral("export-again-inside"),
                    disk);
            if (!withMbsync)
                continue;
            measure(QStringLiteral("mbsync on disk"), QStringLiteral("mbsync"), disk);
            measure(QStringLiteral("mbsync on tmpfs"), QStringLiteral("mbsync"),
                    QStringLiteral("/dev/shm"));
            measure(QStringLiteral("mbsync, FSync no, on disk"), QStringLiteral("mbsync-nofsync"),
                    disk);
        }
        printTable(rtt, series, withMbsync);
    }
    return allOk ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--measure") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        LocalTimeZone::settle(); // as the program's main() does
        QApplication app(argc, argv);
        return measureInThisProcess(app.arguments().mid(2));
    }
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addOptions({
        {QStringLiteral("count"), QStringLiteral("Messages in the folder."), QStringLiteral("N"),
         QStringLiteral("2000")},
        {QStringLiteral("repetitions"), QStringLiteral("Runs of each measure."),
         QStringLiteral("R"), QStringLiteral("3")},
        {QStringLiteral("rtt"), QStringLiteral("Round trips in ms, comma-separated."),
         QStringLiteral("LIST"), QStringLiteral("0,50")},
        {QStringLiteral("disk"), QStringLiteral("Folder on the disk for the job's output."),
         QStringLiteral("FOLDER"), QStringLiteral(".")},
        {QStringLiteral("no-mbsync"), QStringLiteral("Leave out the mbsync peer.")},
        {QStringLiteral("listing-only"),
         QStringLiteral("Measure only the ceiling and the listing (for large folders).")},
        {QStringLiteral("small"),
         QStringLiteral("Make the folder N short plain-text messages (2 KB to 8 KB) instead.")},
        {QStringLiteral("large-message"),
         QStringLiteral("Make the folder one plain-text message of MB megabytes."),
         QStringLiteral("MB")},
        {QStringLiteral("serve"),
         QStringLiteral("Only start the server and print how to measure by hand.")},
    });
    options.process(app);
    return runAll(options);
}
