#include "ScriptedPrompter.h"
#include "TemporarySettings.h"

#include "app/Form1.h"
#include "base/FocusMarker.h"
#include "base/SettingsStore.h"
#include "base/ShellUtilities.h"
#include "base/StatusLine.h"
#include "list/MessageListView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include <map>

namespace {

using Store = std::map<QString, QString>;

void seed(const Store& values) {
    for (const auto& [key, value] : values)
        SettingsStore::Save(key, value);
}

// Every key in the file, as the program wrote it.
Store stored() {
    QSettings file(SettingsStore::filePath(), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("Quentaril"));
    Store values;
    const QStringList keys = file.childKeys();
    for (const QString& key : keys)
        values[key] = file.value(key).toString();
    return values;
}

QString key(const char* name) {
    return SettingsStore::Read(QString::fromLatin1(name));
}

void hover(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

const QString desktop =
    QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)) +
    QDir::separator();

} // namespace

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controlsAndLayout();
    void firstStart();
    void restoresEveryKey();
    void saveMethodFromOption_data();
    void saveMethodFromOption();
    void unreadableDropDownIndexIsReported_data();
    void unreadableDropDownIndexIsReported();
    void unwritableSettingsAreSaidInTheStatusLine();
    void statusLineHeightFollowsTextAndFont();
    void notRememberedEmptiesTheCredentials();
    void passwordIsStoredOnlyWhenRemembered();
    void handlersStoreTheirKeys();
    void folderChoice();
    void help();
    void textBoxesSelectAllOnFocus();
    void returnConnectsAndFocusIsMarked();
    void startupDrawOpensTheSiteOnSeven();
    void hoverPointer();
    void handPointerFromTheProgramFolder();
    void closingEndsTheProgram();

private:
    // A loaded window; before runs on it first.
    std::unique_ptr<Form1> load(int draw = 1, const std::function<void(Form1&)>& before = {});

    std::unique_ptr<TemporarySettings> settings;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<QTemporaryDir> programFolder;
    QList<QUrl> opened;
};

// The password box is used: sign in with a password, where the default server's own sign-in would
// be OAuth2 and leave the box disabled.
static void usePasswordSignIn() {
    SettingsStore::Save(QStringLiteral("AuthMethod"), QStringLiteral("password"));
}

void Form1Test::init() {
    settings = std::make_unique<TemporarySettings>();
    prompter = std::make_unique<ScriptedPrompter>();
    programFolder = std::make_unique<QTemporaryDir>();
    SetProgramFolder(programFolder->path());
    opened.clear();
}

void Form1Test::cleanup() {
    SetProgramFolder({});
    prompter.reset();
    settings.reset();
}

std::unique_ptr<Form1> Form1Test::load(int draw, const std::function<void(Form1&)>& before) {
    auto form = std::make_unique<Form1>();
    if (before)
        before(*form);
    form->startupDraw = [draw] { return draw; };
    form->openAddress = [this](const QUrl& address) { opened.append(address); };
    form->Form_Load();
    return form;
}

