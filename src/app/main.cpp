#include "app/CommandLine.h"
#include "app/DisplayNeeded.h"
#include "app/ExportCommand.h"
#include "app/Form1.h"
#include "base/LocalTimeZone.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>

#include <cstring>
#include <iostream>
#include <memory>

int main(int argc, char* argv[]) {
    // The command runs without a display.
    if (argc > 1 && std::strcmp(argv[1], "export") == 0) {
        QStringList arguments;
        for (int i = 2; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        return runExport(argc, argv, arguments);
    }
    // Answered before Qt starts, so that no display is needed.
    if (const auto status = answerCommandLine(argc, argv, std::cout, std::cerr))
        return *status;
    LocalTimeZone::settle();
    auto starting = std::make_unique<DisplayNeeded>();
    QApplication app(argc, argv);
    starting.reset();
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
