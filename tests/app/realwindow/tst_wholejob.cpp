#include "FileContents.h"
#include "MailServer.h"
#include "ModalAnswerer.h"
#include "Screenshot.h"
#include "TemporarySettings.h"
#include "WindowFixture.h"
#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "commands/Form2.h"
#include "list/Form4.h"
#include "list/MessageListView.h"
#include "mail/ErrorLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The whole job in real windows on an X server: connect, Get All, Get Some through the range
// dialog, a search, the larger view and a download, with the real message boxes and dialogs
// answered the way a user does it. Each step leaves a screenshot in the build folder.

namespace {

const QString screenshots = QStringLiteral(QUENTARIL_SCREENSHOT_DIR);
// A whole address typed into the Live ID box, with the drop-down's entry that adds nothing.
const QString user = QStringLiteral("alex.morgan@example.test");
const QString suffix = QStringLiteral("Live!ID");
const QString password = QStringLiteral("correct horse");
const QString firstSearch = QStringLiteral("garden");
const QString secondSearch = QStringLiteral("library");
// The save folder the pictures show, one a user picks below the home folder; the files go to a
// temporary folder that the box holds only while the download runs.
const QString shownFolder = QStringLiteral("/home/alex/Documents/Mail");

// Replaces the text of a line edit as typed keys.
void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// A plain box that says text: clicks its OK button, after an optional screenshot.
ModalAnswerer::Step okBox(const QString& text, std::function<void(QWidget&)> before = {}) {
    return [text, before](QWidget& modal) -> QString {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (!box)
            return QStringLiteral("not a message box");
        if (box->text() != text)
            return QStringLiteral("says \"%1\"").arg(box->text());
        if (before)
            before(modal);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        return {};
    };
}

// The "Enter X:" input box: types x and clicks OK, after an optional screenshot.
ModalAnswerer::Step enterX(const QString& x, std::function<void(QWidget&)> before = {}) {
    return [x, before](QWidget& modal) -> QString {
        auto* input = qobject_cast<QInputDialog*>(&modal);
        if (!input)
            return QStringLiteral("not an input box");
        if (input->labelText() != QStringLiteral("Enter X:"))
            return QStringLiteral("asks \"%1\"").arg(input->labelText());
        auto* edit = input->findChild<QLineEdit*>();
        auto* buttons = input->findChild<QDialogButtonBox*>();
        if (!edit || !buttons)
            return QStringLiteral("no text field or buttons");
        typeInto(edit, x);
        if (before)
            before(modal);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        return {};
    };
}

// Whether a row's From or Subject text holds x, ignoring case (the demo dates hold no letters).
bool rowHolds(const MessageListModel& list, int position, const QString& x) {
    return list.text(position, 1).contains(x, Qt::CaseInsensitive) ||
           list.text(position, 4).contains(x, Qt::CaseInsensitive);
}

QList<bool> checkMarks(const MessageListModel& list) {
    QList<bool> marks;
    for (int position = 1; position <= list.count(); ++position)
        marks.append(list.isChecked(position));
    return marks;
}

// Clicks a check box on its box, where a click counts even when the widget is wider than its text.
void clickCheckBox(QCheckBox* checkBox) {
    QStyleOptionButton option;
    option.initFrom(checkBox);
    const QRect box =
        checkBox->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, checkBox);
    QTest::mouseClick(checkBox, Qt::LeftButton, {}, box.center());
}

// Clicks the check box of a row the way a user does, with the mouse.
void clickCheckBox(MessageListView* view, int position) {
    const QModelIndex index = view->model()->index(position - 1, 0);
    view->scrollTo(index);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box =
        view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}

} // namespace

class TestWholeJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    // A step left over from a failed test must not answer the next test's windows.
    void cleanup() { answerer.clear(); }

    void wrongPasswordShowsTheServersAnswer();
    void connectShowsTheSignedInWindow();
    void getAllListsTheWholeInbox();
    void getSomeListsTheRangeOfTheDialog();
    void searchChecksTheMatchingRows();
    void largerViewWritesItsCheckMarksBack();
    void downloadSavesEachCheckedMessage();
    void everyStepLeftAScreenshot();

private:
    void verifyAnswered();
    void shoot(const QString& name, const QList<QWidget*>& windows);

    QTemporaryDir settings;
    QTemporaryDir seed;
    QTemporaryDir output;
    std::unique_ptr<MailServer> server;
    std::unique_ptr<Form1> window;
    ModalAnswerer answerer;
    QStringList shots;
    QList<bool> largerViewMarks;
};

