#include "app/ExportOptions.h"

#include <QRegularExpression>

namespace ExportCommandLine {

namespace {

// "FIRST-LAST", 1 <= FIRST <= LAST, as the range dialog takes them.
bool readRange(const QString& text, ExportOptions& options) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d+)\\s*-\\s*(\\d+)\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    bool firstOk = false;
    bool lastOk = false;
    const int first = match.captured(1).toInt(&firstOk);
    const int last = match.captured(2).toInt(&lastOk);
    if (!firstOk || !lastOk || first < 1 || last < first)
        return false;
    options.first = first;
    options.last = last;
    return true;
}

} // namespace

Parsed parse(const QStringList& arguments) {
    Parsed parsed;
    ExportOptions& options = parsed.options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> inlineValue;
        if (const qsizetype equals = name.indexOf(u'=');
            name.startsWith(QLatin1String("--")) && equals > 0) {
            inlineValue = name.mid(equals + 1);
            name.truncate(equals);
        }
        const auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            parsed.error = QStringLiteral("the option %1 needs a value").arg(name);
            return std::nullopt;
        };
        const auto flag = [&](bool& target) {
            if (inlineValue) {
                parsed.error = QStringLiteral("the option %1 takes no value").arg(name);
                return;
            }
            target = true;
        };
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            flag(options.help);
        } else if (name == QLatin1String("--one-file")) {
            flag(options.oneFile);
        } else if (name == QLatin1String("--all-again")) {
            flag(options.allAgain);
        } else if (name == QLatin1String("--folder")) {
            options.folder = value();
        } else if (name == QLatin1String("--to")) {
            options.saveFolder = value();
        } else if (name == QLatin1String("--filter")) {
            options.filter = value().value_or(QString());
        } else if (name == QLatin1String("--server")) {
            options.server = value();
        } else if (name == QLatin1String("--user")) {
            options.user = value();
        } else if (name == QLatin1String("--password-file")) {
            options.passwordFile = value();
        } else if (name == QLatin1String("--range")) {
            if (const std::optional<QString> range = value(); range && !readRange(*range, options))
                parsed.error = QStringLiteral("--range takes FIRST-LAST, two whole numbers from "
                                              "1 with FIRST not above LAST, not \"%1\"")
                                   .arg(*range);
        } else {
            parsed.error = QStringLiteral("unknown option \"%1\"").arg(arguments[i]);
        }
        if (!parsed.error.isEmpty())
            return parsed;
    }
    return parsed;
}

QString helpText() {
    return QStringLiteral(
        "Usage: quentaril export [options]\n"
        "\n"
        "Saves every message of one mail folder not saved before into a folder, as the window's\n"
        "download does, and exits. No display is needed.\n"
        "\n"
        "  --folder NAME         the mail folder (default: the folder chosen in the window)\n"
        "  --to DIR              the folder to save into (default: the window's)\n"
        "  --one-file            all into \"Emails.txt\" (default: one file per message)\n"
        "  --range FIRST-LAST    only messages FIRST to LAST, as \"2b. Get Some Emails\"\n"
        "  --filter TEXT         only messages that contain TEXT, as the window's filter\n"
        "  --all-again           save again what the folder's record says was saved\n"
        "  --server HOST[:PORT]  the IMAP server (default: the Server setting)\n"
        "  --user LIVEID         the Live ID (default: the window's, with its suffix)\n"
        "  --password-file FILE  the password, on the first line of FILE (default: the one\n"
        "                        the window remembers)\n"
        "  --help                this text\n"
        "\n"
        "Everything else comes from the window's settings (~/.config/Vantrello/Quentaril.ini).\n"
        "With OAuth2 the sign-in kept in the keyring is used; without one, an address and a code\n"
        "to enter there are printed, and the command waits.\n"
        "\n"
        "Progress goes to standard error; at the end one line to standard output:\n"
        "  Saved N, already saved M, skipped K.\n"
        "\n"
        "Exit status: 0 every message is saved or was saved before; 1 some were skipped; 2 usage\n"
        "error; 3 the sign-in failed; 4 the save folder cannot be written.\n");
}

} // namespace ExportCommandLine
