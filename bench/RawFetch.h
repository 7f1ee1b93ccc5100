#pragma once

#include <QString>

// The ceiling of a listing: messages 1 to count of the folder fetched whole with one FETCH of the
// range over TLS straight through libetpan, each kept in memory as it arrives and nothing else
// done: the network and TLS work alone, no disk. Answers the messages kept, -1 when the fetch
// failed.
int rawFetchToMemory(const QString& host, int port, const QString& user, const QString& password,
                     int count);
