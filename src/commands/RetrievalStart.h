#pragma once

#include <memory>

class Guard;
class RetrievalOwner;
class clsMailIMAP;

// What Get All Emails and Get Some Emails do before a run; line is the number of the first
// statement each one runs.
namespace RetrievalStart {

// The list stays as it is while a download saves it; the status line says why nothing happens.
bool downloadRunning(RetrievalOwner& owner);
// Not connected: says so in a box.
bool notConnected(Guard& guard, RetrievalOwner& owner, int line);
// The hourglass, and the one wide Stop button.
void showRunning(Guard& guard, RetrievalOwner& owner, int line);
// The window's session, or a new one for the run made the window's; answers whether the run
// signs it in.
bool sessionForRun(Guard& guard, RetrievalOwner& owner, int line,
                   std::shared_ptr<clsMailIMAP>& session);

} // namespace RetrievalStart
