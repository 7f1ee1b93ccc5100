#pragma once

#include <QString>

// The ceiling of a listing: messages 1 to count of the folder fetched whole with one FETCH of the
// range over TLS, each written to a file of its own in folder, straight through libetpan with
// nothing else done. Answers the messages written, -1 when the fetch failed.
int rawFetchToFiles(const QString& host, int port, const QString& user, const QString& password,
                    int count, const QString& folder);
