#include "FileContents.h"
#include "IdentityProvider.h"
#include "XClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

// The built program on an X server: it starts with settings of its own, shows its main window, and
// ends cleanly, with nothing on its error output, when the window manager's close box is used;
// also while a browser sign-in waits, which that close ends at once.
class TestStartAndClose : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void closeBoxEndsTheProgram();
    void closeBoxEndsAWaitingSignIn();

private:
    // Starts the program with these lines in its settings file and waits for its main window.
    std::uint32_t start(const QStringList& settings);
    // Closes the main window through the close box; the program must end within limitMs.
    void closeAndExpectTheEnd(std::uint32_t window, int limitMs);

    QTemporaryDir home;
    QProcess program;
    XClient x;
};

void TestStartAndClose::initTestCase() {
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "no X display: run under xvfb-run");
    QVERIFY(home.isValid());
    QVERIFY(x.isOpen());
}

// Whatever happened, the program does not outlive its test.
void TestStartAndClose::cleanup() {
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished(5000);
    }
}

std::uint32_t TestStartAndClose::start(const QStringList& settings) {
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    const QString config = home.filePath(QStringLiteral("config"));
    const QString bin = home.filePath(QStringLiteral("bin"));
    if (!QDir().mkpath(runtime) || !QDir().mkpath(config + QStringLiteral("/Vantrello")) ||
        !QDir().mkpath(bin))
        return 0;
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile ini(config + QStringLiteral("/Vantrello/Quentaril.ini"));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    ini.write(QStringLiteral("[Quentaril]\n%1\n").arg(settings.join(u'\n')).toUtf8());
    ini.close();
    // A browser that writes down the address it was asked to show, and shows nothing.
    const QString opener = bin + QStringLiteral("/xdg-open");
    QFile script(opener);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$(dirname \"$0\")/opened\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("PATH"),
                       bin + u':' + environment.value(QStringLiteral("PATH")));
    // No keyring: the sign-in does not wait for one.
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUENTARIL_BINARY), {});
    if (!program.waitForStarted(5000))
        return 0;

    QList<std::uint32_t> windows;
    const bool shown = QTest::qWaitFor(
        [&] {
            return !(windows = x.windows(program.processId(), QStringLiteral("Quentaril")))
                        .isEmpty();
        },
        10000);
    return shown && windows.size() == 1 ? windows.first() : 0;
}

void TestStartAndClose::closeAndExpectTheEnd(std::uint32_t window, int limitMs) {
    QVERIFY(x.takesDeleteWindow(window));
    QCOMPARE(program.state(), QProcess::Running);
    QElapsedTimer clock;
    clock.start();
    x.sendDeleteWindow(window);
    QVERIFY2(program.waitForFinished(limitMs),
             qPrintable(QStringLiteral("the program did not end within %1 ms of its window's "
                                       "close")
                            .arg(limitMs)));
    QVERIFY2(clock.elapsed() <= limitMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), QString());
}

void TestStartAndClose::closeBoxEndsTheProgram() {
    // Fresh settings: no auto-connect, so the start stays offline. One start in a hundred offers
    // the maker's web page; the browser of start() keeps that offline too.
    const std::uint32_t window = start({});
    QVERIFY(window);
    closeAndExpectTheEnd(window, 10000);
}

// A sign-in in a browser that never comes up: its box shows, and closing the main window ends the
// sign-in and the program within a second; the sign-in's loopback listener is gone with it.
void TestStartAndClose::closeBoxEndsAWaitingSignIn() {
    IdentityProvider idp;
    QVERIFY2(idp.isRunning(), qPrintable(idp.errorText()));
    const std::uint32_t window =
        start({QStringLiteral("User=user@example.test"), QStringLiteral("Combo1=0"),
               QStringLiteral("StayConnected=1"), QStringLiteral("AutoConnect=1"),
               // Never reached: the sign-in comes first. Loopback all the same.
               QStringLiteral("Server=127.0.0.1:9"), QStringLiteral("AuthMethod=oauth2"),
               QStringLiteral("OAuthAuthority=") + idp.authority(),
               QStringLiteral("OAuthClientId=") + idp.clientId()});
    QVERIFY(window);
    QTRY_VERIFY_WITH_TIMEOUT(
        !x.windows(program.processId(), QStringLiteral("Sign in to Outlook.com / Hotmail"))
             .isEmpty(),
        20000);
    // The box may show before the stand-in browser has written the address it was given.
    const QString opened = home.filePath(QStringLiteral("bin/opened"));
    QTRY_VERIFY_WITH_TIMEOUT(fileContents(opened).endsWith('\n'), 10000);
    const QUrl address(QString::fromUtf8(fileContents(opened).trimmed()));
    const QUrl redirect(
        QUrlQuery(address).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
    QCOMPARE(redirect.host(), QStringLiteral("127.0.0.1"));

    closeAndExpectTheEnd(window, 1000);
    QTcpSocket probe;
    probe.connectToHost(redirect.host(), quint16(redirect.port()));
    QVERIFY(!probe.waitForConnected(1000));
}

QTEST_GUILESS_MAIN(TestStartAndClose)
#include "tst_startclose.moc"
