#include "ScriptedPrompter.h"

#include "base/ErrorReport.h"
#include "base/Failure.h"
#include "base/Guard.h"

#include <QTest>

#include <stdexcept>

class ErrorReportTest : public QObject {
    Q_OBJECT
private slots:
    void textIsExact();
    void emptyDescriptionKeepsTheLocationLine();
    void boxIsTheApplicationErrorBox();
    void eachFailureGetsItsOwnBoxAndTheCommandGoesOn();
    void failingTestRunsTheTrueBranch();
    void standardExceptionsAreReportedToo();
};

void ErrorReportTest::textIsExact() {
    const QString text =
        ErrorReport::text(QStringLiteral("Overflow"),
                          QStringLiteral("in Brastovel2/19/2015.Form1.PushButton8_Click "), 100);
    const QByteArray expected =
        "Overflow\r\nin Brastovel2/19/2015.Form1.PushButton8_Click at line 100\r\r";
    QVERIFY(text.toUtf8().startsWith(expected));
    const QString request = text.mid(expected.size());
    QVERIFY(!request.isEmpty());
    QVERIFY(request.contains(QStringLiteral("screenshot")));
    QVERIFY(request.contains(QLatin1Char('@')));
    QVERIFY(!request.contains(QLatin1Char('\r')) && !request.contains(QLatin1Char('\n')));
}

void ErrorReportTest::emptyDescriptionKeepsTheLocationLine() {
    const QString text =
        ErrorReport::text({}, QStringLiteral("in Brastovel2/19/2015.Form1.Form_Load "), 777);
    QVERIFY(text.startsWith(
        QStringLiteral("\r\nin Brastovel2/19/2015.Form1.Form_Load at line 777\r\r")));
}

void ErrorReportTest::boxIsTheApplicationErrorBox() {
    ScriptedPrompter prompter;
    ErrorReport::show(nullptr, QStringLiteral("Type mismatch"), QStringLiteral("in X.Form1.Y "), 0);
    QCOMPARE(prompter.boxes.size(), 1);
    QCOMPARE(prompter.boxes[0].title, QStringLiteral("Application Error"));
    QCOMPARE(prompter.boxes[0].icon, BoxIcon::Exclamation);
    QVERIFY(prompter.boxes[0].text.startsWith(
        QStringLiteral("Type mismatch\r\nin X.Form1.Y at line 0\r\r")));
}

void ErrorReportTest::eachFailureGetsItsOwnBoxAndTheCommandGoesOn() {
    ScriptedPrompter prompter;
    QStringList ran;
    Guard guard(nullptr, QStringLiteral("in Brastovel2/19/2015.Form1.Form_Load "));
    guard(100, [&] { ran << "100"; });
    guard(102, [&] { throw Failure::overflow(); });
    guard(104, [&] { ran << "104"; });
    guard(106, [&] { throw Failure::subscriptOutOfRange(); });
    guard(108, [&] { ran << "108"; });

    QCOMPARE(ran, (QStringList{"100", "104", "108"}));
    QCOMPARE(prompter.boxes.size(), 2);
    QVERIFY(prompter.boxes[0].text.startsWith(
        QStringLiteral("Overflow\r\nin Brastovel2/19/2015.Form1.Form_Load at line 102\r\r")));
    QVERIFY(prompter.boxes[1].text.startsWith(QStringLiteral(
        "Subscript out of range\r\nin Brastovel2/19/2015.Form1.Form_Load at line 106\r\r")));
}

void ErrorReportTest::failingTestRunsTheTrueBranch() {
    ScriptedPrompter prompter;
    Guard guard(nullptr, QStringLiteral("in L "));
    QString branch;
    if (guard.test(100, []() -> bool { throw Failure::typeMismatch(); }))
        branch = QStringLiteral("true");
    else
        branch = QStringLiteral("false");
    QCOMPARE(branch, QStringLiteral("true"));
    QCOMPARE(prompter.boxes.size(), 1);
    QVERIFY(prompter.boxes[0].text.startsWith(QStringLiteral("Type mismatch\r\nin L at line 100")));
    // A test that does not fail decides as usual.
    QVERIFY(!guard.test(102, [] { return false; }));
    QCOMPARE(prompter.boxes.size(), 1);
}

void ErrorReportTest::standardExceptionsAreReportedToo() {
    ScriptedPrompter prompter;
    Guard guard(nullptr, QStringLiteral("in L "));
    guard(110, [] { throw std::runtime_error("Permission denied"); });
    QCOMPARE(prompter.boxes.size(), 1);
    QVERIFY(
        prompter.boxes[0].text.startsWith(QStringLiteral("Permission denied\r\nin L at line 110")));
}

QTEST_GUILESS_MAIN(ErrorReportTest)
#include "tst_errorreport.moc"
