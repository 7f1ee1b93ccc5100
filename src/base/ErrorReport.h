#pragma once

#include <QString>

class QWidget;

// The "Application Error" box of a guarded command.
namespace ErrorReport {

// description, CR LF, location, "at line ", number, CR CR, the request to send a screenshot.
QString text(const QString& description, const QString& location, int line);

// Shows the box (modal, exclamation icon, OK) through the current prompter.
void show(QWidget* parent, const QString& description, const QString& location, int line);

} // namespace ErrorReport
