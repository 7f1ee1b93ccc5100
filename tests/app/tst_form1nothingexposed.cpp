// The main window never replaces a file and never leaves the password where others can read it:
// a file that appears under the name a download chose is kept, and the settings file is made
// owner-only whenever a password is written to it, however it was made.
#include "../export/FixedClock.h"
#include "FileContents.h"
#include "ScriptedPrompter.h"
#include "TemporarySettings.h"
#include "WindowFixture.h"
#include "app/Form1.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QFile::Permissions othersMayTouch =
    QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;

} // namespace

class TestForm1NothingExposed : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void fileAppearingDuringTheDownloadIsKept_data();
    void fileAppearingDuringTheDownloadIsKept();
    void passwordMakesTheSettingsFileOwnerOnly_data();
    void passwordMakesTheSettingsFileOwnerOnly();

private:
    std::unique_ptr<TemporarySettings> settings;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<FixedClock> clock;
    std::unique_ptr<QTemporaryDir> output;
};

void TestForm1NothingExposed::init() {
    settings = std::make_unique<TemporarySettings>();
    prompter = std::make_unique<ScriptedPrompter>();
    clock = std::make_unique<FixedClock>(QDate(2015, 2, 19));
    output = std::make_unique<QTemporaryDir>();
}

void TestForm1NothingExposed::cleanup() {
    output.reset();
    clock.reset();
    prompter.reset();
    settings.reset();
}

void TestForm1NothingExposed::fileAppearingDuringTheDownloadIsKept_data() {
    QTest::addColumn<bool>("oneFile");
    QTest::addColumn<QString>("taken");   // the name another program writes during the run
    QTest::addColumn<QString>("written"); // the name the download's file takes instead
    QTest::newRow("one file") << true << "Emails.txt"
                              << "Emails (2).txt";
    QTest::newRow("separate files") << false << "2 - 2015-02-19 Message 400.txt"
                                    << "2 - 2015-02-19 Message 400 (2).txt";
}

// Another program writes a file under the name the download is about to give its own while the
// download runs: the run ends with "Done.", that file keeps its bytes, the download's takes the
// next free name.
void TestForm1NothingExposed::fileAppearingDuringTheDownloadIsKept() {
    QFETCH(bool, oneFile);
    QFETCH(QString, taken);
    QFETCH(QString, written);
    Form1 form;
    form.Text3->setText(output->path());
    (oneFile ? form.Option2 : form.Option1)->setChecked(true);
    MessageListModel& list = form.ListView1->list();
    messageRecords().recreate(400);
    for (int i = 1; i <= 400; ++i) {
        list.appendRow(QStringLiteral("Sender %1").arg(i));
        messageRecords().at(i).Subject = QStringLiteral("Message %1").arg(i);
    }
    list.setChecked(1, true);
    list.setChecked(400, true);

    std::function<void()> writeOnceRunning = [&] {
        if (form.PushButton7->text() == QStringLiteral("Stop Downloading"))
            writeFile(output->filePath(taken), "another program's");
        else
            QTimer::singleShot(0, writeOnceRunning);
    };
    QTimer::singleShot(0, writeOnceRunning);
    form.PushButton7->click();

    QCOMPARE(prompter->texts(), QStringList{"Done."});
    QCOMPARE(fileContents(output->filePath(taken)), QByteArray("another program's"));
    QVERIFY(fileContents(output->filePath(written)).contains("Subject: Message 400\r\n"));
    QCOMPARE(QDir(output->path()).entryList(QDir::Files | QDir::Hidden).size(), oneFile ? 2 : 3);
}

void TestForm1NothingExposed::passwordMakesTheSettingsFileOwnerOnly_data() {
    QTest::addColumn<QByteArray>("handMade"); // the file as the user wrote it, with mode 0644
    QTest::addColumn<bool>("rememberMe");
    QTest::addColumn<bool>("ownerOnly");
    QTest::newRow("password typed with Remember me")
        << QByteArray("[Quentaril]\nUser=alex\nStayConnected=1\n") << true << true;
    QTest::newRow("password written by hand")
        << QByteArray("[Quentaril]\nUser=alex\nPassword=secret\nStayConnected=1\n") << true << true;
    QTest::newRow("no password kept")
        << QByteArray("[Quentaril]\nUser=alex\nStayConnected=0\n") << false << false;
}

// The user made the settings file by hand, readable by all, as editors do; the window starts and
// the password is typed.
void TestForm1NothingExposed::passwordMakesTheSettingsFileOwnerOnly() {
    QFETCH(QByteArray, handMade);
    QFETCH(bool, rememberMe);
    QFETCH(bool, ownerOnly);
    const QString path = SettingsStore::filePath();
    writeFile(path, handMade);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther));
    SettingsStore::reopen();

    const auto form = loadedWindow();
    QCOMPARE(form->Check1->isChecked(), rememberMe);
    form->Text2->setText(QStringLiteral("typed secret"));

    QCOMPARE(fileContents(path).contains("Password=typed secret"), rememberMe);
    QCOMPARE(!(QFile::permissions(path) & othersMayTouch), ownerOnly);
    QVERIFY(prompter->boxes.isEmpty());
}

QTEST_MAIN(TestForm1NothingExposed)
#include "tst_form1nothingexposed.moc"
