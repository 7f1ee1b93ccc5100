#include "base/ErrorReport.h"

#include "base/Prompter.h"

namespace ErrorReport {

QString text(const QString& description, const QString& location, int line) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please e-mail a screenshot of this message to support@vantrello.com "
                          "so that we can fix the problem.");
}

void show(QWidget* parent, const QString& description, const QString& location, int line) {
    Prompter::current().message(parent, {QStringLiteral("Application Error"),
                                         text(description, location, line),
                                         BoxIcon::Exclamation,
                                         {}});
}

} // namespace ErrorReport
