#include "FakeMailImap.h"
#include "WindowFixture.h"

#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "base/StatusLine.h"
#include "commands/RetrievalButtons.h"
#include "list/Form4.h"
#include "list/MessageListView.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

// What a screen reader hears, read through Qt's accessibility interface: the accessible names of
// the main window's controls, the message list as a table, and what the status line and the list
// announce as they change.

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

// What a screen reader was told: for each event, its kind and the role and name of the object it
// is about, as they were when it was sent.
// A table's change also tells which change, and from which column.
struct Heard {
    QAccessible::Event kind;
    QAccessible::Role role;
    QString name;
    int change = -1;
    int column = -1;
};
QList<Heard> heard;

void hear(QAccessibleEvent* event) {
    QAccessibleInterface* face = event->accessibleInterface();
    if (!face)
        return;
    Heard told{event->type(), face->role(), face->text(QAccessible::Name)};
    if (event->type() == QAccessible::TableModelChanged) {
        const auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
        told.change = change->modelChangeType();
        told.column = change->firstColumn();
    }
    heard.append(told);
}

QStringList namesHeard(const QSet<QAccessible::Event>& kinds, QAccessible::Role role) {
    QStringList names;
    for (const Heard& event : std::as_const(heard))
        if (kinds.contains(event.kind) && event.role == role)
            names.append(event.name);
    return names;
}

// Qt reports accessibility events only while a screen reader listens: as under
// with-accessibility-bus, which says so in QUENTARIL_ACCESSIBILITY_BUS.
bool underAccessibilityBus() {
    return qEnvironmentVariableIsSet("QUENTARIL_ACCESSIBILITY_BUS");
}

// Two messages from Ann and Bob, Bob's checked; column n of each reads its name and n, the date
// key excepted. Returns the date keys.
QStringList fillList(MessageListModel& rows) {
    const QStringList dateKeys{QStringLiteral("20150219093000"), QStringLiteral("20150220101500")};
    for (const QString& from : {QStringLiteral("Ann"), QStringLiteral("Bob")}) {
        const int position = rows.appendRow(from);
        for (int column = 2; column <= 5; ++column)
            rows.setText(position, column, from + QString::number(column));
        rows.setText(position, 6, dateKeys[position - 1]);
    }
    rows.publishRows();
    rows.setChecked(2, true);
    return dateKeys;
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
    void statusChangesAreAnnounced();
    void progressIsAnnouncedAtAPace();
    void listSpeaksTheColumnsOnScreen_data();
    void listSpeaksTheColumnsOnScreen();
    void listMovesAreAnnounced();
    void stopSaysWhatItStops();
    void largerViewTitleWithoutLeadingBlank();

private:
    // A loaded window; with a component, the mail component it connects with.
    std::unique_ptr<Form1> load(std::function<std::unique_ptr<MailImap>()> component = {});

    std::unique_ptr<WindowFixture> fixture;
};

void AccessibleNamesTest::init() {
    fixture = std::make_unique<WindowFixture>();
}

void AccessibleNamesTest::cleanup() {
    fixture.reset();
}

