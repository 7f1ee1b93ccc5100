#include "app/ConsoleProgress.h"

#include <cstdio>

#include <unistd.h>

namespace {

constexpr qint64 terminalEveryMs = 100;
constexpr qint64 logEveryMs = 5000;
constexpr int barWidth = 30;

} // namespace

ConsoleProgress::ConsoleProgress() : terminal_(isatty(STDERR_FILENO) == 1) {}

void ConsoleProgress::show(job::ExportJob::Stage stage, qint64 done, qint64 total) {
    const bool last = done >= total;
    if (sinceShown_.isValid() && !last &&
        sinceShown_.elapsed() < (terminal_ ? terminalEveryMs : logEveryMs))
        return;
    sinceShown_.start();
    const char* verb = stage == job::ExportJob::Stage::Listing ? "Fetching" : "Saving";
    if (!terminal_) {
        if (total > 0)
            std::fprintf(stderr, "%s %lld of %lld\n", verb, static_cast<long long>(done),
                         static_cast<long long>(total));
        std::fflush(stderr);
        return;
    }
    const int filled = total > 0 ? int(qMin(done, total) * barWidth / total) : barWidth;
    std::fprintf(stderr, "\r%-8s [%s%s] %lld of %lld\033[K", verb,
                 QByteArray(filled, '#').constData(),
                 QByteArray(barWidth - filled, ' ').constData(), static_cast<long long>(done),
                 static_cast<long long>(total));
    std::fflush(stderr);
    lineOpen_ = true;
}

void ConsoleProgress::clear() {
    if (!lineOpen_)
        return;
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    lineOpen_ = false;
}