void Form1Test::controlsAndLayout() {
    auto form = load();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quentaril"));
    QVERIFY(!form->windowIcon().isNull());

    const std::vector<std::pair<QAbstractButton*, const char*>> captions{
        {form->PushButton1, "..."},
        {form->PushButton2, "2b. Get Some Emails"},
        {form->PushButton3, "Clear List"},
        {form->PushButton4, "Check All"},
        {form->PushButton5, "1. Connect"},
        {form->PushButton6, "Uncheck All"},
        {form->PushButton7, "3. Start Downloading"},
        {form->PushButton8, "Help"},
        {form->PushButton9, "Check Emails Containing..."},
        {form->PushButton10, "2a. Get All Emails"},
        {form->PushButton11, "Check Emails Not Containing..."},
        {form->PushButton12, "Show List In Larger View"},
        {form->Option1, "Save Each Email To Separate Text Files"},
        {form->Option2, "Save All Emails To One Text File"},
        {form->Option3, "Inbox"},
        {form->Option5, "Drafts"},
        {form->Option6, "Sent"},
        {form->Option7, "Junk"},
        {form->Option9, "Deleted"},
        {form->Check1, "Remember me"},
        {form->Check2, "Autoconnect when software loads"},
        {form->Check3, "Skip emails already saved to this folder"}};
    for (const auto& [button, caption] : captions)
        QCOMPARE(button->text(), QString::fromUtf8(caption));
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(form->PushButton1),
                                    static_cast<QAbstractButton*>(form->Option9),
                                    static_cast<QAbstractButton*>(form->Check2)})
        QCOMPARE(form->findChild<QAbstractButton*>(button->objectName()), button);

    const std::vector<std::pair<QGroupBox*, const char*>> frames{
        {form->Frame5, "Login"},
        {form->Frame2, "Folder"},
        {form->Frame6, "Optional: Filter (Only emails containing these characters will be added "
                       "to the list)"},
        {form->Frame3, "Save Method"},
        {form->Frame1, "Save Windows Live Hotmail Emails To This Folder"}};
    for (const auto& [frame, caption] : frames)
        QCOMPARE(frame->title(), QString::fromUtf8(caption));
    QCOMPARE(form->lblLabels[0]->text(), QStringLiteral("Live ID:"));
    QCOMPARE(form->lblLabels[1]->text(), QStringLiteral("Password:"));
    QCOMPARE(form->Text2->echoMode(), QLineEdit::Password);
    QCOMPARE(form->Text2->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                             form->Text2),
             int('*'));
    QCOMPARE(form->Combo1->count(), 4);
    QCOMPARE(form->Combo1->itemText(0), QStringLiteral("Live!ID"));
    for (int entry = 1; entry < 4; ++entry)
        QVERIFY(form->Combo1->itemText(entry).startsWith(QLatin1Char('@')));
    QCOMPARE(form->Combo1->itemText(3), QStringLiteral("@outlook.com"));

    // The list: six columns with their widths in twips, the sixth hidden by zero width; the
    // Received Date column as wide as a whole date needs, at least.
    QCOMPARE(form->ListView1->model()->columnCount(), 6);
    const int widths[] = {1300, 1300, 1600, 1600, 1600, 0};
    for (int column = 1; column <= 6; ++column)
        if (column != 5)
            QVERIFY(qAbs(form->ListView1->columnWidthInTwips(column) - widths[column - 1]) < 15);
    QVERIFY(form->ListView1->columnWidthInTwips(5) >= 1600 - 15);
    const QString date = QStringLiteral("12/28/2028 8:58:58 PM");
    QVERIFY(form->ListView1->columnWidth(4) >
            form->ListView1->fontMetrics().horizontalAdvance(date));
    QCOMPARE(form->ListView1->toolTip(),
             QStringLiteral("Move bar to right and out of window to reveal full names."));

    form->setStatusText(QStringLiteral("Connecting to Windows Live Hotmail..."));
    QCOMPARE(form->ProgressBar1->text(), QStringLiteral("Connecting to Windows Live Hotmail..."));
    QVERIFY(form->ProgressBar1->isTextVisible());

    // Rows from top to bottom, and controls that share a row side by side.
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const auto top = [&](QWidget* widget) { return widget->mapTo(form.get(), QPoint()).y(); };
    const auto left = [&](QWidget* widget) { return widget->mapTo(form.get(), QPoint()).x(); };
    const std::vector<QWidget*> rows{
        form->Frame5,    form->Frame2, form->Frame6,      form->PushButton10, form->PushButton12,
        form->ListView1, form->Label1, form->PushButton4, form->PushButton9,  form->PushButton3,
        form->Frame3,    form->Frame1, form->PushButton7, form->ProgressBar1};
    for (std::size_t i = 1; i < rows.size(); ++i)
        QVERIFY2(top(rows[i - 1]) < top(rows[i]), qPrintable(rows[i]->objectName()));
    const std::vector<std::pair<QWidget*, QWidget*>> pairs{
        {form->PushButton10, form->PushButton2}, {form->Label1, form->Label2},
        {form->PushButton4, form->PushButton6},  {form->PushButton9, form->PushButton11},
        {form->Text3, form->PushButton1},        {form->PushButton5, form->PushButton8},
        {form->Option3, form->Option5},          {form->Option7, form->Option9}};
    for (const auto& [first, second] : pairs) {
        QCOMPARE(top(first), top(second));
        QVERIFY(left(first) < left(second));
    }
    QVERIFY(top(form->Option1) < top(form->Option2));
    QVERIFY(top(form->Option2) < top(form->Check3));
    QVERIFY(form->Frame3->isAncestorOf(form->Check3));
    QVERIFY(top(form->Text1) < top(form->Text2));
    QVERIFY(top(form->Text2) < top(form->PushButton5));
    QVERIFY(form->PushButton5->width() > 2 * form->PushButton8->width());
}

