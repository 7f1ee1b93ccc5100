#pragma once

#include <sys/resource.h>

// The most memory this process has held so far (its peak resident set), in kilobytes.
inline long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
