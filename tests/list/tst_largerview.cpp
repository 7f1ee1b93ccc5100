#include "ScriptedPrompter.h"
#include "app/Form1.h"
#include "base/Twips.h"
#include "list/Form4.h"
#include "list/Form4Layout.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

namespace {

Form4& larger(QDialog& dialog) {
    return dynamic_cast<Form4&>(dialog);
}

QStringList rowTexts(const MessageListModel& list, int position) {
    QStringList texts;
    for (int c = 1; c <= MessageListModel::columns; ++c)
        texts << list.text(position, c);
    return texts;
}

QList<int> checkedRows(const MessageListModel& list) {
    QList<int> result;
    for (int p = 1; p <= list.count(); ++p)
        if (list.isChecked(p))
            result << p;
    return result;
}

QStringList counters(QLabel* total, QLabel* selected) {
    return {total->text(), selected->text()};
}

void within(int actual, int expected) {
    QVERIFY2(std::abs(actual - expected) <= 10,
             qPrintable(QStringLiteral("%1 vs %2").arg(actual).arg(expected)));
}

} // namespace

class LargerViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void designSizeGivesTheDesignPositions();
    void largerWindowStretchesOnlyTheList();
    void resizingTheWindowAppliesTheRule();
    void opensMaximizedWithACopyOfEveryRow();
    void emptyListOpensEmptyWithZeroCounters();
    void checkMarksComeBackByPosition_data();
    void checkMarksComeBackByPosition();
    void clearListEmptiesBothLists();
    void filtersAccumulateInTheViewWithItsOwnFlag();
    void listingAndCheckClicksOnTheMainWindow();
    void clicksOnTheMainWindowWaitForTheView();

private:
    std::unique_ptr<Form1> main;
    std::unique_ptr<ScriptedPrompter> prompter;

    void addRows(int count) {
        MessageListModel& list = main->ListView1->list();
        for (int i = 1; i <= count; ++i) {
            const int p = list.appendRow(QStringLiteral("From %1").arg(i));
            list.setText(p, 2, QStringLiteral("Name %1").arg(i));
            list.setText(p, 3, QStringLiteral("a%1@example.org").arg(i));
            list.setText(p, 4,
                         i % 2 ? QStringLiteral("Invoice %1").arg(i) : QStringLiteral("News"));
            list.setText(p, 5, QStringLiteral("2/%1/2015 9:30:00 AM").arg(i));
            list.setText(p, 6, QString::number(42035 + i));
        }
    }
    // Opens the larger view from the main window's button and runs drive while it is up.
    void open(std::function<void(Form4&)> drive) {
        prompter->dialogDrivers.enqueue([drive](QDialog& dialog) { drive(larger(dialog)); });
        main->PushButton12_Click();
    }
};

void LargerViewTest::init() {
    prompter = std::make_unique<ScriptedPrompter>();
    main = std::make_unique<Form1>();
}

void LargerViewTest::cleanup() {
    main.reset();
    prompter.reset();
}

void LargerViewTest::designSizeGivesTheDesignPositions() {
    const Form4Layout layout = Form4Layout::compute(8130, 4955);
    const QList<std::pair<QRect, QRect>> expected = {{layout.ListView1, {120, 135, 7800, 1860}},
                                                     {layout.Label1, {120, 2085, 3840, 255}},
                                                     {layout.Label2, {4080, 2085, 3840, 255}},
                                                     {layout.PushButton5, {120, 2450, 3840, 405}},
                                                     {layout.PushButton6, {4080, 2450, 3840, 405}},
                                                     {layout.PushButton9, {120, 2960, 3840, 405}},
                                                     {layout.PushButton10, {4080, 2960, 3840, 405}},
                                                     {layout.PushButton7, {120, 3470, 7800, 405}},
                                                     {layout.PushButton4, {120, 3980, 7800, 405}}};
    for (const auto& [actual, design] : expected) {
        within(actual.x(), design.x());
        within(actual.y(), design.y());
        within(actual.width(), design.width());
        within(actual.height(), design.height());
    }
}