void Form1Test::firstStart() {
    auto form = load();
    QCOMPARE(form->Text1->text(), QString());
    QCOMPARE(form->Text2->text(), QString());
    QCOMPARE(form->Text3->text(), desktop);
    QVERIFY(form->Option1->isChecked());
    QVERIFY(!form->Option2->isChecked());
    QVERIFY(!form->Check1->isChecked());
    QVERIFY(!form->Check2->isChecked());
    QVERIFY(!form->Check2->isEnabled());
    QVERIFY(form->Check3->isChecked());
    QCOMPARE(form->Combo1->currentText(), QStringLiteral("Live!ID"));
    QVERIFY(form->Option3->isChecked());
    QCOMPARE(form->PushButton5->text(), QStringLiteral("1. Connect"));
    QVERIFY(!form->CheckSearchActive);
    QCOMPARE(form->Label1->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(form->Label2->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(prompter->boxes.isEmpty());

    // What start-up wrote back while it assigned the restored values.
    const Store expected{{QStringLiteral("Folder"), desktop},
                         {QStringLiteral("Option"), QStringLiteral("1")},
                         {QStringLiteral("SkipSaved"), QStringLiteral("1")},
                         {QStringLiteral("Combo1"), QStringLiteral("0")},
                         {QStringLiteral("Option3"), QStringLiteral("True")},
                         {QStringLiteral("Option5"), QStringLiteral("False")},
                         {QStringLiteral("Option6"), QStringLiteral("False")},
                         {QStringLiteral("Option7"), QStringLiteral("False")},
                         {QStringLiteral("Option9"), QStringLiteral("False")}};
    QCOMPARE(stored(), expected);
}

void Form1Test::restoresEveryKey() {
    seed({{QStringLiteral("User"), QStringLiteral("alex")},
          {QStringLiteral("Password"), QStringLiteral("s3cret")},
          {QStringLiteral("Folder"), QStringLiteral("/srv/mail out")},
          {QStringLiteral("Option"), QStringLiteral("2")},
          {QStringLiteral("SkipSaved"), QStringLiteral("0")},
          {QStringLiteral("StayConnected"), QStringLiteral("1")},
          {QStringLiteral("AutoConnect"), QStringLiteral("0")},
          {QStringLiteral("Combo1"), QStringLiteral("3")},
          {QStringLiteral("Option3"), QStringLiteral("False")},
          {QStringLiteral("Option5"), QStringLiteral("0")},
          {QStringLiteral("Option6"), QStringLiteral("True")},
          {QStringLiteral("Option7"), QStringLiteral("False")},
          {QStringLiteral("Option9"), QStringLiteral("False")}});
    // What the file holds after each change of the password box during start-up: a crash there
    // must not find the remembered password gone.
    QStringList storedPasswords;
    auto form = load(1, [&](Form1& window) {
        connect(window.Text2, &QLineEdit::textChanged, &window,
                [&] { storedPasswords.append(key("Password")); });
    });
    QVERIFY(!storedPasswords.isEmpty());
    QCOMPARE(storedPasswords, QStringList(storedPasswords.size(), QStringLiteral("s3cret")));
    QCOMPARE(form->Text1->text(), QStringLiteral("alex"));
    QCOMPARE(form->Text2->text(), QStringLiteral("s3cret"));
    QCOMPARE(form->Text3->text(), QStringLiteral("/srv/mail out"));
    for (const QLineEdit* box : {form->Text1, form->Text2, form->Text3})
        QCOMPARE(box->cursorPosition(), 0); // shown from the start, as assigned
    QVERIFY(form->Option2->isChecked());
    QVERIFY(!form->Check3->isChecked());
    QVERIFY(form->Check1->isChecked());
    QVERIFY(form->Check2->isEnabled());
    QVERIFY(!form->Check2->isChecked());
    QCOMPARE(form->Combo1->currentIndex(), 3);
    QCOMPARE(form->liveId(), QStringLiteral("alex@outlook.com"));
    QVERIFY(form->Option6->isChecked());
    QVERIFY(!form->Option3->isChecked());
    QVERIFY(prompter->boxes.isEmpty());
    // The remembered password survives its passage through the unchecked box at start-up.
    QCOMPARE(key("Password"), QStringLiteral("s3cret"));
    QCOMPARE(key("User"), QStringLiteral("alex"));
    QCOMPARE(key("Option5"), QStringLiteral("False"));

    form->Combo1->setCurrentIndex(0);
    QCOMPARE(form->liveId(), QStringLiteral("alex"));
}

void Form1Test::saveMethodFromOption_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("option2");
    QTest::newRow("1") << QStringLiteral("1") << false << false;
    QTest::newRow("x") << QStringLiteral("x") << false << false;
    QTest::newRow("missing") << QString() << true << false;
    QTest::newRow(" 2") << QStringLiteral(" 2") << false << false;
    QTest::newRow("2") << QStringLiteral("2") << false << true;
}

void Form1Test::saveMethodFromOption() {
    QFETCH(QString, stored);
    QFETCH(bool, missing);
    QFETCH(bool, option2);
    if (!missing)
        SettingsStore::Save(QStringLiteral("Option"), stored);
    auto form = load();
    QCOMPARE(form->Option2->isChecked(), option2);
    QCOMPARE(form->Option1->isChecked(), !option2);
    QCOMPARE(key("Option"), option2 ? QStringLiteral("2") : QStringLiteral("1"));
}

void Form1Test::unreadableDropDownIndexIsReported_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("description");
    QTest::newRow("not a number") << QStringLiteral("abc") << QStringLiteral("Type mismatch");
    QTest::newRow("no such entry")
        << QStringLiteral("7") << QStringLiteral("Invalid property value");
}

