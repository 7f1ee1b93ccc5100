#pragma once

#include <QCoreApplication>
#include <QEventLoop>

namespace auth {

// Runs a nested event loop until over() holds: the window keeps painting and answering (a
// Cancel button works) while a sign-in step waits for the network, the browser or the keyring.
template <class Over> void waitUntil(QEventLoop& loop, Over over) {
    while (!over()) {
        if (loop.exec() < 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace auth
