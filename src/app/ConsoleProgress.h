#pragma once

#include "job/ExportJob.h"

#include <QElapsedTimer>
#include <QString>

// The progress of an export on standard error: on a terminal one line redrawn in place, a bar
// with the counts; otherwise (a log, a pipe) a plain line every few seconds.
class ConsoleProgress {
public:
    ConsoleProgress();
    void show(job::ExportJob::Stage stage, qint64 done, qint64 total);
    // Ends the line being redrawn, so that other text starts on a line of its own.
    void clear();

private:
    bool terminal_ = false;
    bool lineOpen_ = false;
    QElapsedTimer sinceShown_;
};
