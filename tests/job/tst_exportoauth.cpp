#include "MailServer.h"
#include "OAuthMailServers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// "quentaril export" signing in with OAuth2 as a timer runs it: no display, no keyring, so the
// device code is printed on the terminal and the command waits for the user to enter it; no
// browser is ever started.
class TestExportOAuth : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void deviceCodeOnTheTerminal_data();
    void deviceCodeOnTheTerminal();

private:
    OAuthMailServers servers;
    QTemporaryDir home;
};

void TestExportOAuth::initTestCase() {
    QVERIFY2(servers.isRunning(), qPrintable(servers.errorText()));
    const QString settings = home.filePath(QStringLiteral("config/Vantrello"));
    QVERIFY(QDir().mkpath(settings));
    QFile ini(settings + QStringLiteral("/Quentaril.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    const MailServer& server = *servers.server();
    ini.write(
        QStringLiteral("[Quentaril]\nServer=%1:%2\nTrustedCertificates=%3\nAuthMethod=oauth2\n"
                       "OAuthAuthority=%4\nOAuthClientId=%5\n")
            .arg(server.host())
            .arg(server.port())
            .arg(server.caFile(), servers.idp()->authority(), servers.idp()->clientId())
            .toUtf8());
    // Whatever a program might start to show an address: each leaves a mark.
    const QString bin = home.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    for (const char* opener : {"xdg-open", "x-www-browser", "sensible-browser", "firefox"}) {
        QFile script(QDir(bin).filePath(QString::fromLatin1(opener)));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/opened\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    }
}

void TestExportOAuth::deviceCodeOnTheTerminal_data() {
    QTest::addColumn<bool>("approve");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("summary");
    QTest::newRow("code entered") << true << 0 << "Saved 5, already saved 0, skipped 0.\n";
    QTest::newRow("sign-in declined") << false << 3 << "Saved 0, already saved 0, skipped 0.\n";
}

void TestExportOAuth::deviceCodeOnTheTerminal() {
    QFETCH(bool, approve);
    QFETCH(int, status);
    QFETCH(QString, summary);

    QTemporaryDir saved;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    const QString bin = home.filePath(QStringLiteral("bin"));
    environment.insert(QStringLiteral("PATH"),
                       bin + u':' + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("BROWSER"), QDir(bin).filePath(QStringLiteral("firefox")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setReadChannel(QProcess::StandardError);
    program.start(QStringLiteral(QUENTARIL_BINARY),
                  {QStringLiteral("export"), QStringLiteral("--user"), servers.server()->user(),
                   QStringLiteral("--to"), saved.path()});

    static const QRegularExpression shown(QStringLiteral("open (\\S+) and enter the code (\\w+)"));
    QString err;
    QRegularExpressionMatch code;
    while (!code.hasMatch() && program.waitForReadyRead(20000)) {
        err += QString::fromLocal8Bit(program.readAllStandardError());
        code = shown.match(err);
    }
    QVERIFY2(code.hasMatch(), qPrintable(err));
    QVERIFY(QUrl(code.captured(1)).isValid());
    QVERIFY(servers.idp()->approveDevice(code.captured(2), !approve));

    QVERIFY(program.waitForFinished(30000));
    err += QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(program.exitCode() == status, qPrintable(err));
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), summary);
    QCOMPARE(QDir(saved.path()).entryList(QDir::Files).size(), approve ? 5 : 0);
    QVERIFY(!QFile::exists(QDir(bin).filePath(QStringLiteral("opened"))));
}

QTEST_GUILESS_MAIN(TestExportOAuth)
#include "tst_exportoauth.moc"
