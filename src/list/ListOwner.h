#pragma once

class MessageListModel;
class QLabel;
class QWidget;

// A window that owns a message list, its two counter labels and its CheckSearchActive flag. The
// counters and the selection commands are written once against this interface; the main window
// and the larger view implement it.
class ListOwner {
public:
    virtual ~ListOwner() = default;

    // The window that message boxes and error reports belong to.
    virtual QWidget* listWindow() = 0;
    virtual MessageListModel& ownedList() = 0;
    // "Total Number Of Emails: " and "Selected Emails: ".
    virtual QLabel* totalLabel() = 0;
    virtual QLabel* selectedLabel() = 0;
    virtual bool& checkSearchActive() = 0;
};
