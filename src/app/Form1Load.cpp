#include "app/Form1.h"

#include "base/Conversions.h"
#include "base/Failure.h"
#include "base/Guard.h"
#include "base/Prompter.h"
#include "base/SettingsStore.h"
#include "base/ShellUtilities.h"
#include "list/MessageListView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalBlocker>

#include <array>

// Start-up of the main window, the folder choice and Help. Each is a guarded command: the numbers
// are those of its statements, and a failing statement is reported and skipped.

namespace {

QString setting(const char* key, const char* defaultValue = "") {
    return SettingsStore::Read(QString::fromLatin1(key), QString::fromLatin1(defaultValue));
}

// The value of a check box as stored: 0 unchecked, 1 checked, 2 greyed (shown checked).
bool checkBoxValue(qint16 value) {
    if (value < 0 || value > 2)
        throw Failure(QStringLiteral("Invalid property value"));
    return value != 0;
}

// Assigns an option button's value. Unlike a click, an assignment may leave no option of the
// group selected.
void setOptionValue(QRadioButton* option, bool selected) {
    if (option->isChecked() == selected)
        return;
    QButtonGroup* group = option->group();
    if (!selected && group)
        group->setExclusive(false);
    option->setChecked(selected);
    if (!selected && group)
        group->setExclusive(true);
}

constexpr std::array<int, 6> columnWidthsInTwips{1300, 1300, 1600, 1600, 1600, 0};

} // namespace

