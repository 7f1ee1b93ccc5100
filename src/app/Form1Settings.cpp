#include "app/Form1.h"

#include "base/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

// Handlers that store a control's value the moment it changes. The password is kept only while
// "Remember me" is checked; otherwise its key holds the empty string.

namespace {

QString flag(const QAbstractButton* button) {
    return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

QString truth(const QAbstractButton* button) {
    return button->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

void Form1::Text1_Change() {
    SettingsStore::Save(QStringLiteral("User"), Text1->text());
}

void Form1::Text2_Change() {
    if (restoring_)
        return;
    SettingsStore::Save(QStringLiteral("Password"),
                        Check1->isChecked() ? Text2->text() : QString());
}

void Form1::Text3_Change() {
    SettingsStore::Save(QStringLiteral("Folder"), Text3->text());
}

void Form1::Check1_Click() {
    SettingsStore::Save(QStringLiteral("StayConnected"), flag(Check1));
    SettingsStore::Save(QStringLiteral("Password"),
                        Check1->isChecked() ? Text2->text() : QString());
    Check2->setEnabled(Check1->isChecked());
    if (!Check1->isChecked())
        forgetSignIn(false);
}

void Form1::Check2_Click() {
    SettingsStore::Save(QStringLiteral("AutoConnect"), flag(Check2));
}

void Form1::Check3_Click() {
    SettingsStore::Save(QStringLiteral("SkipSaved"), flag(Check3));
}

void Form1::Combo1_Click() {
    SettingsStore::Save(QStringLiteral("Combo1"), QString::number(Combo1->currentIndex()));
}

void Form1::Option1_Click() {
    SettingsStore::Save(QStringLiteral("Option"), QStringLiteral("1"));
}

void Form1::Option2_Click() {
    SettingsStore::Save(QStringLiteral("Option"), QStringLiteral("2"));
}

// A click on any folder option stores all five.
void Form1::Option3_Click() {
    SettingsStore::Save(QStringLiteral("Option3"), truth(Option3));
    SettingsStore::Save(QStringLiteral("Option5"), truth(Option5));
    SettingsStore::Save(QStringLiteral("Option6"), truth(Option6));
    SettingsStore::Save(QStringLiteral("Option7"), truth(Option7));
    SettingsStore::Save(QStringLiteral("Option9"), truth(Option9));
}

void Form1::Option5_Click() {
    Option3_Click();
}

void Form1::Option6_Click() {
    Option3_Click();
}

void Form1::Option7_Click() {
    Option3_Click();
}

void Form1::Option9_Click() {
    Option3_Click();
}
