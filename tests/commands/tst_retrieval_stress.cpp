#include "RetrievalFixture.h"
#include "commands/Form2.h"
#include "list/RecordStore.h"

#include <QLabel>
#include <QTimer>

#include <functional>

namespace {

using Click = std::function<void(Form1&)>;

// Runs the next scripted click each time the list has grown, so that every click lands in a yield
// of a running listing. It watches from a chain of single-shot timers,
// each arming the next before it clicks: a click that starts a listing of its own is then watched
// as well.
class ClickScript : public QObject {
public:
    ClickScript(Form1& window, QList<Click> clicks) : window_(window), clicks_(std::move(clicks)) {
        arm();
    }
    bool finished() const { return next_ == clicks_.size(); }

private:
    void arm() {
        QTimer::singleShot(1, this, [this] { watch(); });
    }
    void watch() {
        if (finished())
            return;
        arm();
        const int rows = window_.ListView1->list().count();
        const bool grown = rows > rowsSeen_;
        rowsSeen_ = rows;
        if (grown)
            clicks_[next_++](window_);
    }

    Form1& window_;
    QList<Click> clicks_;
    qsizetype next_ = 0;
    int rowsSeen_ = 0;
};

Click press(QPushButton* Form1::*button) {
    return [button](Form1& window) { (window.*button)->click(); };
}

ScriptedPrompter::DialogDriver range(int first, int last) {
    return [first, last](QDialog& dialog) {
        auto* form = qobject_cast<Form2*>(&dialog);
        QVERIFY(form);
        form->Text1[0]->setText(QString::number(first));
        form->Text1[1]->setText(QString::number(last));
        form->PushButton1->click();
    };
}

} // namespace

// Clicks during a running listing must neither crash the program nor leave the list and its
// records disagreeing.
class TestRetrievalStress : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void clicksDuringListings();
    void disconnectDuringListing();

private:
    QTemporaryDir settings;
    QTemporaryDir seed;
    QTemporaryDir downloads;
    std::unique_ptr<MailServer> server;
    ServerLogin login;
    ScriptedPrompter prompter;
};

void TestRetrievalStress::initTestCase() {
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("Junk")), 400));
    server = std::make_unique<MailServer>(MailServer::Options{seed.path()});
    QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    login = loginOf(*server);
    useServer(login, settings.path());
}

void TestRetrievalStress::clicksDuringListings() {
    auto window = connectedWindow(login, prompter);
    window->Option7->setChecked(true);
    window->Text3->setText(downloads.path());
    // Stop, and a second Get Some inside the same yield of the first listing.
    const Click stopAndGetSome = [this](Form1& window) {
        window.PushButton10->click();
        prompter.dialogDrivers.enqueue(range(5, 300));
        window.PushButton2->click();
    };
    ClickScript script(*window, {press(&Form1::PushButton4), press(&Form1::PushButton12),
                                 press(&Form1::PushButton3), press(&Form1::PushButton4),
                                 press(&Form1::PushButton7), stopAndGetSome,
                                 press(&Form1::PushButton4), press(&Form1::PushButton3),
                                 press(&Form1::PushButton12), press(&Form1::PushButton4),
                                 press(&Form1::PushButton7), press(&Form1::PushButton6)});
    window->PushButton10_Click();
    QVERIFY(script.finished());

    // Both runs have ended; the rows are those of the second run since the last Clear List.
    for (const BoxContent& box : std::as_const(prompter.boxes))
        QVERIFY2(box.title != QStringLiteral("Application Error"), qPrintable(box.text));
    QCOMPARE(prompter.texts().last(), QStringLiteral("Done."));
    QVERIFY(!window->oMail);
    QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
    const MessageListModel& list = window->ListView1->list();
    QVERIFY(list.count() > 0);
    int checked = 0;
    for (int position = 1; position <= list.count(); ++position) {
        QCOMPARE(list.text(position, 1), messageRecords().at(position).From);
        QCOMPARE(list.text(position, 4), messageRecords().at(position).Subject);
        const int number = 300 - list.count() + position;
        QCOMPARE(list.text(position, 4), QStringLiteral("Generated message %1").arg(number));
        checked += list.isChecked(position) ? 1 : 0;
    }
    QCOMPARE(list.checkedCount(), checked);
    QCOMPARE(window->Label1->text(),
             QStringLiteral("Total Number Of Emails: %1").arg(list.count()));
}

void TestRetrievalStress::disconnectDuringListing() {
    auto window = connectedWindow(login, prompter);
    window->Option7->setChecked(true);
    ClickScript script(*window, {press(&Form1::PushButton4), press(&Form1::PushButton5)});
    window->PushButton10_Click();

    QVERIFY(script.finished());
    QCOMPARE(window->PushButton5->text(), QStringLiteral("1. Connect"));
    QCOMPARE(window->PushButton10->text(), QStringLiteral("2a. Get All Emails"));
    QVERIFY(!window->oMail);
    QCOMPARE(window->ListView1->list().count(), 0);
}

QTEST_MAIN(TestRetrievalStress)
#include "tst_retrieval_stress.moc"
