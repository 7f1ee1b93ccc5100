#pragma once

#include "list/ListOwner.h"

#include <QDialog>

class MessageListView;
class PointerControl;
class QLabel;
class QPushButton;

// The larger view: a maximized, modal copy of the main window's list in which the user checks rows
// by hand or with the selection commands. Closing it writes the check marks back into the main
// list by position. Its counters and its CheckSearchActive are its own.
class Form4 : public QDialog, public ListOwner {
    Q_OBJECT
public:
    // mainWindow owns the main list; it is the larger view's owner window too.
    Form4(ListOwner& mainWindow, QWidget* owner);

    MessageListView* ListView1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* PushButton5 = nullptr;  // "Check All"
    QPushButton* PushButton6 = nullptr;  // "Uncheck All"
    QPushButton* PushButton9 = nullptr;  // "Check Emails Containing..."
    QPushButton* PushButton10 = nullptr; // "Check Emails Not Containing..."
    QPushButton* PushButton7 = nullptr;  // "Clear List"
    QPushButton* PushButton4 = nullptr;  // "< Back"
    bool CheckSearchActive = false;

    // Shows the window modally through the current prompter; the check marks are written back
    // when it closes, however it closes.
    int showModal();

    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void ListView1_ItemCheck(int position);
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton9_Click();
    void PushButton10_Click();

    // ListOwner
    QWidget* listWindow() override { return this; }
    MessageListModel& ownedList() override;
    QLabel* totalLabel() override { return Label1; }
    QLabel* selectedLabel() override { return Label2; }
    bool& checkSearchActive() override { return CheckSearchActive; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The window has no cancel button: Escape does not close it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* addButton(const QString& name, const QString& caption);
    void fitButtonFont();

    static constexpr int halfButtonWidth = 3840;
    static constexpr int captionMargin = 120;

    ListOwner& main_;
    PointerControl* pointer_ = nullptr;
};