void TestWholeJob::initTestCase() {
    QCOMPARE(QApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY(settings.isValid() && seed.isValid() && output.isValid());

    QProcess mailbox;
    mailbox.start(QStringLiteral(QUENTARIL_SOURCE_DIR "/scripts/demo-mailbox"), {seed.path()});
    QVERIFY(mailbox.waitForFinished(60000));
    QVERIFY2(mailbox.exitStatus() == QProcess::NormalExit && mailbox.exitCode() == 0,
             mailbox.readAllStandardError().constData());
    server = std::make_unique<MailServer>(MailServer::Options{seed.path(), user, password});
    QVERIFY2(server->isRunning(), qPrintable(server->errorText()));

    TemporarySettings::usePath(settings.path());
    ErrorLog::setFolder(settings.path());
    SettingsStore::Save(QStringLiteral("Server"),
                        server->host() + u':' + QString::number(server->port()));
    SettingsStore::Save(QStringLiteral("TrustedCertificates"), server->caFile());
}

void TestWholeJob::cleanupTestCase() {
    window.reset();
}

void TestWholeJob::verifyAnswered() {
    QVERIFY2(answerer.problems().isEmpty(), qPrintable(answerer.problems().join(u'\n')));
    QCOMPARE(answerer.pending(), 0);
}

void TestWholeJob::shoot(const QString& name, const QList<QWidget*>& windows) {
    if (!Screenshot::save(screenshots, name, windows).isNull())
        shots.append(name);
}

void TestWholeJob::wrongPasswordShowsTheServersAnswer() {
    window = loadedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    typeInto(window->Text1, user);
    window->Combo1->setCurrentIndex(window->Combo1->findText(suffix));
    typeInto(window->Text2, QStringLiteral("wrong"));
    window->Text3->setText(shownFolder);
    QString detail;
    answerer.expect(
        QStringLiteral("failed login"),
        okBox(QStringLiteral("Invalid login. Please double-check your username and password."),
              [&](QWidget& modal) {
                  auto& box = static_cast<QMessageBox&>(modal);
                  detail = box.detailedText();
                  for (QAbstractButton* button : box.buttons())
                      if (box.buttonRole(button) == QMessageBox::ActionRole)
                          QTest::mouseClick(button, Qt::LeftButton); // Show Details...
                  shoot(QStringLiteral("00-login-failed.png"), {window.get(), &modal});
              }));
    QTest::mouseClick(window->PushButton5, Qt::LeftButton);

    verifyAnswered();
    QVERIFY2(detail.startsWith(QStringLiteral("LOGIN failed, server replied: ")),
             qPrintable(detail));
    QCOMPARE(window->PushButton5->text(), QStringLiteral("1. Connect"));
}

void TestWholeJob::connectShowsTheSignedInWindow() {
    typeInto(window->Text2, password);
    clickCheckBox(window->Check1); // Remember me
    QVERIFY(window->Check1->isChecked());
    QVERIFY(window->Check2->isEnabled());
    QTest::mouseClick(window->PushButton5, Qt::LeftButton);

    QCOMPARE(window->PushButton5->text(), QStringLiteral("Disconnect"));
    QCOMPARE(window->liveId(), user);
    verifyAnswered();
    shoot(QStringLiteral("01-connected.png"), {window.get()});
}

void TestWholeJob::getAllListsTheWholeInbox() {
    QTest::mouseClick(window->Option3, Qt::LeftButton); // Inbox
    answerer.expect(QStringLiteral("end of Get All"), okBox(QStringLiteral("Done.")));
    QTest::mouseClick(window->PushButton10, Qt::LeftButton);

    verifyAnswered();
    const int inbox = static_cast<int>(QDir(seed.filePath(QStringLiteral("Inbox")))
                                           .entryList({QStringLiteral("*.eml")}, QDir::Files)
                                           .size());
    QVERIFY(inbox > 0);
    QCOMPARE(window->ListView1->list().count(), inbox);
    QCOMPARE(window->Label1->text(), QStringLiteral("Total Number Of Emails: %1").arg(inbox));
    QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
    shoot(QStringLiteral("02-listed.png"), {window.get()});
}

void TestWholeJob::getSomeListsTheRangeOfTheDialog() {
    const QString firstAllSubject = window->ListView1->list().text(21, 4);
    answerer.expect(QStringLiteral("range dialog"), [this](QWidget& modal) -> QString {
        auto* form = qobject_cast<Form2*>(&modal);
        if (!form)
            return QStringLiteral("not the range dialog");
        typeInto(form->Text1[0], QStringLiteral("21"));
        typeInto(form->Text1[1], QStringLiteral("60"));
        shoot(QStringLiteral("03-range-dialog.png"), {form});
        QTest::mouseClick(form->PushButton1, Qt::LeftButton);
        return {};
    });
    answerer.expect(QStringLiteral("end of Get Some"), okBox(QStringLiteral("Done.")));
    QTest::mouseClick(window->PushButton2, Qt::LeftButton);

    verifyAnswered();
    QCOMPARE(window->ListView1->list().count(), 40);
    QCOMPARE(window->ListView1->list().text(1, 4), firstAllSubject);
    QCOMPARE(window->Label1->text(), QStringLiteral("Total Number Of Emails: 40"));
}

void TestWholeJob::searchChecksTheMatchingRows() {
    answerer.expect(QStringLiteral("search"), enterX(firstSearch, [this](QWidget& modal) {
                        shoot(QStringLiteral("04-search.png"), {window.get(), &modal});
                    }));
    QTest::mouseClick(window->PushButton9, Qt::LeftButton);

    verifyAnswered();
    const MessageListModel& list = window->ListView1->list();
    int checked = 0;
    for (int position = 1; position <= list.count(); ++position) {
        QCOMPARE(list.isChecked(position), rowHolds(list, position, firstSearch));
        checked += list.isChecked(position) ? 1 : 0;
    }
    QVERIFY(checked > 0);
    QCOMPARE(window->Label2->text(), QStringLiteral("Selected Emails: %1").arg(checked));
}

void TestWholeJob::largerViewWritesItsCheckMarksBack() {
    answerer.expect(QStringLiteral("larger view"), [this](QWidget& modal) -> QString {
        auto* form = qobject_cast<Form4*>(&modal);
        if (!form)
            return QStringLiteral("not the larger view");
        // Xvfb runs no window manager to honour the maximized state: do its part.
        form->setGeometry(form->screen()->availableGeometry());
        QTest::mouseClick(form->PushButton9, Qt::LeftButton); // its own search
        MessageListModel& list = form->ListView1->list();
        int unchecked = 1;
        while (unchecked <= list.count() && list.isChecked(unchecked))
            ++unchecked;
        if (unchecked > list.count())
            return QStringLiteral("every row checked after the search");
        clickCheckBox(form->ListView1, unchecked);
        if (!list.isChecked(unchecked))
            return QStringLiteral("a click on the check box of row %1 did not check it")
                .arg(unchecked);
        largerViewMarks = checkMarks(list);
        shoot(QStringLiteral("05-larger-view.png"), {form});
        QTest::mouseClick(form->PushButton4, Qt::LeftButton); // < Back
        return {};
    });
    answerer.expect(QStringLiteral("search in the larger view"), enterX(secondSearch));
    QTest::mouseClick(window->PushButton12, Qt::LeftButton);

    verifyAnswered();
    const MessageListModel& list = window->ListView1->list();
    QCOMPARE(checkMarks(list), largerViewMarks);
    // The larger view's first search started afresh: its own matches and the row clicked by hand.
    int checked = 0;
    for (int position = 1; position <= list.count(); ++position) {
        if (list.isChecked(position))
            ++checked;
        if (rowHolds(list, position, secondSearch))
            QVERIFY(list.isChecked(position));
    }
    QCOMPARE(window->Label2->text(), QStringLiteral("Selected Emails: %1").arg(checked));
}

void TestWholeJob::downloadSavesEachCheckedMessage() {
    QTest::mouseClick(window->Option1, Qt::LeftButton); // separate files
    window->Text3->setText(output.path());
    answerer.expect(QStringLiteral("end of the download"),
                    okBox(QStringLiteral("Done."), [this](QWidget& modal) {
                        window->Text3->setText(shownFolder);
                        shoot(QStringLiteral("06-downloaded.png"), {window.get(), &modal});
                    }));
    QTest::mouseClick(window->PushButton7, Qt::LeftButton);
    verifyAnswered();
    QCOMPARE(window->PushButton7->text(), QStringLiteral("3. Start Downloading"));

    const MessageListModel& list = window->ListView1->list();
    QStringList subjects;
    for (int position = 1; position <= list.count(); ++position)
        if (list.isChecked(position))
            subjects.append(list.text(position, 4));
    const QDir folder(output.path());
    const QStringList files = folder.entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), subjects.size());
    const QRegularExpression name(
        QStringLiteral("^(\\d+) - \\d{4}-\\d{2}-\\d{2} [A-Za-z0-9 -]*\\.txt$"));
    for (const QString& file : files) {
        const QRegularExpressionMatch match = name.match(file);
        QVERIFY2(match.hasMatch(), qPrintable(file));
        const int counter = match.captured(1).toInt();
        QVERIFY(counter >= 1 && counter <= subjects.size());
        const QString text = QString::fromUtf8(fileContents(folder.filePath(file)));
        QVERIFY2(text.startsWith(QStringLiteral("From: ")), qPrintable(file));
        QVERIFY2(text.contains(QStringLiteral("\r\nSubject: ") + subjects.at(counter - 1) +
                               QStringLiteral("\r\nDate: ")),
                 qPrintable(file));
        QVERIFY2(text.contains(QStringLiteral("\r\n\r\n")), qPrintable(file));
    }
}

void TestWholeJob::everyStepLeftAScreenshot() {
    const QStringList expected{
        QStringLiteral("00-login-failed.png"), QStringLiteral("01-connected.png"),
        QStringLiteral("02-listed.png"),       QStringLiteral("03-range-dialog.png"),
        QStringLiteral("04-search.png"),       QStringLiteral("05-larger-view.png"),
        QStringLiteral("06-downloaded.png")};
    QCOMPARE(shots, expected);
    for (const QString& shot : expected) {
        const QImage image(QDir(screenshots).filePath(shot));
        QVERIFY2(!image.isNull(), qPrintable(shot));
        QVERIFY2(Screenshot::colourCount(image) > 16, qPrintable(shot)); // not a blank grab
    }
}

QTEST_MAIN(TestWholeJob)
#include "tst_wholejob.moc"
