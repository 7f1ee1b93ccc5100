#pragma once

#include <QDate>

// The source of the current local date. The program uses the system's; tests install a fixed one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;

    static const Clock& current();
    // Installs a clock (not owned); nullptr puts the system's back.
    static void install(const Clock* clock);
};
