#include "ModalAnswerer.h"
#include "OAuthMailServers.h"
#include "Screenshot.h"
#include "SimulatedBrowser.h"
#include "TemporarySettings.h"
#include "WindowFixture.h"

#include "app/BrowserSignInBox.h"
#include "app/DeviceCodeBox.h"
#include "app/Form1.h"
#include "auth/SignIn.h"
#include "auth/TokenStore.h"
#include "base/SettingsStore.h"
#include "list/MessageListView.h"
#include "mail/ErrorLog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

// OAuth2 sign-in in real windows on an X server: Connect through a simulated browser, list the
// inbox, save it; and the browser sign-in box and the device-code box as the user sees them (their
// screenshots illustrate the README).

namespace {

const QString screenshots = QStringLiteral(QUENTARIL_SCREENSHOT_DIR);
const QString user = QStringLiteral("user@example.test");

// A plain box that says "Done.": clicks its OK button.
ModalAnswerer::Step doneBox() {
    return [](QWidget& modal) -> QString {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (!box)
            return QStringLiteral("not a message box");
        if (box->text() != QStringLiteral("Done."))
            return QStringLiteral("says \"%1\"").arg(box->text());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        return {};
    };
}

} // namespace

class TestOAuthWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { answerer.clear(); }
    void connectListAndSave();
    void deviceCodeBoxAsShown();
    void browserSignInBoxAsShown();

private:
    std::unique_ptr<Form1> showWindow(SimulatedBrowser& browser);

    QTemporaryDir settings;
    QTemporaryDir output;
    std::unique_ptr<OAuthMailServers> servers;
    IdentityProvider* idp = nullptr;
    ModalAnswerer answerer;
};

void TestOAuthWindow::initTestCase() {
    QCOMPARE(QApplication::platformName(), QStringLiteral("xcb"));
    servers = std::make_unique<OAuthMailServers>();
    QVERIFY2(servers->isRunning(), qPrintable(servers->errorText()));
    idp = servers->idp();

    TemporarySettings::usePath(settings.path());
    ErrorLog::setFolder(settings.path());
    servers->saveSettings();
}

std::unique_ptr<Form1> TestOAuthWindow::showWindow(SimulatedBrowser& browser) {
    auto window = loadedWindow([&browser](Form1& form) {
        form.prepareSignIn = [&browser](auth::SignIn& signIn) {
            signIn.setOpener(browser.opener());
            signIn.store().setKeyringTimeout(2s);
        };
    });
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    window->Combo1->setCurrentIndex(0);
    QTest::keyClicks(window->Text1, user);
    return window;
}

void TestOAuthWindow::connectListAndSave() {
    SimulatedBrowser browser;
    auto window = showWindow(browser);
    QVERIFY(window);
    QVERIFY(!window->Text2->isEnabled());

    QTest::mouseClick(window->PushButton5, Qt::LeftButton);
    QCOMPARE(window->PushButton5->text(), QStringLiteral("Disconnect"));
    QCOMPARE(browser.opened(), 1);

    QTest::mouseClick(window->Option3, Qt::LeftButton); // Inbox
    answerer.expect(QStringLiteral("end of Get All"), doneBox());
    QTest::mouseClick(window->PushButton10, Qt::LeftButton);
    QVERIFY2(answerer.problems().isEmpty(), qPrintable(answerer.problems().join(u'\n')));
    const int listed = window->ListView1->list().count();
    QVERIFY(listed > 0);
    QCOMPARE(browser.opened(), 1);

    QTest::mouseClick(window->PushButton4, Qt::LeftButton); // Check All
    QTest::mouseClick(window->Option1, Qt::LeftButton);     // separate files
    window->Text3->setText(output.path());
    answerer.expect(QStringLiteral("end of the download"), doneBox());
    QTest::mouseClick(window->PushButton7, Qt::LeftButton);
    QVERIFY2(answerer.problems().isEmpty(), qPrintable(answerer.problems().join(u'\n')));
    QCOMPARE(answerer.pending(), 0);
    QCOMPARE(QDir(output.path()).entryList(QDir::Files).size(), listed);
    QCOMPARE(browser.opened(), 1);
}

void TestOAuthWindow::deviceCodeBoxAsShown() {
    SettingsStore::Save(QStringLiteral("OAuthFlow"), QStringLiteral("device"));
    SimulatedBrowser browser;
    auto window = showWindow(browser);
    QVERIFY(window);
    QImage shot;
    connect(&window->signIn(), &auth::SignIn::deviceCodeReady, this, [&] {
        QTimer::singleShot(0, this, [&] {
            DeviceCodeBox* box = window->deviceCodeBox();
            QVERIFY(box && QTest::qWaitForWindowExposed(box));
            shot = Screenshot::save(screenshots, QStringLiteral("device-code.png"), {box});
            idp->approveDevice(box->userCode());
        });
    });
    QTest::mouseClick(window->PushButton5, Qt::LeftButton);

    QCOMPARE(window->PushButton5->text(), QStringLiteral("Disconnect"));
    QVERIFY(!shot.isNull());
    QVERIFY(Screenshot::colourCount(shot) > 16); // not a blank grab
    QTRY_VERIFY(!window->deviceCodeBox());
    QCOMPARE(browser.opened(), 0);
}

// A browser that never shows the page: the box gives its address, and Cancel, clicked as the user
// does, ends the sign-in with no other box.
void TestOAuthWindow::browserSignInBoxAsShown() {
    SettingsStore::Save(QStringLiteral("OAuthFlow"), QStringLiteral("browser"));
    SimulatedBrowser browser(SimulatedBrowser::Behaviour::CloseThePage);
    auto window = showWindow(browser);
    QVERIFY(window);
    QImage shot;
    connect(&window->signIn(), &auth::SignIn::browserPageOpened, this, [&] {
        QTimer::singleShot(0, this, [&] {
            BrowserSignInBox* box = window->browserSignInBox();
            QVERIFY(box && QTest::qWaitForWindowExposed(box));
            QVERIFY(!window->PushButton5->isEnabled());
            shot = Screenshot::save(screenshots, QStringLiteral("browser-sign-in.png"), {box});
            QTest::mouseClick(box->cancelButton(), Qt::LeftButton);
        });
    });
    QTest::mouseClick(window->PushButton5, Qt::LeftButton);

    QVERIFY2(answerer.problems().isEmpty(), qPrintable(answerer.problems().join(u'\n')));
    QCOMPARE(window->PushButton5->text(), QStringLiteral("1. Connect"));
    QVERIFY(window->PushButton5->isEnabled());
    QVERIFY(!shot.isNull());
    QVERIFY(Screenshot::colourCount(shot) > 16);
    QTRY_VERIFY(!window->browserSignInBox());
    QCOMPARE(browser.opened(), 1);
}

QTEST_MAIN(TestOAuthWindow)
#include "tst_oauthwindow.moc"
