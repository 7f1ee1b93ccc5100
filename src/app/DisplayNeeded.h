#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Watches the start of the window's application: Qt ends a program that finds no display with a
// fatal error and an abort. While this lives, such an error becomes one line on standard error
// saying that the window needs a display and "quentaril export" does not, and the exit status 1.
// Qt's other messages meanwhile are held back and written when it goes, so that a failed start
// says only that line.
class DisplayNeeded {
public:
    DisplayNeeded();
    ~DisplayNeeded();
    DisplayNeeded(const DisplayNeeded&) = delete;
    DisplayNeeded& operator=(const DisplayNeeded&) = delete;

    static QString text();

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QtMessageHandler previous_ = nullptr;
};
