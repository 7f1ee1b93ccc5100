#pragma once

#include "WindowRun.h"

// "quentaril export" saving the Inbox into output, one file per message, with settings of its
// own in the login's work folder. With again, the folder is saved into once first and only the
// second run, which finds nothing new, is measured. Answers the seconds the measured run took,
// -1 when it failed (the reason printed); peakKb gets the most memory it held.
double runExport(const BenchLogin& login, const QString& output, bool again, long& peakKb);

// The ceiling of a run with nothing new: sign in, open the Inbox read-only and ask for its UIDs
// with UID SEARCH ALL, straight through libetpan. Answers the UIDs found, -1 on failure.
int uidSearchAll(const BenchLogin& login);
