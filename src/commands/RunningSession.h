#pragma once

#include "commands/RetrievalOwner.h"

// Registers a run's session with its window while the command holds it.
class RunningSession {
public:
    RunningSession(RetrievalOwner& owner, clsMailIMAP& session) : owner_(owner), session_(session) {
        owner_.retrievalRuns().append(&session_);
    }
    ~RunningSession() { owner_.retrievalRuns().removeOne(&session_); }
    RunningSession(const RunningSession&) = delete;
    RunningSession& operator=(const RunningSession&) = delete;

private:
    RetrievalOwner& owner_;
    clsMailIMAP& session_;
};
