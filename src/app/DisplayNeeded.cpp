#include "app/DisplayNeeded.h"

#include <cstdio>
#include <cstdlib>

namespace {

QStringList& heldBack() {
    static QStringList messages;
    return messages;
}

} // namespace

DisplayNeeded::DisplayNeeded() : previous_(qInstallMessageHandler(&DisplayNeeded::handle)) {}

DisplayNeeded::~DisplayNeeded() {
    qInstallMessageHandler(previous_);
    for (const QString& message : std::as_const(heldBack()))
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    heldBack().clear();
}

QString DisplayNeeded::text() {
    return QStringLiteral("quentaril: the window needs a display (an X server or a Wayland "
                          "session), and none could be opened; \"quentaril export\" saves "
                          "without one");
}

void DisplayNeeded::handle(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", text().toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldBack().append(qFormatLogMessage(type, context, message));
}
