#include "ListFixture.h"
#include "ScriptedPrompter.h"
#include "base/Conversions.h"
#include "list/ListingHandler.h"
#include "list/RecordStore.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

MessageRecord message(const QString& from, const QString& subject = {},
                      const QString& date = QStringLiteral("2/19/2015 9:30:00 AM")) {
    MessageRecord m;
    m.From = from;
    m.FromName = from + QStringLiteral(" Name");
    m.FromAddress = from + QStringLiteral("@example.org");
    m.Subject = subject;
    m.ReceivedDate = date;
    m.PlainTextBody = QStringLiteral("body of ") + from;
    m.HTMLTextBody = QStringLiteral("<p>html of ") + from + QStringLiteral("</p>");
    return m;
}

QString dateText(int day, int hour, int minute) {
    return Conversions::dateTimeText(QDateTime(QDate(2015, 2, day), QTime(hour, minute)));
}

} // namespace

class ListingHandlerTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void emptyFilterListsEveryMessageWithItsTextsAndDateKey();
    void filterIgnoresCaseInSubjectOnlyAndNeverSearchesHtml();
    void blankFilterIsAFilter();
    void unreadableDateIsReportedAndLeavesTheKeyEmpty_data();
    void unreadableDateIsReportedAndLeavesTheKeyEmpty();
    void rowBeyondTheStoreGrowsItInsteadOfLosingTexts();
    void clearListDuringTheYieldRestartsAtPositionOne();

private:
    ListWindow* window = nullptr;
    QLineEdit* filter = nullptr;
    RecordStore records;

    void list(const MessageRecord& m) {
        addListedMessage(window, *filter, window->ownedList(), records, m);
    }
};

void ListingHandlerTest::init() {
    delete window;
    window = new ListWindow;
    filter = new QLineEdit(window);
    records.recreate(10);
}

void ListingHandlerTest::emptyFilterListsEveryMessageWithItsTextsAndDateKey() {
    ScriptedPrompter prompter;
    MessageRecord morning =
        message(QStringLiteral("amy"), QStringLiteral("Hello"), dateText(19, 9, 30));
    MessageRecord evening = morning;
    evening.ReceivedDate = dateText(19, 18, 0);
    list(morning);
    list(evening); // identical messages are not merged
    list(morning);
    const MessageListModel& rows = window->ownedList();
    QCOMPARE(rows.count(), 3);
    const QStringList expected = {"amy",   "amy Name",           "amy@example.org",
                                  "Hello", morning.ReceivedDate, "42054"};
    for (int c = 1; c <= 6; ++c)
        QCOMPARE(rows.text(1, c), expected[c - 1]);
    QCOMPARE(rows.text(2, 6), QStringLiteral("42055"));
    QVERIFY(!rows.isChecked(1));
    QCOMPARE(records.at(2).ReceivedDate, evening.ReceivedDate);
    QCOMPARE(records.htmlTextBody(3), morning.HTMLTextBody);
    QCOMPARE(records.plainTextBody(3), morning.PlainTextBody);
    QVERIFY(prompter.boxes.isEmpty());
    // The handler leaves the counters to the retrieval command.
    QVERIFY(window->total->text().isEmpty());
}

