#include "commands/RunningSession.h"

#include "mail/clsMailIMAP.h"

#include <algorithm>
#include <vector>

namespace {

struct Entry {
    const QObject* window;
    clsMailIMAP* session;
};

// Runs nest (a run can start inside another one's yield), so this is a stack in practice; the
// registration keeps each session alive while it is listed here.
std::vector<Entry>& entries() {
    static std::vector<Entry> running;
    return running;
}

} // namespace

RunningSession::RunningSession(const QObject* window, std::shared_ptr<clsMailIMAP> session)
    : window_(window), session_(std::move(session)) {
    entries().push_back({window_, session_.get()});
}

RunningSession::~RunningSession() {
    auto& running = entries();
    const auto found = std::find_if(running.rbegin(), running.rend(), [this](const Entry& entry) {
        return entry.window == window_ && entry.session == session_.get();
    });
    running.erase(std::next(found).base());
}

void RunningSession::abortAll(const QObject* window) {
    for (const Entry& entry : entries()) {
        if (entry.window == window)
            entry.session->AbortProcess = true;
    }
}
