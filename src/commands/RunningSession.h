#pragma once

#include <memory>

class QObject;
class clsMailIMAP;

// The sessions of the retrieval runs in progress, per window. Stop reaches a run's session through
// it even when the window no longer holds that session (a Disconnect clicked during the run).
class RunningSession {
public:
    // Registers session as running for window until this object goes.
    RunningSession(const QObject* window, std::shared_ptr<clsMailIMAP> session);
    ~RunningSession();
    RunningSession(const RunningSession&) = delete;
    RunningSession& operator=(const RunningSession&) = delete;

    // Asks the listing of every run of window to stop.
    static void abortAll(const QObject* window);

private:
    const QObject* window_;
    std::shared_ptr<clsMailIMAP> session_;
};
