#pragma once

// Work that runs beside the window's thread on every core (parsing messages, writing the store of
// bodies) gives way to it: when both want a core, the window's thread gets it, so the window keeps
// answering while a listing keeps every core busy.
namespace BackgroundPriority {

// Lowers the priority of the calling thread; nothing where the system does not allow it.
void lowerCurrentThread();

} // namespace BackgroundPriority
