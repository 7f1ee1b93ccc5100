#include "RetrievalFixture.h"
#include "SilentListener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// Closing the main window ends the program at once, also while a command waits on the network:
// the command ends and returns, so the application's event loop can finish. Each command runs
// inside the application's own loop, as a click would, for quitting ends only that loop.
class TestCloseWhileBusy : public QObject {
    Q_OBJECT

private slots:
    void closingDuringAListingEndsIt();
    void closingDuringAConnectEndsIt();

private:
    std::unique_ptr<Form1> closingWindow(const ServerLogin& login);
    static void runInApplicationLoop(const std::function<void()>& command);

    QTemporaryDir settings;
    QTemporaryDir seed;
    ScriptedPrompter prompter;
};

// A loaded window with the login filled in, not yet connected; closing it quits the application.
std::unique_ptr<Form1> TestCloseWhileBusy::closingWindow(const ServerLogin& login) {
    useServer(login, settings.path());
    auto window = loadedWindow();
    window->Text1->setText(login.user);
    window->Text2->setText(login.password);
    connect(window.get(), &Form1::closed, qApp, &QCoreApplication::quit);
    window->show();
    return window;
}

void TestCloseWhileBusy::runInApplicationLoop(const std::function<void()>& command) {
    QTimer::singleShot(0, qApp, command);
    QCoreApplication::exec();
}

void TestCloseWhileBusy::closingDuringAListingEndsIt() {
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("INBOX")), 300));
    MailServer server(MailServer::Options{seed.path()});
    QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
    auto window = closingWindow(loginOf(server));
    window->PushButton5_Click();
    QCOMPARE(window->PushButton5->text(), QStringLiteral("Disconnect"));
    window->Option3->setChecked(true);
    QMetaObject::Connection closeOnFirstRow =
        connect(&window->ListView1->list(), &QAbstractItemModel::rowsInserted, window.get(),
                [&window] { window->close(); });

    runInApplicationLoop([&window] { window->PushButton10_Click(); });

    disconnect(closeOnFirstRow);
    QVERIFY(!window->isVisible());
    QVERIFY(window->ListView1->list().count() < 300);
    QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
}

void TestCloseWhileBusy::closingDuringAConnectEndsIt() {
    SilentListener silent;
    const ServerLogin nobody{QStringLiteral("127.0.0.1"), silent.port(), QString(),
                             QStringLiteral("user"), QStringLiteral("secret")};
    auto window = closingWindow(nobody);
    QCOMPARE(window->PushButton5->text(), QStringLiteral("1. Connect"));
    QTimer::singleShot(300, window.get(), [&window] { window->close(); });

    QElapsedTimer clock;
    clock.start();
    runInApplicationLoop([&window] { window->PushButton5_Click(); });

    // Ended by the close, well before the network would have given up.
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window->PushButton5->text(), QStringLiteral("1. Connect"));
}

QTEST_MAIN(TestCloseWhileBusy)
#include "tst_closewhilebusy.moc"