void ListingHandlerTest::filterIgnoresCaseInSubjectOnlyAndNeverSearchesHtml() {
    ScriptedPrompter prompter;
    filter->setText(QStringLiteral("ABC"));
    list(message(QStringLiteral("subject"), QStringLiteral("re: abc")));
    MessageRecord nameOnly = message(QStringLiteral("name"));
    nameOnly.FromName = QStringLiteral("abc");
    list(nameOnly);
    MessageRecord htmlOnly = message(QStringLiteral("html"));
    htmlOnly.HTMLTextBody = QStringLiteral("ABC");
    list(htmlOnly);
    MessageRecord body = message(QStringLiteral("body"));
    body.PlainTextBody = QStringLiteral("xxABCxx");
    list(body);
    MessageRecord utf8Body = message(QStringLiteral("body in UTF-8"));
    utf8Body.PlainTextBody.clear();
    utf8Body.PlainTextUtf8 = "\xc3\xa9"
                             "ABC";
    list(utf8Body);
    list(message(QStringLiteral("sender ABC")));
    QCOMPARE(window->ownedList().count(), 4);
    QCOMPARE(window->ownedList().text(1, 1), QStringLiteral("subject"));
    QCOMPARE(window->ownedList().text(2, 1), QStringLiteral("body"));
    QCOMPARE(window->ownedList().text(3, 1), QStringLiteral("body in UTF-8"));
    QCOMPARE(window->ownedList().text(4, 1), QStringLiteral("sender ABC"));
    QCOMPARE(records.plainTextBody(2), QStringLiteral("xxABCxx"));
    QCOMPARE(records.plainTextBody(3), QString::fromUtf8("\xc3\xa9"
                                                         "ABC"));
    QVERIFY(prompter.boxes.isEmpty());
}

void ListingHandlerTest::blankFilterIsAFilter() {
    ScriptedPrompter prompter;
    filter->setText(QStringLiteral(" "));
    MessageRecord none;
    none.From = QStringLiteral("x");
    none.ReceivedDate = QStringLiteral("2/19/2015");
    list(none);
    list(message(QStringLiteral("two words")));
    QCOMPARE(window->ownedList().count(), 1);
    QCOMPARE(window->ownedList().text(1, 1), QStringLiteral("two words"));
}

void ListingHandlerTest::unreadableDateIsReportedAndLeavesTheKeyEmpty_data() {
    QTest::addColumn<QString>("filterText");
    QTest::addColumn<int>("line");
    QTest::newRow("no filter") << QString() << 158;
    QTest::newRow("filter matched") << QStringLiteral("amy") << 130;
}

void ListingHandlerTest::unreadableDateIsReportedAndLeavesTheKeyEmpty() {
    QFETCH(QString, filterText);
    QFETCH(int, line);
    ScriptedPrompter prompter;
    filter->setText(filterText);
    list(message(QStringLiteral("amy"), QStringLiteral("s"), QStringLiteral("not a date")));
    QCOMPARE(prompter.boxes.size(), 1);
    QCOMPARE(prompter.boxes.first().title, QStringLiteral("Application Error"));
    QVERIFY(prompter.boxes.first().text.contains(
        QStringLiteral("in Brastovel2/19/2015.Form1.oMail_MailExtractListing at line %1\r\r")
            .arg(line)));
    QCOMPARE(window->ownedList().count(), 1);
    QCOMPARE(window->ownedList().text(1, 5), QStringLiteral("not a date"));
    QVERIFY(window->ownedList().text(1, 6).isEmpty());
    QCOMPARE(records.at(1).ReceivedDate, QStringLiteral("not a date"));
}

void ListingHandlerTest::rowBeyondTheStoreGrowsItInsteadOfLosingTexts() {
    ScriptedPrompter prompter;
    records.recreate(1);
    list(message(QStringLiteral("first")));
    list(message(QStringLiteral("second")));
    QVERIFY(prompter.boxes.isEmpty());
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.plainTextBody(2), QStringLiteral("body of second"));
    QCOMPARE(window->ownedList().text(2, 4), QString());
    QCOMPARE(window->ownedList().text(2, 6), QStringLiteral("42054"));
}

void ListingHandlerTest::clearListDuringTheYieldRestartsAtPositionOne() {
    ScriptedPrompter prompter;
    list(message(QStringLiteral("first")));
    QTimer::singleShot(0, window, [this] { window->ownedList().clear(); });
    list(message(QStringLiteral("second"))); // the click runs inside this message's yield
    QCOMPARE(window->ownedList().count(), 0);
    list(message(QStringLiteral("third")));
    QCOMPARE(window->ownedList().count(), 1);
    QCOMPARE(records.at(1).From, QStringLiteral("third"));
    QCOMPARE(records.at(2).From, QStringLiteral("second"));
}

QTEST_MAIN(ListingHandlerTest)
#include "tst_listinghandler.moc"
