#pragma once

#include <QString>

#include <atomic>
#include <chrono>

// Opens a TCP connection the way a window can stop: the name lookup runs on a thread of its own
// and the connect is non-blocking, both watched in short slices so that `cancelled` ends the
// wait at once. Answers a connected, blocking socket, or -1 with `error` set ("host not found",
// "connection refused", "timed out", "cancelled", ...).
int connectCancellable(const QString& host, int port, std::chrono::seconds timeout,
                       const std::atomic<bool>& cancelled, QString& error);
