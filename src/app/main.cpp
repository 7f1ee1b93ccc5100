#include "app/CommandLine.h"
#include "app/Form1.h"
#include "base/LocalTimeZone.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>

#include <iostream>

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that no display is needed.
    if (const auto status = answerCommandLine(argc, argv, std::cout))
        return *status;
    LocalTimeZone::settle();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vantrello"));
    QApplication::setApplicationName(QStringLiteral("Quentaril"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quentaril.svg")));

    Form1 window;
    window.openAddress = [](const QUrl& address) { QDesktopServices::openUrl(address); };
    // The window may be closed during its start-up (an auto-connect shows it first).
    bool closed = false;
    QObject::connect(&window, &Form1::closed, &app, [&closed] {
        closed = true;
        QCoreApplication::quit();
    });
    window.Form_Load();
    if (closed)
        return 0;
    window.show();
    return app.exec();
}
