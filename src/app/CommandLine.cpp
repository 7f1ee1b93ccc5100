#include "app/CommandLine.h"

#include <array>
#include <string_view>

namespace {

constexpr std::string_view help =
    "Usage: quentaril [--version] [--help]\n"
    "       quentaril export [options]   (see quentaril export --help)\n"
    "\n"
    "Saves the messages of a webmail mailbox as plain text files. In the window: sign in, pick a\n"
    "folder, list and check messages, and download them. \"quentaril export\" does the same\n"
    "without a window, for scheduled backups.\n"
    "\n"
    "Settings:  ~/.config/Vantrello/Quentaril.ini, written the moment a choice changes; the keys\n"
    "           Server and TrustedCertificates choose another IMAP server.\n"
    "Error log: errorlog.txt in the program's folder when it is writable, otherwise in\n"
    "           ~/.local/share/Vantrello/Quentaril.\n"
    "More:      the README (installed as /usr/share/doc/quentaril/README.md) and quentaril(1).\n";

// Qt's own options, which it takes from the command line of any window program.
constexpr std::array<std::string_view, 19> qtOptionsWithValue{"platform",
                                                              "platformpluginpath",
                                                              "platformtheme",
                                                              "plugin",
                                                              "qwindowgeometry",
                                                              "qwindowicon",
                                                              "qwindowtitle",
                                                              "session",
                                                              "display",
                                                              "geometry",
                                                              "style",
                                                              "stylesheet",
                                                              "title",
                                                              "name",
                                                              "visual",
                                                              "ncols",
                                                              "cmap",
                                                              "im",
                                                              "qmljsdebugger"};
constexpr std::array<std::string_view, 5> qtFlags{"reverse", "widgetcount", "nograb", "dograb",
                                                  "sync"};

// How many arguments a Qt option at argument takes with it: 0 when it is not one of Qt's.
int qtOptionLength(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '-')
        return 0;
    std::string_view name = argument.substr(argument[1] == '-' ? 2 : 1);
    const std::size_t equals = name.find('=');
    const bool inlineValue = equals != std::string_view::npos;
    name = name.substr(0, equals);
    for (const std::string_view option : qtOptionsWithValue)
        if (name == option)
            return inlineValue ? 1 : 2;
    for (const std::string_view flag : qtFlags)
        if (name == flag && !inlineValue)
            return 1;
    return 0;
}

} // namespace

std::optional<int> answerCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
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
    for (int i = 1; i < argc;) {
        const int length = qtOptionLength(argv[i]);
        if (length == 0) {
            err << "quentaril: unknown option \"" << argv[i] << "\" (see quentaril --help)\n";
            return 2;
        }
        if (i + length > argc) {
            err << "quentaril: the option " << argv[i] << " needs a value\n";
            return 2;
        }
        i += length;
    }
    return std::nullopt;
}