void LargerViewTest::largerWindowStretchesOnlyTheList() {
    const double w = 19200 + 90, h = 14400 - 600;
    const Form4Layout layout = Form4Layout::compute(w, h);
    const int l = 19290 - 330;
    QCOMPARE(layout.ListView1, QRect(120, 135, l, static_cast<int>(h) - 3100));
    QCOMPARE(layout.columnWidths, (std::array<int, 6>{l / 6, l / 5, l / 5, l / 5, l / 5, 0}));
    // The block of buttons is 7800 wide and centred 45 twips left of the window's centre.
    const QRect block = layout.Label1.united(layout.PushButton4).united(layout.PushButton10);
    QCOMPARE(block.width(), 7800);
    QCOMPARE(block.left() + block.width() / 2, 19290 / 2 - 45);
    QCOMPARE(layout.Label2.left(), layout.Label1.right() + 1 + 120);
    QCOMPARE(layout.PushButton4.bottom() + 1, static_cast<int>(h) - 975 + 405);
    // Half-twips round to the even neighbour.
    QCOMPARE(Form4Layout::compute(8130.5, 4955).ListView1.width(), 7800);
    QCOMPARE(Form4Layout::compute(8131.5, 4955).ListView1.width(), 7802);
}

void LargerViewTest::resizingTheWindowAppliesTheRule() {
    Form4 form(*main, main.get());
    form.Form_Load();
    form.resize(1200, 800);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const Form4Layout layout = Form4Layout::compute(18000 + 90, 12000 + 455);
    QCOMPARE(form.ListView1->geometry(),
             QRect(8, 9, Twips::toPixels(18090 - 330), Twips::toPixels(12455 - 3100)));
    QCOMPARE(form.ListView1->columnWidth(1), Twips::toPixels(layout.columnWidths[1]));
    QCOMPARE(form.ListView1->columnWidth(5), 0);
    QCOMPARE(form.PushButton4->geometry().top(), Twips::toPixels(12455 - 975));
    QCOMPARE(form.windowTitle(), QStringLiteral(" List In Larger View"));
    QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
}

void LargerViewTest::opensMaximizedWithACopyOfEveryRow() {
    addRows(4);
    main->ListView1->list().setChecked(3, true);
    open([this](Form4& view) {
        QVERIFY(view.windowState() & Qt::WindowMaximized);
        const MessageListModel& copies = view.ListView1->list();
        QCOMPARE(copies.count(), 4);
        for (int p = 1; p <= 4; ++p)
            QCOMPARE(rowTexts(copies, p), rowTexts(main->ListView1->list(), p));
        QCOMPARE(checkedRows(copies), QList<int>{3});
        QCOMPARE(counters(view.Label1, view.Label2),
                 (QStringList{"Total Number Of Emails: 4", "Selected Emails: 1"}));
    });
    QCOMPARE(prompter->dialogDrivers.size(), 0);
    QVERIFY(prompter->boxes.isEmpty());
}

void LargerViewTest::emptyListOpensEmptyWithZeroCounters() {
    open([](Form4& view) {
        QVERIFY(view.windowState() & Qt::WindowMaximized);
        QCOMPARE(view.ListView1->list().count(), 0);
        QCOMPARE(counters(view.Label1, view.Label2),
                 (QStringList{"Total Number Of Emails: 0", "Selected Emails: 0"}));
    });
    QCOMPARE(main->ListView1->list().count(), 0);
    QCOMPARE(counters(main->Label1, main->Label2),
             (QStringList{"Total Number Of Emails: 0", "Selected Emails: 0"}));
}

void LargerViewTest::checkMarksComeBackByPosition_data() {
    QTest::addColumn<bool>("back");
    QTest::newRow("< Back") << true;
    QTest::newRow("close box") << false;
}

void LargerViewTest::checkMarksComeBackByPosition() {
    QFETCH(bool, back);
    addRows(6);
    main->ListView1->list().setChecked(1, true);
    open([back](Form4& view) {
        MessageListModel& list = view.ListView1->list();
        list.publishRows();
        list.setChecked(1, false);
        view.ListView1->setCurrentIndex(list.index(1, 0));
        QTest::keyClick(view.ListView1->viewport(), Qt::Key_Space); // a click on row 2's box
        QCOMPARE(view.Label2->text(), QStringLiteral("Selected Emails: 1"));
        list.setChecked(5, true);
        if (back)
            QTest::mouseClick(view.PushButton4, Qt::LeftButton);
        else
            view.close();
        QVERIFY(!view.isVisible());
    });
    QCOMPARE(checkedRows(main->ListView1->list()), (QList<int>{2, 5}));
    QCOMPARE(counters(main->Label1, main->Label2),
             (QStringList{"Total Number Of Emails: 6", "Selected Emails: 2"}));
}

