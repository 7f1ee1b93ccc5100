#include "ListFixture.h"
#include "ScriptedPrompter.h"
#include "list/SelectionCommands.h"

#include <QTest>

using namespace SelectionCommands;

namespace {

const QString here = QStringLiteral("in Brastovel2/19/2015.Form1.PushButton9_Click ");

// Rows: 1 Invoice in From, 2 invoice in Subject, 3 only in From Name/Address, 4 news, 5 date.
void fill(ListWindow& window) {
    window.addRow(QStringLiteral("Invoice Desk"), QStringLiteral("hello"),
                  QStringLiteral("1/2/2014 10:00:00 AM"));
    window.addRow(QStringLiteral("bob"), QStringLiteral("Re: your INVOICE"),
                  QStringLiteral("1/3/2014 10:00:00 AM"));
    const int p = window.addRow(QStringLiteral("carol"), QStringLiteral("lunch"),
                                QStringLiteral("1/4/2014 9:00:00 AM"));
    window.ownedList().setText(p, 2, QStringLiteral("invoice name"));
    window.ownedList().setText(p, 3, QStringLiteral("invoice@example.org"));
    window.addRow(QStringLiteral("Daily News"), QStringLiteral("headlines"),
                  QStringLiteral("1/5/2014 8:00:00 AM"));
    window.addRow(QStringLiteral("erin"), QStringLiteral("plans"),
                  QStringLiteral("2/19/2015 9:30:00 AM"));
}

// Empties the list from inside the input box, after the command has read the row count.
class ClearingPrompter final : public Prompter {
public:
    explicit ClearingPrompter(ListWindow& window) : window_(window) { Prompter::install(this); }
    ~ClearingPrompter() override { Prompter::install(nullptr); }

    void message(QWidget* parent, const BoxContent& box) override { boxes.message(parent, box); }
    std::optional<QString> input(QWidget*, const QString&, const QString&) override {
        window_.ownedList().clear();
        return QStringLiteral("x");
    }
    QString browseForFolder(QWidget*, const QString&, const QString&) override { return {}; }
    int showModal(QDialog&) override { return 0; }

    ScriptedPrompter boxes;

private:
    ListWindow& window_;
};

} // namespace

class SelectionCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void containingChecksMatchesInSearchedColumnsOnly();
    void successiveSearchesBuildAUnion();
    void notContainingAfterUncheckAllStartsAfresh();
    void upperCaseAndDateTextMatch();
    void cancelledOrEmptyInput_data();
    void cancelledOrEmptyInput();
    void checkAllUncheckAllAndCountersResetTheFlag();
    void clearListThenCheckAllLeavesEmptyCounters();
    void failuresAreReportedWithTheStatementNumber();
};

void SelectionCommandsTest::containingChecksMatchesInSearchedColumnsOnly() {
    ScriptedPrompter prompter;
    ListWindow window;
    fill(window);
    prompter.inputAnswers.enqueue(QStringLiteral("Invoice"));
    checkMatching(window, Search::Containing, here);
    QCOMPARE(window.checkedPositions(), (QList<int>{1, 2}));
    QCOMPARE(prompter.inputPrompts, QStringList{QStringLiteral("Enter X:")});
    QVERIFY(window.searchActive);
    QCOMPARE(window.counters(), (QStringList{"Total Number Of Emails: 5", "Selected Emails: 2"}));
    QVERIFY(prompter.boxes.isEmpty());
}

void SelectionCommandsTest::successiveSearchesBuildAUnion() {
    ScriptedPrompter prompter;
    ListWindow window;
    fill(window);
    prompter.inputAnswers << QStringLiteral("invoice") << QStringLiteral("news");
    checkMatching(window, Search::Containing, here);
    checkMatching(window, Search::Containing, here);
    QCOMPARE(window.checkedPositions(), (QList<int>{1, 2, 4}));
    QCOMPARE(window.counters().at(1), QStringLiteral("Selected Emails: 3"));
}

void SelectionCommandsTest::notContainingAfterUncheckAllStartsAfresh() {
    ScriptedPrompter prompter;
    ListWindow window;
    fill(window);
    window.searchActive = true;
    window.ownedList().setChecked(4, true);
    uncheckAll(window, here);
    QVERIFY(!window.searchActive);
    prompter.inputAnswers.enqueue(QStringLiteral("NEWS"));
    checkMatching(window, Search::NotContaining, here);
    QCOMPARE(window.checkedPositions(), (QList<int>{1, 2, 3, 5}));
}