std::unique_ptr<Form1>
AccessibleNamesTest::load(std::function<std::unique_ptr<MailImap>()> component) {
    return loadedWindow([&component](Form1& form) {
        if (component)
            form.createComponent = std::move(component);
    });
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
    const auto labels =
        QAccessible::queryAccessibleInterface(form->Combo1)->relations(QAccessible::Label);
    QVERIFY(!labels.isEmpty());
    QCOMPARE(labels.first().first->text(QAccessible::Name), QStringLiteral("Account suffix"));
    auto* label = qobject_cast<QLabel*>(labels.first().first->object());
    QVERIFY(label && !label->isVisibleTo(form.get()));
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

// A connect announces each of its steps on the status bar; a text set twice is announced once.
void AccessibleNamesTest::statusChangesAreAnnounced() {
    if (!underAccessibilityBus())
        QSKIP("Announcements are heard under with-accessibility-bus only");
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
    // The fake component goes nowhere; the address only has to pass the loopback check.
    SettingsStore::Save(QStringLiteral("Server"), QStringLiteral("127.0.0.1:1993"));
    SettingsStore::Save(QStringLiteral("AuthMethod"), QStringLiteral("password"));
    auto form = load([] { return std::make_unique<FakeMailImap>(); });
    form->Text1->setText(QStringLiteral("someone"));
    form->Text2->setText(QStringLiteral("secret"));
    heard.clear();
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(hear);
    form->PushButton5->click();
    form->setStatusText(QStringLiteral("Reading mail 3 of 10"));
    form->setStatusText(QStringLiteral("Reading mail 3 of 10"));
    QAccessible::installUpdateHandler(previous);
    QCOMPARE(
        namesHeard({QAccessible::NameChanged, QAccessible::ValueChanged}, QAccessible::StatusBar),
        QStringList({QStringLiteral("Connecting to Windows Live Hotmail..."),
                     QStringLiteral("Enumerating folders..."),
                     QStringLiteral("Connected to Windows Live Hotmail. Please select folder."),
                     QStringLiteral("Reading mail 3 of 10")}));
}

// A long run's progress reaches a screen reader about twice a second, never message by message,
// and its last text always; a step's text after it is heard at once, and nothing stale follows.
void AccessibleNamesTest::progressIsAnnouncedAtAPace() {
    if (!underAccessibilityBus())
        QSKIP("Announcements are heard under with-accessibility-bus only");
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
    auto form = load();
    heard.clear();
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(hear);
    QElapsedTimer clock;
    clock.start();
    for (int n = 1; n <= 3000; ++n) {
        form->setProgressText(QStringLiteral("Reading mail %1 of 3000").arg(n));
        if (n % 100 == 0)
            QTest::qWait(20);
    }
    const qint64 elapsed = clock.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(namesHeard({QAccessible::NameChanged}, QAccessible::StatusBar)
                                 .contains(QStringLiteral("Reading mail 3000 of 3000")),
                             2000);
    form->setProgressText(QStringLiteral("Reading mail 1 of 2"));
    form->setStatusText(QStringLiteral("Done."));
    QTest::qWait(700);
    QAccessible::installUpdateHandler(previous);
    const QStringList names = namesHeard({QAccessible::NameChanged}, QAccessible::StatusBar);
    // The first text, one each half second, the last one and the step after it.
    QVERIFY2(names.size() <= 4 + elapsed / 500, qPrintable(QString::number(names.size())));
    QCOMPARE(names.last(), QStringLiteral("Done."));
    QCOMPARE(names.count(QStringLiteral("Reading mail 3000 of 3000")), 1);
}

// The list is read as a table of the columns on screen: the date key, zero wide, is left out,
// until the user drags it open.
void AccessibleNamesTest::listSpeaksTheColumnsOnScreen_data() {
    QTest::addColumn<bool>("larger");
    QTest::addColumn<int>("dateKeyWidth");
    QTest::newRow("main list") << false << 0;
    QTest::newRow("main list, date key dragged open") << false << 60;
    QTest::newRow("larger view") << true << 0;
}

void AccessibleNamesTest::listSpeaksTheColumnsOnScreen() {
    QFETCH(bool, larger);
    QFETCH(int, dateKeyWidth);
    auto form = load();
    std::unique_ptr<Form4> view;
    MessageListView* list = form->ListView1;
    if (larger) {
        view = std::make_unique<Form4>(*form, form.get());
        list = view->ListView1;
    }
    MessageListModel& rows = list->list();
    const QStringList dateKeys = fillList(rows);
    list->setColumnWidth(MessageListModel::columns - 1, dateKeyWidth);

    QStringList headers{QStringLiteral("From"), QStringLiteral("From Name"),
                        QStringLiteral("From Address"), QStringLiteral("Subject"),
                        QStringLiteral("Received Date")};
    if (dateKeyWidth > 0)
        headers.append(QStringLiteral("RecDate"));
    const int columns = static_cast<int>(headers.size());
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(list);
    QAccessibleTableInterface* table = face->tableInterface();
    QVERIFY(table);
    QCOMPARE(face->role(), QAccessible::Tree);
    QCOMPARE(table->columnCount(), columns);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(face->childCount(), 3 * columns);
    QStringList heard;
    for (int i = 0; i < face->childCount(); ++i) {
        QAccessibleInterface* child = face->child(i);
        QVERIFY(child);
        QCOMPARE(face->indexOfChild(child), i);
        QCOMPARE(child->parent(), face);
        heard.append(child->text(QAccessible::Name));
    }
    QCOMPARE(heard.mid(0, columns), headers);
    QCOMPARE(table->columnDescription(columns - 1), headers.last());
    for (const QString& key : dateKeys)
        QCOMPARE(heard.contains(key), dateKeyWidth > 0);

    QAccessibleInterface* bobChecked = table->cellAt(1, 0);
    QCOMPARE(bobChecked->text(QAccessible::Name), QStringLiteral("Bob"));
    QVERIFY(bobChecked->state().checkable && bobChecked->state().checked);
    QCOMPARE(bobChecked->tableCellInterface()->rowIndex(), 1);
    QCOMPARE(bobChecked->tableCellInterface()->columnHeaderCells().value(0),
             face->child(0)); // "From"

    // A click into the row's date key column (possible once it is open) makes the row current;
    // with the column closed a screen reader hears the row's first cell.
    list->setCurrentIndex(rows.index(1, MessageListModel::columns - 1));
    QCOMPARE(table->selectedRows(), QList<int>{1});
    QVERIFY(table->cellAt(1, 2)->tableCellInterface()->isSelected());
    QCOMPARE(face->focusChild(), table->cellAt(1, dateKeyWidth > 0 ? columns - 1 : 0));
    QVERIFY(table->selectRow(0));
    QCOMPARE(table->selectedRows(), QList<int>{0});

    // Checking a message through the cell's toggle action is a click on its check box.
    QSignalSpy checks(list, &MessageListView::ItemCheck);
    table->cellAt(0, 0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(rows.isChecked(1));
    QCOMPARE(checks.size(), 1);

    // After "Clear List" and a new listing the cells read the new rows.
    rows.clear();
    QCOMPARE(face->childCount(), columns);
    fillList(rows);
    QCOMPARE(table->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral("Bob2"));
}

// Moving through the list tells a screen reader of the cell it arrives on, counted among the
// columns it is shown, and of the row selected and the row left.
void AccessibleNamesTest::listMovesAreAnnounced() {
    if (!underAccessibilityBus())
        QSKIP("Announcements are heard under with-accessibility-bus only");
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
    auto form = load();
    MessageListModel& rows = form->ListView1->list();
    fillList(rows);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    form->ListView1->setFocus();
    QTRY_VERIFY(form->ListView1->hasFocus());
    heard.clear();
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(hear);
    form->ListView1->setCurrentIndex(rows.index(1, 3));
    form->ListView1->setCurrentIndex(rows.index(0, 1));
    QAccessible::installUpdateHandler(previous);
    QCOMPARE(namesHeard({QAccessible::Focus}, QAccessible::TreeItem),
             QStringList({QStringLiteral("Bob4"), QStringLiteral("Ann2")}));
    QCOMPARE(namesHeard({QAccessible::SelectionAdd}, QAccessible::TreeItem),
             QStringList({QStringLiteral("Bob"), QStringLiteral("Ann")}));
    QCOMPARE(namesHeard({QAccessible::SelectionRemove}, QAccessible::TreeItem),
             QStringList{QStringLiteral("Bob")});

    // The date key dragged open joins the table as its sixth column, and leaves it when closed.
    heard.clear();
    QAccessible::installUpdateHandler(hear);
    form->ListView1->setColumnWidth(MessageListModel::columns - 1, 60);
    form->ListView1->setColumnWidth(MessageListModel::columns - 1, 0);
    QAccessible::installUpdateHandler(previous);
    QList<QPair<int, int>> columnChanges;
    for (const Heard& told : std::as_const(heard))
        if (told.change == QAccessibleTableModelChangeEvent::ColumnsInserted ||
            told.change == QAccessibleTableModelChangeEvent::ColumnsRemoved)
            columnChanges.append({told.change, told.column});
    QCOMPARE(columnChanges,
             (QList<QPair<int, int>>{{QAccessibleTableModelChangeEvent::ColumnsInserted, 5},
                                     {QAccessibleTableModelChangeEvent::ColumnsRemoved, 5}}));
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
