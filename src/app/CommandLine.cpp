#include "app/CommandLine.h"

#include <string_view>

namespace {

constexpr std::string_view help =
    "Usage: quentaril [--version] [--help]\n"
    "\n"
    "Saves the messages of a webmail mailbox as plain text files. Everything is done in the\n"
    "window: sign in, pick a folder, list and check messages, and download them.\n"
    "\n"
    "Settings:  ~/.config/Vantrello/Quentaril.ini, written the moment a choice changes; the keys\n"
    "           Server and TrustedCertificates choose another IMAP server.\n"
    "Error log: errorlog.txt in the program's folder when it is writable, otherwise in\n"
    "           ~/.local/share/Vantrello/Quentaril.\n"
    "More:      the README (installed as /usr/share/doc/quentaril/README.md) and quentaril(1).\n";

} // namespace

std::optional<int> answerCommandLine(int argc, const char* const* argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version" || argument == "-v") {
            out << "quentaril " QUENTARIL_VERSION "\n";
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            out << help;
            return 0;
        }
    }
    return std::nullopt;
}
