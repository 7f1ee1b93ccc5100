#pragma once

#include <QString>

#include <optional>

// A server that is overloaded may refuse a command with a request to slow down, for example
// "Request is throttled. Suggested Backoff Time: 500 ms". Answers how long to wait before the
// command is sent again, in milliseconds, or nothing when the text is no such request.
std::optional<int> throttleBackoffMs(const QString& serverText);
