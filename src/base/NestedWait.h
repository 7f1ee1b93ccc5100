#pragma once

#include <QCoreApplication>
#include <QEventLoop>

// Runs a nested event loop until over() holds, so the window keeps painting and answering (Stop
// and Cancel work) while a call waits for a worker, the network, the browser or the keyring.
// Once the application quits (its main window was closed during a call) every event loop returns
// at once; the wait then handles the events itself, or it could never learn that it is over.
template <class Over> void waitUntil(QEventLoop& loop, Over over) {
    while (!over()) {
        if (loop.exec() < 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
