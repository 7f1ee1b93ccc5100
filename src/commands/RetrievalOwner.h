#pragma once

#include "base/MousePointer.h"

#include <QList>
#include <QString>

#include <memory>

class MessageListView;
class QProgressBar;
class QPushButton;
class QWidget;
class clsMailIMAP;

// A window that runs the retrieval commands: it owns the login state, the two retrieval buttons,
// the chosen folder, the message list and the progress bar, and holds the current mail session.
// Get All Emails and Get Some Emails are written once against this interface.
class RetrievalOwner {
public:
    virtual ~RetrievalOwner() = default;

    // The window that message boxes and the range dialog belong to.
    virtual QWidget* retrievalWindow() = 0;
    // "1. Connect" / "Disconnect": its caption is the connection state.
    virtual QPushButton* connectButton() = 0;
    virtual QPushButton* getAllButton() = 0;
    virtual QPushButton* getSomeButton() = 0;
    virtual QProgressBar* progressBar() = 0;
    virtual MessageListView* messageList() = 0;
    // The caption of the checked folder option, or "" when none is checked.
    virtual QString chosenFolder() const = 0;

    // The window's current session, or none.
    virtual std::shared_ptr<clsMailIMAP>& currentSession() = 0;
    // A new session with the server and the login of the window.
    virtual std::shared_ptr<clsMailIMAP> newSession() = 0;
    // The sessions of the runs in progress, each registered by its command while it runs.
    virtual QList<clsMailIMAP*>& retrievalRuns() = 0;

    // A download is saving the list: a listing would replace what it saves.
    virtual bool downloadRunning() const = 0;

    virtual void setMousePointer(MousePointer code) = 0;
    virtual void setStatusText(const QString& text) = 0;
    virtual void UpdateCounters(bool ShowZero) = 0;
    virtual bool& checkSearchActive() = 0;
};
