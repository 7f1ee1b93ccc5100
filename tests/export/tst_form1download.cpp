#include "FixedClock.h"
#include "ScriptedPrompter.h"
#include "TemporarySettings.h"
#include "app/Form1.h"
#include "export/SavedRecord.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString startCaption = QStringLiteral("3. Start Downloading");
const QString stopCaption = QStringLiteral("Stop Downloading");

} // namespace

// The download command as the main window runs it: captions, pointer, boxes and Stop.
class TestForm1Download : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyListDoesNothing();
    void nothingChecked();
    void finishedRunSaysDone_data();
    void finishedRunSaysDone();
    void failedRunNeverSaysDone();
    void stopButtonEndsTheRun();
    void clearListEndsTheRunShort();
    void skipsWhatWasSavedBefore_data();
    void skipsWhatWasSavedBefore();
    void nothingChangesWhatTheRunSaves_data();
    void nothingChangesWhatTheRunSaves();

private:
    void fill(int rows, std::initializer_list<int> checked);
    QStringList savedFiles() const { return QDir(output->path()).entryList(QDir::Files); }

    QTemporaryDir settings;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<FixedClock> clock;
    std::unique_ptr<QTemporaryDir> output;
    std::unique_ptr<Form1> form;
};

void TestForm1Download::initTestCase() {
    TemporarySettings::usePath(settings.path());
}

void TestForm1Download::init() {
    prompter = std::make_unique<ScriptedPrompter>();
    clock = std::make_unique<FixedClock>(QDate(2015, 2, 19));
    output = std::make_unique<QTemporaryDir>();
    form = std::make_unique<Form1>();
    form->Text3->setText(output->path());
    form->Option1->setChecked(true);
    form->PushButton7->setText(startCaption);
}

void TestForm1Download::cleanup() {
    form.reset();
    output.reset();
    clock.reset();
    prompter.reset();
}

void TestForm1Download::fill(int rows, std::initializer_list<int> checked) {
    MessageListModel& list = form->ListView1->list();
    messageRecords().recreate(rows);
    for (int i = 1; i <= rows; ++i) {
        list.appendRow(QStringLiteral("Sender %1").arg(i));
        StoredRecord& record = messageRecords().at(i);
        record.Subject = QStringLiteral("Message %1").arg(i);
        record.Origin = {QStringLiteral("imap.test:993"),
                         QStringLiteral("amy"),
                         QStringLiteral("Inbox"),
                         7,
                         quint32(i),
                         QStringLiteral("m%1@test").arg(i),
                         QStringLiteral("s@test"),
                         {}};
    }
    for (int i : checked)
        list.setChecked(i, true);
}

void TestForm1Download::emptyListDoesNothing() {
    form->PushButton7->click();
    QVERIFY(prompter->boxes.isEmpty());
    QCOMPARE(form->PushButton7->text(), startCaption);
    QVERIFY(savedFiles().isEmpty());
}

void TestForm1Download::nothingChecked() {
    fill(3, {});
    form->PushButton7->click();
    QCOMPARE(prompter->texts(), QStringList{"Please select at least 1 message!"});
    QCOMPARE(prompter->boxes[0].icon, BoxIcon::Exclamation);
    QCOMPARE(form->PushButton7->text(), startCaption);
    QCOMPARE(form->mousePointer(), MousePointer::Default);
    QVERIFY(savedFiles().isEmpty());
}

void TestForm1Download::finishedRunSaysDone_data() {
    QTest::addColumn<bool>("separateFiles");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("separate files")
        << true << QStringList{"1 - 2015-02-19 Message 2.txt", "2 - 2015-02-19 Message 3.txt"};
    QTest::newRow("one file") << false << QStringList{"Emails.txt"};
}

