#include "ExportRun.h"

#include "UidSearch.h"

#include "app/ExportCommand.h"
#include "base/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>

#include <sys/resource.h>

#include <cstdio>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

double runExport(const BenchLogin& login, const QString& output, ExportMeasure measure,
                 long& peakKb) {
    const QDir work(login.work);
    const QString settings = work.filePath(QStringLiteral("config/Vantrello"));
    const QString passwordFile = work.filePath(QStringLiteral("password"));
    if (!QDir().mkpath(settings) ||
        !writeFile(settings + QStringLiteral("/Quentaril.ini"),
                   "[Quentaril]\nAuthMethod=password\nTrustedCertificates=" +
                       login.caFile.toUtf8() + '\n') ||
        !writeFile(passwordFile, login.password.toUtf8() + '\n'))
        return -1;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const QStringList arguments{QStringLiteral("export"),
                                QStringLiteral("--folder"),
                                QStringLiteral("Inbox"),
                                QStringLiteral("--to"),
                                output,
                                QStringLiteral("--server"),
                                QStringLiteral("localhost:%1").arg(login.port),
                                QStringLiteral("--user"),
                                login.user,
                                QStringLiteral("--password-file"),
                                passwordFile};
    const auto once = [&]() -> double {
        QProcess program;
        program.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        program.start(QStringLiteral(QUENTARIL_BINARY), arguments);
        const bool ok = program.waitForFinished(-1) &&
                        program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        if (!ok) {
            std::fprintf(stderr, "quentaril export failed: %s\n",
                         program.readAllStandardError().constData());
            return -1;
        }
        return seconds;
    };
    if (measure != ExportMeasure::WholeJob && once() < 0)
        return -1;
    if (measure != ExportMeasure::NothingNewInside) {
        const double seconds = once();
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        peakKb = usage.ru_maxrss;
        return seconds;
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       work.filePath(QStringLiteral("config")));
    SettingsStore::reopen();
    ExportOptions options;
    options.folder = QStringLiteral("Inbox");
    options.saveFolder = output;
    options.server = QStringLiteral("localhost:%1").arg(login.port);
    options.user = login.user;
    options.passwordFile = passwordFile;
    QElapsedTimer clock;
    clock.start();
    const int status = exportWith(options);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    peakKb = usage.ru_maxrss;
    return status == 0 ? seconds : -1;
}

int uidSearchInProcess(const BenchLogin& login) {
    return uidSearchAll(login.host.toUtf8().constData(), login.port,
                        login.user.toUtf8().constData(), login.password.toUtf8().constData());
}

double uidSearchAsProcess(const BenchLogin& login, int count, long& peakKb) {
    QProcess program;
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(UID_SEARCH_CEILING),
                  {login.host, QString::number(login.port), login.user, login.password});
    const bool ok = program.waitForFinished(-1) && program.exitStatus() == QProcess::NormalExit &&
                    program.exitCode() == 0 &&
                    program.readAllStandardOutput().trimmed().toInt() == count;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    peakKb = usage.ru_maxrss;
    return ok ? seconds : -1;
}
