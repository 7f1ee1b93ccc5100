#pragma once

#include <QString>

// A local server as the window is told of it: settings and the error log go into work.
struct BenchLogin {
    QString host;
    int port = 0;
    QString caFile;
    QString user;
    QString password;
    QString work;
};

// What one run through the main window took. Times in seconds; the window's thread's longest
// stall (the longest gap of a 5 ms timer) in milliseconds.
struct WindowRun {
    int rows = 0;
    double listing = 0;  // the Get All click to "Done."
    double checkAll = 0; // the Check All click
    double oneFile = 0;  // "3. Start Downloading" into "Emails.txt" to "Done."
    double separate = 0; // the same, one file per message
    qint64 longestStallMs = 0;
    QString boxes; // every box shown, in order, " | " between them
};

// Drives the main window as a user does, on the platform of the running QApplication: connect,
// "2a. Get All Emails" over the Inbox. With an output folder, then Check All and both ways of
// saving, each into a sub-folder of its own.
WindowRun runWindow(const BenchLogin& login, const QString& output);
