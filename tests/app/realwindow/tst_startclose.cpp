#include "XClient.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The built program on an X server: it starts offline with settings of its own, shows its main
// window, and ends cleanly, with nothing on its error output, when the window manager's close box
// is used.
class TestStartAndClose : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void closeBoxEndsTheProgram();

private:
    QTemporaryDir home;
    QProcess program;
};

void TestStartAndClose::initTestCase() {
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "no X display: run under xvfb-run");
    QVERIFY(home.isValid());
}

// Whatever happened, the program does not outlive its test.
void TestStartAndClose::cleanup() {
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished(5000);
    }
}

void TestStartAndClose::closeBoxEndsTheProgram() {
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Fresh settings: no auto-connect, so the start stays offline and no real settings are read.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // One start in a hundred offers the maker's web page; a browser that does nothing keeps that
    // offline too.
    environment.insert(QStringLiteral("DEFAULT_BROWSER"), QStringLiteral("true"));
    environment.insert(QStringLiteral("BROWSER"), QStringLiteral("true"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUENTARIL_BINARY), {});
    QVERIFY2(program.waitForStarted(5000), qPrintable(program.errorString()));

    XClient x;
    QVERIFY(x.isOpen());
    QList<std::uint32_t> windows;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(windows = x.windows(program.processId(), QStringLiteral("Quentaril"))).isEmpty(), 10000);
    QCOMPARE(windows.size(), 1);
    QVERIFY(x.takesDeleteWindow(windows.first()));
    QCOMPARE(program.state(), QProcess::Running);

    x.sendDeleteWindow(windows.first());
    QVERIFY2(program.waitForFinished(10000), "the program did not end after its window closed");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), QString());
}

QTEST_GUILESS_MAIN(TestStartAndClose)
#include "tst_startclose.moc"
