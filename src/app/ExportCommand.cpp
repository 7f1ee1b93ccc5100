#include "app/ExportCommand.h"

#include "app/ConsoleProgress.h"
#include "app/ConsolePrompter.h"
#include "app/ExportOptions.h"
#include "auth/OAuthSettings.h"
#include "auth/SignIn.h"
#include "auth/TokenStore.h"
#include "base/Conversions.h"
#include "base/LocalTimeZone.h"
#include "base/ServerSetting.h"
#include "base/SettingsStore.h"
#include "base/ShellUtilities.h"
#include "commands/OAuthTokenSource.h"
#include "job/ExportJob.h"
#include "mail/MailImap.h"
#include "mail/clsMailIMAP.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

enum Status { Complete = 0, Incomplete = 1, Usage = 2, SignInFailed = 3, FolderUnwritable = 4 };

QString setting(const char* key, const char* defaultValue = "") {
    return SettingsStore::Read(QString::fromLatin1(key), QString::fromLatin1(defaultValue));
}

// The folder the window has chosen: the first of its five folder options that is on.
QString windowFolder() {
    const std::pair<const char*, const char*> options[] = {{"Option3", "Inbox"},
                                                           {"Option5", "Drafts"},
                                                           {"Option6", "Sent"},
                                                           {"Option7", "Junk"},
                                                           {"Option9", "Deleted"}};
    for (const auto& [key, folder] : options) {
        const QString value = setting(key, key == std::string_view("Option3") ? "True" : "False");
        if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
            value == QLatin1String("1"))
            return QString::fromLatin1(folder);
    }
    return QStringLiteral("Inbox");
}

// The Live ID of the window: the user box, completed by the chosen suffix.
QString windowUser() {
    const QStringList suffixes{QString(), QStringLiteral("@hotmail.com"),
                               QStringLiteral("@live.com"), QStringLiteral("@outlook.com")};
    const int index = setting("Combo1", "0").toInt();
    return setting("User") + (index > 0 && index < suffixes.size() ? suffixes[index] : QString());
}

void fail(const QString& text) {
    std::fprintf(stderr, "quentaril: %s\n", text.toLocal8Bit().constData());
}

std::optional<QString> passwordFrom(const ExportOptions& options) {
    if (!options.passwordFile)
        return setting("Password");
    QFile file(*options.passwordFile);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read the password file \"%1\": %2")
                 .arg(*options.passwordFile, file.errorString()));
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace

int exportWith(const ExportOptions& options) {
    const ServerAddress server = ServerSetting::parse(options.server.value_or(setting("Server")));
    if (!server.problem.isEmpty()) {
        fail(QStringLiteral("the server \"%1\" cannot be used: %2")
                 .arg(options.server.value_or(setting("Server")), server.problem));
        return Usage;
    }
    auth::OAuthSettings oauth =
        auth::OAuthSettings::read([](const QString& key) { return SettingsStore::Read(key); },
                                  server.host == ServerSetting::defaultHost());
    // A job never opens a browser: without a kept sign-in it shows a code on the terminal.
    oauth.flow = auth::InteractiveFlow::Device;

    std::unique_ptr<MailImap> component = createMailImap();
    component->setTrustedCertificates(setting("TrustedCertificates"));
    auto session = std::make_shared<clsMailIMAP>();
    session->MailIMAPObject = component.get();
    session->SSL = true;
    session->PORT = server.port;
    session->IMAPServer = server.host;
    session->Username = options.user.value_or(windowUser());
    if (session->Username.isEmpty()) {
        fail(QStringLiteral("no Live ID: give --user or sign in once in the window"));
        return Usage;
    }

    std::unique_ptr<auth::TokenStore> tokens;
    std::unique_ptr<auth::SignIn> signIn;
    if (oauth.method == auth::AuthMethod::OAuth2) {
        if (oauth.clientId.isEmpty()) {
            fail(QStringLiteral("OAuth2 sign-in needs the application's registration: set "
                                "OAuthClientId in the settings"));
            return SignInFailed;
        }
        tokens = std::make_unique<auth::TokenStore>();
        signIn = std::make_unique<auth::SignIn>(oauth, *tokens);
        signIn->setRemember(true);
        signIn->setOpener([](const QUrl&) { return false; });
        QObject::connect(signIn.get(), &auth::SignIn::deviceCodeReady,
                         [](const QString& code, const QUrl& address, const QString&) {
                             fail(QStringLiteral("to sign in, open %1 and enter the code %2")
                                      .arg(address.toString(), code));
                         });
        session->AuthMethod = AuthMode::OAuth2;
        session->TokenSource =
            oauthTokenSource(*signIn, session->Username, [] { return auth::Interaction::Allowed; });
    } else {
        const std::optional<QString> password = passwordFrom(options);
        if (!password)
            return SignInFailed;
        if (password->isEmpty()) {
            fail(QStringLiteral("no password: give --password-file, or let the window remember "
                                "it (\"Remember me\")"));
            return SignInFailed;
        }
        session->Password = *password;
    }

    job::ExportRequest request;
    request.folder = options.folder.value_or(windowFolder());
    request.saveFolder = options.saveFolder.value_or(
        SettingsStore::Read(QStringLiteral("Folder"), DesktopPathWithSeparator()));
    request.method = options.oneFile ? SaveMethod::OneFile : SaveMethod::SeparateFiles;
    request.first = options.first;
    request.last = options.last;
    request.filter = options.filter;
    request.allAgain = options.allAgain;

    ConsolePrompter prompter;
    ConsoleProgress progress;
    prompter.beforeWriting = [&progress] { progress.clear(); };
    Prompter::install(&prompter);
    job::ExportJob job(session);
    job.progress = [&progress](job::ExportJob::Stage stage, qint64 done, qint64 total) {
        progress.show(stage, done, total);
    };
    const job::ExportResult result = job.run(request);
    progress.clear();
    Prompter::install(nullptr);
    std::printf("Saved %d, already saved %d, skipped %d.\n", result.saved, result.alreadySaved,
                result.skipped);
    std::fflush(stdout);
    switch (result.status) {
    case job::ExportStatus::Complete:
        return Complete;
    case job::ExportStatus::Incomplete:
        return Incomplete;
    case job::ExportStatus::SignInFailed:
        return SignInFailed;
    case job::ExportStatus::FolderUnwritable:
        return FolderUnwritable;
    }
    return Incomplete;
}

int runExport(int& argc, char** argv, const QStringList& arguments) {
    const ExportCommandLine::Parsed parsed = ExportCommandLine::parse(arguments);
    if (!parsed.error.isEmpty()) {
        fail(parsed.error + QStringLiteral(" (see quentaril export --help)"));
        return Usage;
    }
    if (parsed.options.help) {
        std::fputs(ExportCommandLine::helpText().toLocal8Bit().constData(), stdout);
        return Complete;
    }
    LocalTimeZone::settle();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vantrello"));
    QCoreApplication::setApplicationName(QStringLiteral("Quentaril"));
    return exportWith(parsed.options);
}
