#pragma once

#include "WindowRun.h"

// How the peer leaves each file it saves: made durable before it goes on (its default), or
// left to the system's cache ("FSync no").
enum class PeerFlush { EachFile, None };

// The peer: mbsync pulling the Inbox into a Maildir under output. Answers the seconds it took,
// -1 when it is not installed or failed (the reason printed). peakKb gets the most memory it held.
double runMbsync(const BenchLogin& login, const QString& output, PeerFlush flush, long& peakKb);
