#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The options of "quentaril export", as given; what is missing comes from the settings later.
struct ExportOptions {
    std::optional<QString> folder;
    std::optional<QString> saveFolder;
    bool oneFile = false;
    qint32 first = 1;
    qint32 last = 0; // 0: to the end
    QString filter;
    bool allAgain = false;
    std::optional<QString> server;
    std::optional<QString> user;
    std::optional<QString> passwordFile;
    bool help = false;
};

namespace ExportCommandLine {

// The arguments after "export"; the usage error, one line, when they are not understood.
struct Parsed {
    ExportOptions options;
    QString error;
};
Parsed parse(const QStringList& arguments);

// What "quentaril export --help" prints.
QString helpText();

} // namespace ExportCommandLine
