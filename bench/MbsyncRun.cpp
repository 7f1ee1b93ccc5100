#include "MbsyncRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <sys/resource.h>

#include <cstdio>

double runMbsync(const BenchLogin& login, const QString& output, PeerFlush flush, long& peakKb) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("mbsync"));
    if (program.isEmpty()) {
        std::fprintf(stderr, "mbsync is not installed\n");
        return -1;
    }
    const QString maildir = QDir(output).filePath(QStringLiteral("Maildir")) + u'/';
    QDir().mkpath(maildir);
    const QString config = QDir(login.work).filePath(QStringLiteral("mbsyncrc"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    if (flush == PeerFlush::None)
        file.write("FSync no\n\n");
    file.write(QStringLiteral("IMAPAccount bench\n"
                              "Host %1\nPort %2\nUser %3\nPass %4\n"
                              "SSLType IMAPS\nCertificateFile %5\n\n"
                              "IMAPStore remote\nAccount bench\n\n"
                              "MaildirStore local\nPath %6\nInbox %6INBOX\n\n"
                              "Channel pull\nFar :remote:\nNear :local:\nPatterns INBOX\n"
                              "Create Near\nSync Pull\nSyncState *\n")
                   .arg(QStringLiteral("localhost")) // the name its certificate holds
                   .arg(login.port)
                   .arg(login.user, login.password, login.caFile, maildir)
                   .toUtf8());
    file.close();
    QProcess mbsync;
    QElapsedTimer clock;
    clock.start();
    mbsync.start(program,
                 {QStringLiteral("-q"), QStringLiteral("-c"), config, QStringLiteral("-a")});
    const bool ok = mbsync.waitForFinished(-1) && mbsync.exitStatus() == QProcess::NormalExit &&
                    mbsync.exitCode() == 0;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    peakKb = usage.ru_maxrss;
    if (!ok) {
        std::fprintf(stderr, "mbsync failed: %s\n", mbsync.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}
