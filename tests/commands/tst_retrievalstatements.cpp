// The listing job's statements fail under the numbers they have in the clicked command.
#include "WindowFixture.h"
#include "app/Form1.h"
#include "base/ErrorReport.h"
#include "base/Failure.h"
#include "commands/RetrievalFlags.h"
#include "mail/clsMailIMAP.h"

#include <QPushButton>
#include <QTest>

class TestRetrievalStatements : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> fixture;

private slots:
    void init() { fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { fixture.reset(); }

    void countFailsUnderItsNumber_data() {
        QTest::addColumn<bool>("some");
        QTest::addColumn<QString>("location");
        QTest::addColumn<int>("line");
        QTest::newRow("Get All Emails")
            << false << QStringLiteral("in Brastovel2/19/20151/29/2015.Form1.PushButton10_Click ")
            << 126;
        QTest::newRow("Get Some Emails")
            << true << QStringLiteral("in Brastovel2/19/20151/29/2015.Form1.PushButton2_Click ")
            << 116;
    }

    // A session without its component cannot count: the failure is reported under the count's
    // number, and the run ends as one over an empty folder, without a dialog and without "Done.".
    void countFailsUnderItsNumber() {
        QFETCH(bool, some);
        QFETCH(QString, location);
        QFETCH(int, line);
        auto window = loadedWindow();
        window->oMail = std::make_shared<clsMailIMAP>();
        window->PushButton5->setText(QStringLiteral("Disconnect"));
        fixture->prompter.clear();

        if (some)
            window->PushButton2_Click();
        else
            window->PushButton10_Click();

        const QString notSet = Failure::objectNotSet().description();
        QCOMPARE(fixture->prompter.texts(),
                 (QStringList{ErrorReport::text(notSet, location, line),
                              QStringLiteral("There are no emails in the Folder you selected.")}));
        QVERIFY(SkipDoneMessage);
        QVERIFY(!window->oMail);
        QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
    }
};

QTEST_MAIN(TestRetrievalStatements)
#include "tst_retrievalstatements.moc"
