#pragma once

#include "WindowRun.h"

// How the run of "quentaril export" that is measured runs.
enum class ExportMeasure {
    WholeJob,         // the program, saving the Inbox: a process of its own, as a timer runs it
    NothingNew,       // the same once more into the same folder
    NothingNewInside, // that run in this process, from its options read to its end
};

// "quentaril export" saving the Inbox into output, one file per message, with settings of its
// own in the login's work folder; for the runs with nothing new, the folder is saved into once
// first. Answers the seconds the measured run took, -1 when it failed (the reason printed);
// peakKb gets the most memory the program held.
double runExport(const BenchLogin& login, const QString& output, ExportMeasure measure,
                 long& peakKb);

// The ceiling of a run with nothing new (UidSearch.h) in this process: UIDs found, -1 on failure.
int uidSearchInProcess(const BenchLogin& login);
// The same as a process of its own (uid_search_ceiling), as a timer starts the command: the
// seconds from its start to its end, -1 when it failed or found other than count UIDs; peakKb gets
// the most memory it held.
double uidSearchAsProcess(const BenchLogin& login, int count, long& peakKb);