void SelectionCommandsTest::upperCaseAndDateTextMatch() {
    ScriptedPrompter prompter;
    ListWindow window;
    fill(window);
    prompter.inputAnswers << QStringLiteral("2015");
    checkMatching(window, Search::Containing, here);
    QCOMPARE(window.checkedPositions(), QList<int>{5});

    window.searchActive = false;
    prompter.inputAnswers << QStringLiteral("INVOICE DESK");
    checkMatching(window, Search::Containing, here);
    QCOMPARE(window.checkedPositions(), QList<int>{1});
}

void SelectionCommandsTest::cancelledOrEmptyInput_data() {
    QTest::addColumn<Search>("search");
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QList<int>>("checked"); // rows 1 to 5 have texts, row 6 none; 2 and 6 checked
    QTest::newRow("containing, cancelled")
        << Search::Containing << std::optional<QString>() << QList<int>{2, 6};
    QTest::newRow("not containing, cancelled")
        << Search::NotContaining << std::optional<QString>() << QList<int>{2, 6};
    QTest::newRow("containing, empty text")
        << Search::Containing << std::optional<QString>(QString()) << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("not containing, empty text")
        << Search::NotContaining << std::optional<QString>(QString()) << QList<int>{6};
}

// Cancel (Escape, the close box) leaves every check mark and the flag as they were; an empty text
// confirmed with OK matches every row with any searched text.
void SelectionCommandsTest::cancelledOrEmptyInput() {
    QFETCH(Search, search);
    QFETCH(std::optional<QString>, answer);
    QFETCH(QList<int>, checked);
    ScriptedPrompter prompter;
    prompter.inputAnswers.enqueue(answer);
    ListWindow window;
    fill(window);
    const int empty = window.addRow({});
    window.ownedList().setChecked(2, true);
    window.ownedList().setChecked(empty, true);
    checkMatching(window, search, here);
    QCOMPARE(window.checkedPositions(), checked);
    QCOMPARE(prompter.inputPrompts.size(), 1);
}

void SelectionCommandsTest::checkAllUncheckAllAndCountersResetTheFlag() {
    ScriptedPrompter prompter;
    ListWindow window;
    fill(window);
    window.searchActive = true;
    checkAll(window, here);
    QVERIFY(!window.searchActive);
    QCOMPARE(window.counters(), (QStringList{"Total Number Of Emails: 5", "Selected Emails: 5"}));
    // After Check All the next search starts afresh: rows that do not match are unchecked.
    prompter.inputAnswers << QStringLiteral("news");
    checkMatching(window, Search::Containing, here);
    QCOMPARE(window.checkedPositions(), QList<int>{4});
    uncheckAll(window, here);
    QCOMPARE(window.counters(), (QStringList{"Total Number Of Emails: 5", "Selected Emails: 0"}));
}

void SelectionCommandsTest::clearListThenCheckAllLeavesEmptyCounters() {
    ScriptedPrompter prompter;
    ListWindow window;
    fill(window);
    window.ownedList().setChecked(2, true);
    window.searchActive = true;
    clearList(window, here);
    QCOMPARE(window.ownedList().count(), 0);
    QVERIFY(window.searchActive); // Clear List leaves the flag alone
    checkAll(window, here);
    QCOMPARE(window.counters(), (QStringList{"Total Number Of Emails: 0", "Selected Emails: 0"}));
    QVERIFY(prompter.boxes.isEmpty());
}

// A click that empties the list while the counters yield makes the next command's rows vanish;
// nothing crashes, and a row that fails is reported under the command's location.
void SelectionCommandsTest::failuresAreReportedWithTheStatementNumber() {
    ListWindow window;
    fill(window);
    const QString location = QStringLiteral("in Brastovel2/19/2015.Form1.PushButton11_Click ");
    ClearingPrompter clearing(window);
    checkMatching(window, Search::NotContaining, location);
    // Five rows were counted: each pass fails its uncheck (116) and its test (118); the failed test
    // runs the true branch, whose check (120) fails too.
    QCOMPARE(clearing.boxes.boxes.size(), 5 * 3);
    QVERIFY(clearing.boxes.boxes.first().text.contains(location + QStringLiteral("at line 116")));
    QVERIFY(clearing.boxes.boxes.at(1).text.contains(QStringLiteral("at line 118")));
    QVERIFY(clearing.boxes.boxes.at(2).text.contains(QStringLiteral("at line 120")));
    QCOMPARE(clearing.boxes.boxes.first().title, QStringLiteral("Application Error"));
    QCOMPARE(window.counters(), (QStringList{"Total Number Of Emails: 0", "Selected Emails: 0"}));
}

QTEST_MAIN(SelectionCommandsTest)
#include "tst_selectioncommands.moc"