void Form1::Form_Load() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/2015.Form1.Form_Load "));
    // A settings file that cannot be written is said once, in the status line.
    SettingsStore::setUnsavedListener([window = QPointer<Form1>(this)](const QString& reason) {
        if (window)
            window->setStatusText(QStringLiteral("Settings cannot be saved: %1.").arg(reason));
    });

    guard(100, [&] { CentreWindow(this); });
    guard(102, [&] { ApplyMainSkin(this); });
    guard(104, [&] { setWindowTitle(QStringLiteral("Quentaril")); });
    guard(106, [&] { setWindowIcon(QIcon(QStringLiteral(":/icons/quentaril.svg"))); });
    const QString cursorFile = ProgramFolder() + QStringLiteral("/HAND-M.CUR");
    if (guard.test(108, [&] { return FileExists(cursorFile); })) {
        guard(110, [&] {
            if (const auto cursor = loadCursorFile(cursorFile))
                pointer_->setCustomCursor(*cursor);
        });
    }

    int draw = 0;
    guard(116, [&] { draw = startupDraw(); });
    if (guard.test(118, [&] { return draw == 7; })) {
        guard(120, [&] {
            if (openAddress)
                openAddress(makerAddress());
        });
    }

    guard(124, [&] { SetBoxText(Text1, setting("User")); });
    guard(126, [&] {
        restoring_ = true;
        const auto restored = qScopeGuard([this] { restoring_ = false; });
        SetBoxText(Text2, setting("Password"));
    });
    guard(128, [&] { SetBoxText(Text3, setting("Folder")); });
    guard(130, [&] {
        SetBoxText(Text3,
                   SettingsStore::Read(QStringLiteral("Folder"), DesktopPathWithSeparator()));
    });

    if (guard.test(132, [&] { return setting("Option") == QStringLiteral("2"); }))
        guard(134, [&] { setOptionValue(Option2, true); });
    else
        guard(138, [&] { setOptionValue(Option1, true); });
    guard(140, [&] { Check3->setChecked(setting("SkipSaved", "1") != QStringLiteral("0")); });

    for (int column = 1; column <= 6; ++column) {
        guard(146 + 2 * column, [&] {
            ListView1->setColumnWidthInTwips(
                column, columnWidthsInTwips[static_cast<std::size_t>(column - 1)]);
        });
    }
    guard(160, [&] { ListView1->list().clear(); });
    guard(162, [&] { ListView1->viewport()->update(); });

    guard(164, [&] { mailComponent(); });

    if (guard.test(166, [&] { return Conversions::toInt16(setting("StayConnected", "0")) != 0; })) {
        guard(168, [&] { Check1->setChecked(true); });
        guard(170, [&] { SetBoxText(Text1, setting("User")); });
        guard(172, [&] { SetBoxText(Text2, setting("Password")); });
    } else {
        guard(176, [&] { Check1->setChecked(false); });
        guard(178, [&] { Text1->setText(QString()); });
        guard(180, [&] { Text2->setText(QString()); });
    }

    guard(184, [&] { UpdateCounters(false); });
    guard(186, [&] { CheckSearchActive = false; });
    for (const auto& [line, label] : {std::pair{188, Label1}, std::pair{190, Label2}}) {
        guard(line, [&] {
            label->setAutoFillBackground(true);
            QPalette palette = label->palette();
            palette.setColor(QPalette::Window, Qt::white);
            // The text keeps its contrast under a dark theme.
            palette.setColor(QPalette::WindowText, Qt::black);
            label->setPalette(palette);
        });
    }

    if (guard.test(192, [&] { return Check1->isChecked(); }))
        guard(194, [&] { Check2->setEnabled(true); });
    else
        guard(198, [&] { Check2->setEnabled(false); });

    guard(202, [&] {
        Check2->setChecked(checkBoxValue(Conversions::toInt16(setting("AutoConnect", "0"))));
    });

    guard(204, [&] { setOptionValue(Option3, Conversions::toBoolean(setting("Option3", "1"))); });
    guard(206, [&] { setOptionValue(Option5, Conversions::toBoolean(setting("Option5", "0"))); });
    guard(208, [&] { setOptionValue(Option6, Conversions::toBoolean(setting("Option6", "0"))); });
    guard(210, [&] { setOptionValue(Option7, Conversions::toBoolean(setting("Option7", "0"))); });
    guard(212, [&] { setOptionValue(Option9, Conversions::toBoolean(setting("Option9", "0"))); });

    // Filling the drop-down selects nothing; only the restored index does.
    const auto addEntry = [&](const QString& entry) {
        const QSignalBlocker quiet(Combo1);
        Combo1->addItem(entry);
        Combo1->setCurrentIndex(-1);
    };
    guard(333, [&] { addEntry(QStringLiteral("Live!ID")); });
    guard(444, [&] { addEntry(QStringLiteral("@hotmail.com")); });
    guard(555, [&] { addEntry(QStringLiteral("@live.com")); });
    guard(666, [&] { addEntry(QStringLiteral("@outlook.com")); });
    guard(777, [&] {
        const qint16 index = Conversions::toInt16(setting("Combo1", "0"));
        if (index < -1 || index >= Combo1->count())
            throw Failure(QStringLiteral("Invalid property value"));
        Combo1->setCurrentIndex(index);
    });
    guard(778, [&] { applyAuthMethod(); });

    // The window is shown before the auto-connect, which may take a while: the user sees it and
    // can close it, which ends the connect.
    if (guard.test(224, [&] { return Check2->isChecked(); }))
        guard(226, [&] {
            show();
            PushButton5_Click();
        });
}

void Form1::PushButton1_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/201512/4/2014.Form1.PushButton1_Click "));
    QString path;
    guard(100,
          [&] { path = BrowseForFolder(this, QStringLiteral("Select Folder"), Text3->text()); });
    if (guard.test(102, [&] { return !path.isEmpty(); })) {
        guard(104, [&] { SetBoxText(Text3, path); });
        guard(106, [&] { SettingsStore::Save(QStringLiteral("Folder"), path); });
    }
}

void Form1::PushButton8_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/2015.Form1.PushButton8_Click "));
    guard(100, [&] {
        showMessage(this, QStringLiteral("Questions? Please contact the Vantrello team through the "
                                         "contact page at https://www.vantrello.com/contact"));
    });
}
