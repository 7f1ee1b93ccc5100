#include "base/Prompter.h"

#include "base/QtPrompter.h"

namespace {

Prompter* installed = nullptr;

Prompter& realPrompter() {
    static QtPrompter real;
    return real;
}

} // namespace

Prompter& Prompter::current() {
    return installed ? *installed : realPrompter();
}

void Prompter::install(Prompter* prompter) {
    installed = prompter;
}

QString applicationTitle() {
    return QStringLiteral("Quentaril");
}

void showMessage(QWidget* parent, const QString& text, BoxIcon icon, const QString& detail) {
    Prompter::current().message(parent, {applicationTitle(), text, icon, detail});
}
