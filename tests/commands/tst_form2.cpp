#include "ScriptedPrompter.h"
#include "base/ErrorReport.h"
#include "base/FocusMarker.h"
#include "commands/Form2.h"
#include "commands/RetrievalFlags.h"
#include "mail/clsMailIMAP.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString fromMessage = QStringLiteral("Please input a value greater than zero!");
const QString toMessage250 =
    QStringLiteral("Please input max value greater than zero (0) and less than or equal to 250!");

// Sets up a session with a known range and a dialog over 250 messages.
struct Fixture {
    ScriptedPrompter prompter;
    std::shared_ptr<clsMailIMAP> session = std::make_shared<clsMailIMAP>();
    Form2 dialog{nullptr};

    Fixture() {
        session->CurrentLocation = -7;
        session->MaxRecord = -8;
        dialog.setMaxMessage(250);
        dialog.setMailIMAP(session);
    }

    // Shows the dialog; the driver runs while it is open.
    void show(ScriptedPrompter::DialogDriver driver) {
        prompter.dialogDrivers.enqueue(std::move(driver));
        dialog.showModal();
    }
};

void fill(Form2& dialog, const QString& from, const QString& to) {
    dialog.Text1[0]->setText(from);
    dialog.Text1[1]->setText(to);
}

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT

private slots:
    void init() {
        RangeAccepted = true;
        SkipDoneMessage = false;
    }

    void loadShowsTheFolderCount();
    void continueChecksAndStores_data();
    void continueChecksAndStores();
    void invalidInputKeepsTheDialogOpen();
    void enterInToContinues();
    void closeBoxCancels();
    void focusIsMarked();
    void firstNumberBeyond32BitsIsReportedAndStillAccepted();
};

void TestForm2::loadShowsTheFolderCount() {
    Fixture f;
    f.show([](QDialog& d) {
        auto& dialog = static_cast<Form2&>(d);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Get Some Emails"));
        QCOMPARE(dialog.Label1[0]->text(), QStringLiteral("From:"));
        QCOMPARE(dialog.Label1[1]->text(), QStringLiteral("To (Max of 250)"));
        QCOMPARE(dialog.Text1[0]->text(), QStringLiteral("1"));
        QCOMPARE(dialog.Text1[1]->text(), QStringLiteral("250"));
        QCOMPARE(dialog.Text1[1]->selectedText(), QStringLiteral("250"));
        QCOMPARE(dialog.Text1[1]->cursorPosition(), 0);
        QCOMPARE(dialog.PushButton1->text(), QStringLiteral("Continue"));
        QCOMPARE(dialog.focusWidget(), dialog.Text1[1]);
        QCOMPARE(dialog.Text1[1]->nextInFocusChain(), dialog.Text1[0]);
        QVERIFY(!RangeAccepted);
    });
}

void TestForm2::continueChecksAndStores_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message"); // empty when the range is accepted
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("From 0") << "0"
                            << "250" << fromMessage << -7 << -8;
    QTest::newRow("From abc") << "abc"
                              << "250" << fromMessage << -7 << -8;
    QTest::newRow("From -3") << "-3"
                             << "250" << fromMessage << -7 << -8;
    QTest::newRow("From empty") << ""
                                << "250" << fromMessage << -7 << -8;
    QTest::newRow("To beyond the count") << "1"
                                         << "251" << toMessage250 << -7 << -8;
    QTest::newRow("To 0") << "1"
                          << "0" << toMessage250 << -7 << -8;
    QTest::newRow("To abc") << "1"
                            << "abc" << toMessage250 << -7 << -8;
    QTest::newRow("To the count") << "1"
                                  << "250"
                                  << "" << 1 << 250;
    QTest::newRow("To 0.4 stores 0") << "1"
                                     << "0.4"
                                     << "" << 1 << 0;
    QTest::newRow("From 2.5 stores 2") << "2.5"
                                       << "9"
                                       << "" << 2 << 9;
    QTest::newRow("From 3.5 stores 4") << "3.5"
                                       << "9"
                                       << "" << 4 << 9;
    QTest::newRow("From above To") << "10"
                                   << "5"
                                   << "" << 10 << 5;
    QTest::newRow("blanks inside") << " 2 5"
                                   << "12abc"
                                   << "" << 25 << 12;
    QTest::newRow("octal and hexadecimal") << "&O17"
                                           << "&HC8"
                                           << "" << 15 << 200;
}

