#include "MailServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

QString runScript(const QStringList& arguments, bool& ok) {
    QProcess process;
    process.start(MailServer::script(), arguments);
    ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    return ok ? out : out + QString::fromUtf8(process.readAllStandardError());
}

} // namespace

QString MailServer::script() {
    return QStringLiteral(QUENTARIL_SOURCE_DIR "/scripts/mail-server");
}

bool MailServer::generate(const QString& folder, int count) {
    QProcess process;
    process.start(script(), {QStringLiteral("generate"), folder, QString::number(count)});
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QString MailServer::defaultSeedDir() {
    return QStringLiteral(QUENTARIL_TEST_DATA "/mailbox");
}

MailServer::MailServer() : MailServer(Options{}) {}

MailServer::MailServer(const Options& options) : user_(options.user), password_(options.password) {
    // The server's unprivileged processes must reach their files inside this folder.
    QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ExeOther |
                                           QFile::ReadOther | QFile::ExeGroup | QFile::ReadGroup);
    const QString seed = options.seedDir.isEmpty() ? defaultSeedDir() : options.seedDir;
    bool ok = false;
    // The watcher stops the server should this process end without running the destructor.
    QStringList arguments{QStringLiteral("start"),
                          stateDir(),
                          seed,
                          QStringLiteral("--user"),
                          user_,
                          QStringLiteral("--password"),
                          password_,
                          QStringLiteral("--watch-pid"),
                          QString::number(QCoreApplication::applicationPid())};
    if (!options.oauth2Introspection.isEmpty())
        arguments << QStringLiteral("--oauth2-introspection") << options.oauth2Introspection;
    if (!options.prefix.isEmpty())
        arguments << QStringLiteral("--prefix") << options.prefix;
    if (!options.separator.isEmpty())
        arguments << QStringLiteral("--separator") << options.separator;
    for (const QString& folder : options.specialUse)
        arguments << QStringLiteral("--special-use") << folder;
    const QString out = runScript(arguments, ok);
    if (!ok) {
        error_ = out;
        return;
    }
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("port=")))
            port_ = line.mid(5).toInt();
        else if (line.startsWith(QLatin1String("ca=")))
            caFile_ = line.mid(3);
    }
}

MailServer::~MailServer() {
    bool ok = false;
    runScript({QStringLiteral("stop"), stateDir()}, ok);
}

QString MailServer::stateDir() const {
    return dir_.path();
}

QString MailServer::logText() const {
    QFile file(QDir(stateDir()).filePath(QStringLiteral("dovecot.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList MailServer::flags(const QString& folder) const {
    bool ok = false;
    const QString out = runScript({QStringLiteral("flags"), stateDir(), folder}, ok);
    QStringList result;
    if (!ok)
        return result;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        result.append(line.section(QLatin1Char(' '), 1));
    return result;
}