void TestForm1Download::finishedRunSaysDone() {
    QFETCH(bool, separateFiles);
    fill(3, {2, 3});
    (separateFiles ? form->Option1 : form->Option2)->setChecked(true);
    QString captionDuringRun;
    prompter->onMessage = [&](const BoxContent&) { captionDuringRun = form->PushButton7->text(); };
    form->StopDownloadRequested = true; // left over from an earlier stopped run
    form->PushButton7->click();
    QCOMPARE(prompter->texts(), QStringList{"Done."});
    QCOMPARE(prompter->boxes[0].icon, BoxIcon::None);
    // "Done." comes after the pointer is reset and before the caption goes back.
    QCOMPARE(captionDuringRun, stopCaption);
    QCOMPARE(form->PushButton7->text(), startCaption);
    QCOMPARE(form->mousePointer(), MousePointer::Default);
    QTEST(savedFiles(), "files");
}

void TestForm1Download::failedRunNeverSaysDone() {
    fill(2, {1, 2});
    const QString missing = output->filePath(QStringLiteral("missing"));
    form->Text3->setText(missing);
    form->PushButton7->click();
    QCOMPARE(prompter->boxes.size(), 1);
    QVERIFY(prompter->boxes[0].text.contains(QDir::toNativeSeparators(missing)));
    QCOMPARE(form->PushButton7->text(), startCaption);
    QCOMPARE(form->mousePointer(), MousePointer::Default);
}

// A click on the button while it reads "Stop Downloading" ends the run before its next row.
void TestForm1Download::stopButtonEndsTheRun() {
    fill(400, {1, 100, 200, 300, 400});
    std::function<void()> clickStopOnceRunning = [&] {
        if (form->PushButton7->text() == stopCaption) {
            form->PushButton7->click();
            QCOMPARE(form->PushButton7->text(), startCaption);
            QCOMPARE(form->mousePointer(), MousePointer::Default);
            return;
        }
        QTimer::singleShot(0, clickStopOnceRunning);
    };
    QTimer::singleShot(0, clickStopOnceRunning);
    form->PushButton7->click();
    QVERIFY(prompter->boxes.isEmpty());
    QVERIFY(form->StopDownloadRequested);
    QVERIFY(savedFiles().size() < 5);
    QCOMPARE(form->PushButton7->text(), startCaption);
}

// Clear List clicked while the download yields ends the walk: the box says it stopped short.
void TestForm1Download::clearListEndsTheRunShort() {
    fill(400, {1, 100, 200, 300, 400});
    std::function<void()> clearOnceRunning = [&] {
        if (form->PushButton7->text() == stopCaption) {
            form->PushButton3->click();
            return;
        }
        QTimer::singleShot(0, clearOnceRunning);
    };
    QTimer::singleShot(0, clearOnceRunning);
    form->PushButton7->click();
    QCOMPARE(
        prompter->texts(),
        QStringList{"The list was emptied during the download, which stopped before the end."});
    QVERIFY(savedFiles().size() < 5);
    QCOMPARE(form->PushButton7->text(), startCaption);
}

void TestForm1Download::skipsWhatWasSavedBefore_data() {
    QTest::addColumn<bool>("separateFiles");
    QTest::addColumn<QString>("afterDeleting");
    QTest::newRow("separate files")
        << true << QStringLiteral("Done. 1 email saved, 2 saved before were skipped.");
    QTest::newRow("one file") << false << QStringLiteral("Done.");
}