void Form1Test::unreadableDropDownIndexIsReported() {
    QFETCH(QString, stored);
    QFETCH(QString, description);
    seed({{QStringLiteral("Combo1"), stored}, {QStringLiteral("User"), QStringLiteral("alex")}});
    auto form = load();
    QCOMPARE(prompter->boxes.size(), 1);
    QCOMPARE(prompter->boxes[0].title, QStringLiteral("Application Error"));
    QVERIFY2(prompter->boxes[0].text.startsWith(
                 description +
                 QStringLiteral("\r\nin Brastovel2/19/2015.Form1.Form_Load at line 777\r\r")),
             qPrintable(prompter->boxes[0].text));
    // The drop-down keeps its entries and selects none; the stored value is left alone.
    QCOMPARE(form->Combo1->count(), 4);
    QCOMPARE(form->Combo1->currentIndex(), -1);
    QCOMPARE(form->liveId(), QString());
    QCOMPARE(key("Combo1"), stored);
}

// Settings that cannot be written are said in the status line once; the window works on.
void Form1Test::unwritableSettingsAreSaidInTheStatusLine() {
    QFile plain(settings->path() + QStringLiteral("/plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    TemporarySettings::usePath(plain.fileName());
    auto form = load();
    QVERIFY2(form->statusText().startsWith(QStringLiteral("Settings cannot be saved: \"")),
             qPrintable(form->statusText()));
    QVERIFY(form->statusText().endsWith(QStringLiteral("Quentaril.ini\" is not writable.")));
    form->setStatusText(QStringLiteral("Progress Bar"));
    form->Option6->click();
    QCOMPARE(form->statusText(), QStringLiteral("Progress Bar"));
    QCOMPARE(key("Option6"), QStringLiteral("True"));
    QVERIFY(prompter->boxes.isEmpty());
}

// The status line is as tall as its text at its width, after each new text and each new font.
void Form1Test::statusLineHeightFollowsTextAndFont() {
    StatusLine line;
    const QString longText = QStringLiteral("Reading mail 12345 of 67890, ").repeated(4);
    line.setStatusText(QStringLiteral("Reading mail 1 of 2"), StatusLine::Pace::Progress);
    const int oneLine = line.heightForWidth(200);
    line.setStatusText(longText, StatusLine::Pace::Progress);
    const int wrapped = line.heightForWidth(200);
    QVERIFY(wrapped > oneLine);
    QFont larger = line.font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    line.setFont(larger);
    QVERIFY(line.heightForWidth(200) > wrapped);
    line.setStatusText(QStringLiteral("Done."));
    QVERIFY(line.heightForWidth(200) < wrapped);
}

void Form1Test::notRememberedEmptiesTheCredentials() {
    seed({{QStringLiteral("User"), QStringLiteral("alex")},
          {QStringLiteral("Password"), QStringLiteral("s3cret")},
          {QStringLiteral("StayConnected"), QStringLiteral("0")},
          {QStringLiteral("AutoConnect"), QStringLiteral("1")},
          {QStringLiteral("Server"), QStringLiteral("127.0.0.1:1")}}); // refused at once
    ScriptedPrompter quiet; // the connect that auto-connect runs reports a failed login
    auto form = load();
    QCOMPARE(form->Text1->text(), QString());
    QCOMPARE(form->Text2->text(), QString());
    QCOMPARE(key("User"), QString());
    QCOMPARE(key("Password"), QString());
    QVERIFY(!form->Check1->isChecked());
    QVERIFY(form->Check2->isChecked());
    QVERIFY(!form->Check2->isEnabled());
}

void Form1Test::passwordIsStoredOnlyWhenRemembered() {
    usePasswordSignIn();
    auto form = load();
    form->show();
    QTest::keyClicks(form->Text2, QStringLiteral("pw1"));
    QCOMPARE(form->Text2->text(), QStringLiteral("pw1"));
    QCOMPARE(key("Password"), QString());
    QFile file(SettingsStore::filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("pw"));
    file.close();

    form->Check1->click();
    QCOMPARE(key("StayConnected"), QStringLiteral("1"));
    QCOMPARE(key("Password"), QStringLiteral("pw1"));
    QVERIFY(form->Check2->isEnabled());
    QTest::keyClicks(form->Text2, QStringLiteral("2"));
    QCOMPARE(key("Password"), QStringLiteral("pw12"));

    form->Check1->click();
    QCOMPARE(key("StayConnected"), QStringLiteral("0"));
    QCOMPARE(key("Password"), QString());
    QVERIFY(!form->Check2->isEnabled());
    QCOMPARE(form->Text2->text(), QStringLiteral("pw12"));

    // The user name is stored with every change, remembered or not.
    QTest::keyClicks(form->Text1, QStringLiteral("al"));
    QCOMPARE(key("User"), QStringLiteral("al"));
}

void Form1Test::handlersStoreTheirKeys() {
    auto form = load();
    form->show();
    form->Option6->click();
    QCOMPARE(key("Option3"), QStringLiteral("False"));
    QCOMPARE(key("Option5"), QStringLiteral("False"));
    QCOMPARE(key("Option6"), QStringLiteral("True"));
    QCOMPARE(key("Option7"), QStringLiteral("False"));
    QCOMPARE(key("Option9"), QStringLiteral("False"));
    form->Option2->click();
    QCOMPARE(key("Option"), QStringLiteral("2"));
    form->Option1->click();
    QCOMPARE(key("Option"), QStringLiteral("1"));
    form->Combo1->setCurrentIndex(2);
    QCOMPARE(key("Combo1"), QStringLiteral("2"));
    form->Check3->click();
    QCOMPARE(key("SkipSaved"), QStringLiteral("0"));
    form->Check3->click();
    QCOMPARE(key("SkipSaved"), QStringLiteral("1"));
    form->Check1->click();
    form->Check2->click();
    QCOMPARE(key("AutoConnect"), QStringLiteral("1"));
    form->Text3->setText(QStringLiteral("/tmp/elsewhere"));
    QCOMPARE(key("Folder"), QStringLiteral("/tmp/elsewhere"));
}

void Form1Test::folderChoice() {
    auto form = load();
    prompter->folderAnswers.enqueue(QStringLiteral("/home/alex/Saved Mail"));
    form->PushButton1->click();
    QCOMPARE(prompter->folderTitles, QStringList{QStringLiteral("Select Folder")});
    // The browser opened where the box pointed (the desktop on a first start, when it exists).
    QCOMPARE(prompter->folderStarts, QStringList{BrowsingStartFolder(desktop)});
    QCOMPARE(form->Text3->text(), QStringLiteral("/home/alex/Saved Mail"));
    QCOMPARE(key("Folder"), QStringLiteral("/home/alex/Saved Mail"));

    form->PushButton1->click(); // cancelled
    QCOMPARE(prompter->folderStarts.last(),
             BrowsingStartFolder(QStringLiteral("/home/alex/Saved Mail")));
    QCOMPARE(form->Text3->text(), QStringLiteral("/home/alex/Saved Mail"));
    QCOMPARE(key("Folder"), QStringLiteral("/home/alex/Saved Mail"));
    QVERIFY(prompter->boxes.isEmpty());
}

void Form1Test::help() {
    auto form = load();
    form->PushButton8->click();
    QCOMPARE(prompter->boxes.size(), 1);
    const BoxContent& box = prompter->boxes[0];
    QCOMPARE(box.title, QStringLiteral("Quentaril"));
    QCOMPARE(box.icon, BoxIcon::None);
    QVERIFY(box.text.startsWith(QStringLiteral("Questions?")));
    QVERIFY(!box.text.contains(QLatin1Char('\n')));
}

void Form1Test::textBoxesSelectAllOnFocus() {
    usePasswordSignIn();
    auto form = load();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    for (QLineEdit* box : {form->Text1, form->Text2, form->Text3}) {
        box->setText(QStringLiteral("some text"));
        box->deselect();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QTRY_VERIFY(box->hasSelectedText());
        QCOMPARE(box->selectionStart(), 0);
        QCOMPARE(box->selectionLength(), box->text().size());
    }
}

// Return in the Live ID or the password box clicks "1. Connect" (and nowhere else), and the
// focused control, whichever it is, carries the focus frame as Tab walks the window.
void Form1Test::returnConnectsAndFocusIsMarked() {
    usePasswordSignIn();
    auto form = load();
    // Only the click is counted: no connection is attempted.
    QObject::disconnect(form->PushButton5, &QPushButton::clicked, form.get(), nullptr);
    QSignalSpy connectClicks(form->PushButton5, &QPushButton::clicked);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    // The first keys typed go to the Live ID.
    QTRY_COMPARE(QApplication::focusWidget(), form->Text1);
    for (QLineEdit* box : {form->Text1, form->Text2, form->txtSearch, form->Text3})
        QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(connectClicks.size(), 2);

    auto* marker = form->findChild<FocusMarker*>();
    QVERIFY(marker);
    form->Text1->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), form->Text1);
    QSet<QWidget*> visited;
    while (!visited.contains(QApplication::focusWidget())) {
        QWidget* focused = QApplication::focusWidget();
        visited.insert(focused);
        QVERIFY2(!qobject_cast<QScrollArea*>(focused), "Tab stops on the scroll area");
        QCOMPARE(marker->marked(), focused);
        QVERIFY2(marker->isVisible(), qPrintable(focused->objectName()));
        QCOMPARE(marker->parentWidget(), focused->parentWidget());
        QVERIFY2(marker->geometry().contains(focused->geometry()),
                 qPrintable(focused->objectName()));
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{
             form->Text1, form->Combo1, form->Check1, form->Text2, form->PushButton5,
             form->PushButton8, form->txtSearch, form->PushButton12, form->ListView1,
             form->PushButton3, form->Text3, form->PushButton1, form->PushButton7})
        QVERIFY2(visited.contains(control), qPrintable(control->objectName()));

    // A remembered sign-in fills the boxes: the first key presses "1. Connect".
    form.reset();
    SettingsStore::Save(QStringLiteral("StayConnected"), QStringLiteral("1"));
    SettingsStore::Save(QStringLiteral("User"), QStringLiteral("someone"));
    form = load();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), form->PushButton5);
}