void LargerViewTest::clearListEmptiesBothLists() {
    addRows(3);
    messageRecords().recreate(3);
    messageRecords().at(2).Subject = QStringLiteral("kept");
    open([this](Form4& view) {
        QTest::mouseClick(view.PushButton7, Qt::LeftButton);
        QCOMPARE(view.ListView1->list().count(), 0);
        QCOMPARE(main->ListView1->list().count(), 0);
        QCOMPARE(counters(view.Label1, view.Label2),
                 (QStringList{"Total Number Of Emails: 0", "Selected Emails: 0"}));
        QTest::mouseClick(view.PushButton4, Qt::LeftButton);
    });
    QCOMPARE(counters(main->Label1, main->Label2),
             (QStringList{"Total Number Of Emails: 0", "Selected Emails: 0"}));
    QCOMPARE(messageRecords().at(2).Subject, QStringLiteral("kept"));
    QVERIFY(prompter->boxes.isEmpty());
}

void LargerViewTest::filtersAccumulateInTheViewWithItsOwnFlag() {
    addRows(6);
    main->CheckSearchActive = true;
    prompter->inputAnswers << QStringLiteral("invoice 1") << QStringLiteral("from 4")
                           << QStringLiteral("NEWS");
    open([this](Form4& view) {
        QVERIFY(!view.CheckSearchActive);
        QTest::mouseClick(view.PushButton9, Qt::LeftButton);
        QTest::mouseClick(view.PushButton9, Qt::LeftButton);
        QCOMPARE(checkedRows(view.ListView1->list()), (QList<int>{1, 4}));
        QVERIFY(view.CheckSearchActive);
        QTest::mouseClick(view.PushButton5, Qt::LeftButton); // Check All resets the flag
        QVERIFY(!view.CheckSearchActive);
        QTest::mouseClick(view.PushButton10, Qt::LeftButton);
        QCOMPARE(checkedRows(view.ListView1->list()), (QList<int>{1, 3, 5}));
        QCOMPARE(view.Label2->text(), QStringLiteral("Selected Emails: 3"));
    });
    QVERIFY(main->CheckSearchActive);
    QCOMPARE(checkedRows(main->ListView1->list()), (QList<int>{1, 3, 5}));
    QCOMPARE(prompter->inputPrompts.size(), 3);
}

// The main window's handlers: a listed message lands in the list and its record, a click on a
// check box updates the counters.
void LargerViewTest::listingAndCheckClicksOnTheMainWindow() {
    messageRecords().recreate(1);
    main->oMail_MailExtractListing(QStringLiteral("amy"), QStringLiteral("Amy"),
                                   QStringLiteral("amy@example.org"), QStringLiteral("Hi"),
                                   QStringLiteral("2/19/2015 6:00:00 PM"), QStringLiteral("body"),
                                   QString(), 7);
    MessageListModel& list = main->ListView1->list();
    QCOMPARE(rowTexts(list, 1),
             (QStringList{"amy", "Amy", "amy@example.org", "Hi", "2/19/2015 6:00:00 PM", "42055"}));
    QCOMPARE(messageRecords().plainTextBody(1), QStringLiteral("body"));
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    main->ListView1->setCurrentIndex(list.index(0, 0));
    QTest::keyClick(main->ListView1->viewport(), Qt::Key_Space);
    QCOMPARE(counters(main->Label1, main->Label2),
             (QStringList{"Total Number Of Emails: 1", "Selected Emails: 1"}));
    QVERIFY(prompter->boxes.isEmpty());
}

// A Check All clicked on the main window just before the view opens reaches it while the view
// loads: it must not change the list being copied (and then be undone by the write-back), and a
// second open while the view is up does nothing.
void LargerViewTest::clicksOnTheMainWindowWaitForTheView() {
    addRows(3);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    const QPoint centre = main->PushButton4->mapTo(main.get(), main->PushButton4->rect().center());
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            main->windowHandle(),
            new QMouseEvent(type, centre, main->mapToGlobal(centre), Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
    int views = 0;
    prompter->dialogDrivers.enqueue([&](QDialog& dialog) {
        ++views;
        QVERIFY(checkedRows(main->ListView1->list()).isEmpty());
        prompter->dialogDrivers.enqueue([&](QDialog&) { ++views; });
        main->PushButton12_Click(); // a second open
        larger(dialog).ListView1->list().setChecked(3, true);
        QTest::mouseClick(larger(dialog).PushButton4, Qt::LeftButton);
    });
    main->PushButton12_Click();
    QCOMPARE(views, 1);
    QCOMPARE(checkedRows(main->ListView1->list()), QList<int>{3});
    prompter->dialogDrivers.clear();
}

QTEST_MAIN(LargerViewTest)
#include "tst_largerview.moc"
