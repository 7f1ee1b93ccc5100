#pragma once

#include <QString>

#include <exception>

// An unexpected failure of a statement inside a guarded command. It carries the description the
// error report shows ("Overflow", "Type mismatch", the operating system's text of a file error...).
class Failure : public std::exception {
public:
    explicit Failure(QString description)
        : description_(std::move(description)), bytes_(description_.toUtf8()) {}

    const QString& description() const { return description_; }
    const char* what() const noexcept override { return bytes_.constData(); }

    static Failure overflow() { return Failure(QStringLiteral("Overflow")); }
    static Failure typeMismatch() { return Failure(QStringLiteral("Type mismatch")); }
    static Failure subscriptOutOfRange() {
        return Failure(QStringLiteral("Subscript out of range"));
    }
    static Failure objectNotSet() {
        return Failure(QStringLiteral("Object variable or With block variable not set"));
    }
    static Failure invalidProcedureCall() {
        return Failure(QStringLiteral("Invalid procedure call or argument"));
    }

private:
    QString description_;
    QByteArray bytes_;
};