void Form1Test::startupDrawOpensTheSiteOnSeven() {
    Form1 plain;
    for (int i = 0; i < 200; ++i) {
        const int draw = plain.startupDraw();
        QVERIFY(draw >= 1 && draw <= 100);
    }
    load(8);
    QVERIFY(opened.isEmpty());
    load(7);
    QCOMPARE(opened, QList<QUrl>{Form1::makerAddress()});
}

void Form1Test::hoverPointer() {
    auto form = load();
    hover(form->PushButton4);
    QCOMPARE(form->mousePointer(), MousePointer::Custom);
    hover(form->ListView1->viewport());
    QCOMPARE(form->mousePointer(), MousePointer::Default);
    form->setMousePointer(MousePointer::Hourglass);
    hover(form->PushButton7);
    hover(form->Frame3);
    QCOMPARE(form->mousePointer(), MousePointer::Hourglass);
    hover(form->PushButton10);
    QCOMPARE(form->mousePointer(), MousePointer::Custom);
}

void Form1Test::handPointerFromTheProgramFolder() {
    QVERIFY(!load()->pointerControl().hasCustomCursor());

    QFile unreadable(programFolder->filePath(QStringLiteral("HAND-M.CUR")));
    QVERIFY(unreadable.open(QIODevice::WriteOnly));
    unreadable.write("not a cursor");
    unreadable.close();
    QVERIFY(!load()->pointerControl().hasCustomCursor());
    QVERIFY(prompter->boxes.isEmpty());

    QImage hand(32, 32, QImage::Format_ARGB32);
    hand.fill(Qt::black);
    QVERIFY(hand.save(unreadable.fileName(), "ICO"));
    auto form = load();
    QVERIFY(form->pointerControl().hasCustomCursor());
    hover(form->PushButton3);
    QCOMPARE(form->cursor().shape(), Qt::BitmapCursor);
}

void Form1Test::closingEndsTheProgram() {
    auto form = load();
    form->show();
    QWidget other;
    other.show();
    QSignalSpy closed(form.get(), &Form1::closed);
    form->close();
    QCOMPARE(closed.size(), 1);
    QVERIFY(!other.isVisible());
    QVERIFY(form->StopDownloadRequested);
}

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
