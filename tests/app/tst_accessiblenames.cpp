#include "ScriptedPrompter.h"
#include "TemporarySettings.h"

#include "app/Form1.h"
#include "base/ShellUtilities.h"
#include "base/StatusLine.h"
#include "commands/RetrievalButtons.h"
#include "list/Form4.h"
#include "list/MessageListView.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// What a screen reader hears: the accessible names of the main window's controls, read through
// Qt's accessibility interface, and the status line's announcements.

namespace {

QString accessibleName(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QStringLiteral("(no interface)");
}

// A name taken from the design (PushButton5, Text1, lblLabels(0), Form1...) or a format left in.
bool looksInternal(const QString& name) {
    static const QRegularExpression internal(QStringLiteral(
        "^(PushButton|Text|Combo|Check|Option|Frame|Label|lblLabels|ListView|ProgressBar|"
        "txtSearch|Form)(\\d+|\\(\\d+\\))?$|%[0-9p]"));
    return internal.match(name.trimmed()).hasMatch();
}

} // namespace

class AccessibleNamesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyControlHasAName();
    void namesAPersonWouldSay();
    void statusLineIsAnnouncedStatusBar();
    void stopSaysWhatItStops();
    void largerViewTitleWithoutLeadingBlank();

private:
    std::unique_ptr<Form1> load();

    std::unique_ptr<TemporarySettings> settings;
    std::unique_ptr<ScriptedPrompter> prompter;
    QTemporaryDir programFolder;
};

void AccessibleNamesTest::init() {
    settings = std::make_unique<TemporarySettings>();
    prompter = std::make_unique<ScriptedPrompter>();
    SetProgramFolder(programFolder.path());
}

void AccessibleNamesTest::cleanup() {
    SetProgramFolder({});
    prompter.reset();
    settings.reset();
}

std::unique_ptr<Form1> AccessibleNamesTest::load() {
    auto form = std::make_unique<Form1>();
    form->startupDraw = [] { return 1; };
    form->Form_Load();
    return form;
}

void AccessibleNamesTest::everyControlHasAName() {
    auto form = load();
    const auto controls = form->findChildren<QWidget*>();
    int checked = 0;
    for (QWidget* control : controls) {
        const bool speaks =
            qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
            qobject_cast<QComboBox*>(control) || qobject_cast<QGroupBox*>(control) ||
            qobject_cast<QLabel*>(control) || qobject_cast<MessageListView*>(control) ||
            qobject_cast<StatusLine*>(control);
        // The drop-down's own line edit and a view's inner parts speak through their owner.
        if (!speaks || control->objectName().isEmpty())
            continue;
        const QString name = accessibleName(control);
        QVERIFY2(!name.trimmed().isEmpty(),
                 qPrintable(control->objectName() + QStringLiteral(" has no name")));
        QVERIFY2(!looksInternal(name),
                 qPrintable(control->objectName() + QStringLiteral(" is called ") + name));
        ++checked;
    }
    QVERIFY(checked >= 35);
}

void AccessibleNamesTest::namesAPersonWouldSay() {
    auto form = load();
    const std::vector<std::pair<QWidget*, const char*>> expected{
        {form->Text1, "Live ID"},          {form->Text2, "Password"},
        {form->txtSearch, "Filter"},       {form->ListView1, "Messages"},
        {form->Text3, "Save folder"},      {form->PushButton1, "Choose folder"},
        {form->PushButton5, "1. Connect"}, {form->Check1, "Remember me"}};
    for (const auto& [control, name] : expected)
        QCOMPARE(accessibleName(control), QString::fromUtf8(name));
    // On Linux Qt reads a drop-down's current entry as its name and looks for its label in the
    // relations; the name given is what other platforms read.
    QCOMPARE(form->Combo1->accessibleName(), QStringLiteral("Account suffix"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form->ListView1);
    QVERIFY(list);
    QCOMPARE(list->role(), QAccessible::Tree);
}

void AccessibleNamesTest::statusLineIsAnnouncedStatusBar() {
    auto form = load();
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(form->ProgressBar1);
    QVERIFY(status);
    QCOMPARE(status->role(), QAccessible::StatusBar);
    QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Status"));

    form->setStatusText(QStringLiteral("Done 100%"));
    QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Done 100%"));
    QCOMPARE(form->statusText(), QStringLiteral("Done 100%"));
}

void AccessibleNamesTest::stopSaysWhatItStops() {
    auto form = load();
    RetrievalButtons::showRunning(form->PushButton10, form->PushButton2);
    QCOMPARE(form->PushButton10->text(), QStringLiteral("Stop"));
    QCOMPARE(accessibleName(form->PushButton10), QStringLiteral("Stop listing messages"));
    RetrievalButtons::showIdle(form->PushButton10, form->PushButton2);
    QCOMPARE(accessibleName(form->PushButton10), QStringLiteral("2a. Get All Emails"));
}

void AccessibleNamesTest::largerViewTitleWithoutLeadingBlank() {
    auto form = load();
    Form4 view(*form, form.get());
    QCOMPARE(view.windowTitle(), QStringLiteral(" List In Larger View"));
    QCOMPARE(accessibleName(&view), QStringLiteral("List In Larger View"));
}

QTEST_MAIN(AccessibleNamesTest)
#include "tst_accessiblenames.moc"
