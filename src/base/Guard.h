#pragma once

#include "base/ErrorReport.h"
#include "base/Failure.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <utility>

// Runs the numbered statements of a guarded command. A statement that fails is reported in the
// error report with the command's location text and the statement's number; the command then goes
// on with its next statement, so the failing statement's effect is simply missing.
//
//     Guard guard(this, QStringLiteral("in Brastovel2/19/2015.Form1.PushButton8_Click "));
//     guard(100, [&] { ... });
//     if (guard.test(102, [&] { return ...; })) { ... }   // a failing test runs the true branch
class Guard {
public:
    Guard(QWidget* parent, QString location) : parent_(parent), location_(std::move(location)) {}

    const QString& location() const { return location_; }

    template <class Statement> void operator()(int line, Statement&& statement) {
        try {
            std::forward<Statement>(statement)();
        } catch (const Failure& failure) {
            report(line, failure.description());
        } catch (const std::exception& failure) {
            report(line, QString::fromLocal8Bit(failure.what()));
        }
    }

    // The test of a conditional: a failure reports and counts as true, as execution resumes with
    // the first statement of the true branch.
    template <class Condition> bool test(int line, Condition&& condition) {
        try {
            return std::forward<Condition>(condition)();
        } catch (const Failure& failure) {
            report(line, failure.description());
        } catch (const std::exception& failure) {
            report(line, QString::fromLocal8Bit(failure.what()));
        }
        return true;
    }

    // Reports a failure at a line without running a statement.
    void report(int line, const QString& description) {
        ErrorReport::show(parent_.data(), description, location_, line);
    }

private:
    QPointer<QWidget> parent_;
    QString location_;
};