// With "Skip emails already saved to this folder" checked, a second download saves nothing and
// makes no file; a message whose file was deleted is saved again; unchecked, all is saved again.
void TestForm1Download::skipsWhatWasSavedBefore() {
    QFETCH(bool, separateFiles);
    QFETCH(QString, afterDeleting);
    fill(3, {1, 2, 3});
    (separateFiles ? form->Option1 : form->Option2)->setChecked(true);
    form->Check3->setChecked(true);
    const auto download = [&] {
        prompter->boxes.clear();
        form->PushButton7->click();
        return prompter->texts();
    };
    QCOMPARE(download(), QStringList{"Done."});
    QVERIFY(QFile::exists(output->filePath(SavedRecord::fileName())));
    const QStringList first = savedFiles();
    QCOMPARE(first.size(), separateFiles ? 3 : 1);

    QCOMPARE(download(), QStringList{"Done. 0 emails saved, 3 saved before were skipped."});
    QCOMPARE(savedFiles(), first);

    QVERIFY(QFile::remove(output->filePath(first.first())));
    QCOMPARE(download(), QStringList{afterDeleting});
    QCOMPARE(savedFiles(), first);

    // Unchecked, as before: everything is written again (and, the same bytes, dropped).
    form->Check3->setChecked(false);
    QCOMPARE(download(), QStringList{"Done."});
    QCOMPARE(savedFiles(), first);
}

void TestForm1Download::nothingChangesWhatTheRunSaves_data() {
    QTest::addColumn<QString>("during"); // what is clicked once the run has started
    QTest::addColumn<int>("unreadable"); // a row whose text cannot be read back; 0 for none
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("files");

    const QString done = QStringLiteral("Done.");
    QTest::newRow("Get All") << "getAll" << 0 << QStringList{done} << 5;
    QTest::newRow("Get Some") << "getSome" << 0 << QStringList{done} << 5;
    QTest::newRow("Check All") << "checkAll" << 0 << QStringList{done} << 5;
    QTest::newRow("Stop clicked twice") << "stopTwice" << 0 << QStringList{} << -1;
    QTest::newRow("a text that cannot be read back")
        << QString() << 200
        << QStringList{QString(),
                       QStringLiteral("Done. 1 message could not be saved and was skipped.")}
        << 4;
    QTest::newRow("started while a listing fills the list")
        << "listing" << 0
        << QStringList{QStringLiteral("The list is still being filled. Wait until the listing "
                                      "ends, or stop it, before downloading.")}
        << 0;
}

// The run saves the rows checked when it started, whatever is clicked in its yields, and its
// end says what it did.
void TestForm1Download::nothingChangesWhatTheRunSaves() {
    QFETCH(QString, during);
    QFETCH(int, unreadable);
    QFETCH(QStringList, boxes);
    QFETCH(int, files);
    fill(400, {1, 100, 200, 300, 400});
    if (unreadable > 0)
        messageRecords().at(unreadable).PlainTextBody = BodyStore::Span{-99, 5};
    if (during == QLatin1String("listing"))
        form->PushButton10->setText(QStringLiteral("Stop"));
    std::function<void()> clickOnceRunning = [&] {
        if (form->PushButton7->text() != stopCaption) {
            QTimer::singleShot(0, clickOnceRunning);
            return;
        }
        QVERIFY(!form->PushButton10->isEnabled());
        if (during == QLatin1String("getAll"))
            form->PushButton10_Click();
        else if (during == QLatin1String("getSome"))
            form->PushButton2_Click();
        else if (during == QLatin1String("checkAll"))
            form->PushButton4->click();
        else if (during == QLatin1String("stopTwice"))
            for (int click = 0; click < 2; ++click)
                form->PushButton7_Click();
        if (during.startsWith(QLatin1String("get")))
            QVERIFY(form->statusText().contains(QLatin1String("unavailable")));
    };
    if (!during.isEmpty() && during != QLatin1String("listing"))
        QTimer::singleShot(0, clickOnceRunning);
    form->PushButton7->click();

    QStringList texts = prompter->texts();
    if (unreadable > 0) // the error report's text names the failure; only its place is checked
        texts[0].clear();
    QCOMPARE(texts, boxes);
    if (files >= 0)
        QCOMPARE(savedFiles().size(), files);
    else
        QVERIFY(savedFiles().size() < 5);
    QCOMPARE(form->ListView1->list().count(), 400);
    QCOMPARE(form->PushButton7->text(), startCaption);
    QVERIFY(form->PushButton10->isEnabled());
}

QTEST_MAIN(TestForm1Download)
#include "tst_form1download.moc"