void TestForm2::continueChecksAndStores() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    QFETCH(int, first);
    QFETCH(int, last);
    Fixture f;
    f.show([&](QDialog& d) {
        auto& dialog = static_cast<Form2&>(d);
        fill(dialog, from, to);
        QTest::mouseClick(dialog.PushButton1, Qt::LeftButton);
    });
    QCOMPARE(f.prompter.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(f.prompter.boxes.first().icon, BoxIcon::Exclamation);
    QCOMPARE(RangeAccepted, message.isEmpty());
    QVERIFY(SkipDoneMessage);
    QCOMPARE(f.session->CurrentLocation, first);
    QCOMPARE(f.session->MaxRecord, last);
}

void TestForm2::invalidInputKeepsTheDialogOpen() {
    Fixture f;
    f.show([&](QDialog& d) {
        auto& dialog = static_cast<Form2&>(d);
        fill(dialog, QStringLiteral("0"), QStringLiteral("7"));
        QTest::mouseClick(dialog.PushButton1, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.Text1[0]->text(), QStringLiteral("0"));
        QVERIFY(!SkipDoneMessage);
        dialog.Text1[0]->setText(QStringLiteral("3"));
        QTest::mouseClick(dialog.PushButton1, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    });
    QCOMPARE(f.prompter.texts(), QStringList{fromMessage});
    QVERIFY(RangeAccepted);
    QCOMPARE(f.session->CurrentLocation, 3);
    QCOMPARE(f.session->MaxRecord, 7);
}

void TestForm2::enterInToContinues() {
    Fixture f;
    f.show([&](QDialog& d) {
        auto& dialog = static_cast<Form2&>(d);
        QTest::keyClicks(dialog.Text1[1], QStringLiteral("42"));
        QTest::keyClick(dialog.Text1[1], Qt::Key_Return);
    });
    QVERIFY(f.prompter.boxes.isEmpty());
    QVERIFY(RangeAccepted);
    QCOMPARE(f.session->CurrentLocation, 1);
    QCOMPARE(f.session->MaxRecord, 42); // typing replaced the selected count
}

void TestForm2::closeBoxCancels() {
    Fixture f;
    f.show([](QDialog& d) { d.close(); });
    QVERIFY(!RangeAccepted);
    QVERIFY(SkipDoneMessage);
    QCOMPARE(f.session->CurrentLocation, -7);
    QCOMPARE(f.session->MaxRecord, -8);
    QVERIFY(f.prompter.boxes.isEmpty());
}

void TestForm2::focusIsMarked() {
    Fixture f;
    f.show([](QDialog& d) {
        auto& dialog = static_cast<Form2&>(d);
        auto* marker = dialog.findChild<FocusMarker*>();
        QVERIFY(marker);
        dialog.activateWindow();
        QTRY_COMPARE(marker->marked(), dialog.Text1[1]);
        QTest::keyClick(dialog.Text1[1], Qt::Key_Tab);
        QTRY_COMPARE(marker->marked(), dialog.Text1[0]);
        QVERIFY(marker->isVisible());
        QVERIFY(marker->geometry().contains(dialog.Text1[0]->geometry()));
    });
}

void TestForm2::firstNumberBeyond32BitsIsReportedAndStillAccepted() {
    Fixture f;
    f.show([&](QDialog& d) {
        fill(static_cast<Form2&>(d), QStringLiteral("99999999999"), QStringLiteral("20"));
        QTest::mouseClick(static_cast<Form2&>(d).PushButton1, Qt::LeftButton);
    });
    QCOMPARE(f.prompter.boxes.size(), 1);
    QCOMPARE(f.prompter.boxes.first().title, QStringLiteral("Application Error"));
    QCOMPARE(f.prompter.boxes.first().text,
             ErrorReport::text(QStringLiteral("Overflow"),
                               QStringLiteral("in Brastovel2/19/2015.Form3.PushButton1_Click "),
                               108));
    QCOMPARE(f.session->CurrentLocation, -7);
    QCOMPARE(f.session->MaxRecord, 20);
    QVERIFY(RangeAccepted);
    QVERIFY(SkipDoneMessage);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
