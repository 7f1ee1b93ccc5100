#pragma once

#include "WindowRun.h"

// The peer: mbsync pulling the Inbox into a Maildir under output. Answers the seconds it took,
// -1 when it is not installed or failed (the reason printed). peakKb gets the most memory it held.
double runMbsync(const BenchLogin& login, const QString& output, long& peakKb);
