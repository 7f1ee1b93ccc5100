#include "mail/clsMailIMAP.h"

#include "base/Conversions.h"
#include "base/Failure.h"
#include "base/Prompter.h"
#include "mail/ErrorLog.h"
#include "mail/FolderResolver.h"
#include "mail/MailImap.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <utility>

// Connects the component's events to this session for the length of one call.
class clsMailIMAP::Binding {
public:
    explicit Binding(clsMailIMAP& session) : session_(session) {
        if (!session.MailIMAPObject)
            throw Failure::objectNotSet();
        session.MailImap1 = session.MailIMAPObject;
        abort_ = connect(session.MailImap1, &MailImap::AbortCheck, &session,
                         [&session](qint32& abort) { session.MailImap1_AbortCheck(abort); });
        percent_ = connect(session.MailImap1, &MailImap::PercentDone, &session,
                           [&session](qint32 percent) { session.MailImap1_PercentDone(percent); });
    }
    ~Binding() {
        disconnect(abort_);
        disconnect(percent_);
    }
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

    MailImap& component() const { return *session_.MailImap1; }

private:
    clsMailIMAP& session_;
    QMetaObject::Connection abort_;
    QMetaObject::Connection percent_;
};

namespace {

// Tells the component the range the listing asks for, one message at a time, and ends it when the
// listing ends in any way, so nothing fetched ahead outlives the run.
class FetchWindow {
public:
    FetchWindow(MailImap& component, qint32 first, qint32 last) : component_(component) {
        component_.setFetchWindow(first, last);
    }
    ~FetchWindow() { component_.setFetchWindow(1, 0); }
    FetchWindow(const FetchWindow&) = delete;
    FetchWindow& operator=(const FetchWindow&) = delete;

private:
    MailImap& component_;
};

std::chrono::milliseconds connectDeadline{60000};

// Failed fetches in a row after which the server is taken to give nothing more.
constexpr qint32 maxFailuresInARow = 50;

} // namespace

clsMailIMAP::clsMailIMAP(QObject* parent) : QObject(parent) {}

clsMailIMAP::~clsMailIMAP() {
    MailIMAPObject = nullptr;
    MailImap1 = nullptr;
}

void clsMailIMAP::setConnectDeadline(std::chrono::milliseconds deadline) {
    connectDeadline = deadline;
}

void clsMailIMAP::MailImap1_AbortCheck(qint32& abort) {
    if (connectDeadline_.hasExpired())
        timedOut_ = true;
    abort = AbortProcess || timedOut_ ? 1 : 0;
    QCoreApplication::processEvents();
}

void clsMailIMAP::MailImap1_PercentDone(qint32 percent) {
    emit ScrapProgress(percent);
    QCoreApplication::processEvents();
}

void clsMailIMAP::GetLastError() {
    ShowLoginFailure(timedOut_        ? QStringLiteral("Connecting and signing in timed out.")
                     : MailIMAPObject ? MailIMAPObject->LastErrorText()
                                      : QString());
}

// A failure while Stop is pending is the stop itself, not a wrong password: nothing is shown.
void clsMailIMAP::ShowLoginFailure(const QString& detail) {
    if (AbortProcess)
        return;
    showMessage(nullptr,
                QStringLiteral("Invalid login. Please double-check your username and password."),
                BoxIcon::None, detail);
}

// Connects and identifies the program; a failure is reported. Connecting and signing in on that
// connection have one deadline together, which starts here: a server that drips its answers is
// abandoned like a stopped one, and the box says it timed out. Getting a token before, which may
// take a sign-in in the browser, does not count.
bool clsMailIMAP::OpenConnection(MailImap& component) {
    timedOut_ = false;
    connectDeadline_.setRemainingTime(connectDeadline);
    lastResult = component.Connect(IMAPServer);
    if (lastResult != 1) {
        GetLastError();
        return false;
    }
    // A server that does not take the identification refuses it: that is an answer too, and the
    // sign-in goes on. Only no answer at all fails.
    if (component.SendRawCommand(QStringLiteral("ID (\"GUID\" \"1\")")).isEmpty()) {
        GetLastError();
        return false;
    }
    NoteIdentificationRefused(component);
    return true;
}

void clsMailIMAP::NoteIdentificationRefused(const MailImap& component) {
    if (const QString refusal = component.LastErrorText(); !refusal.isEmpty())
        Log(refusal);
}

bool clsMailIMAP::Connect() {
    Binding binding(*this);
    timedOut_ = false;
    const auto noDeadline = qScopeGuard([this] { connectDeadline_ = QDeadlineTimer::Forever; });
    MailImap& component = binding.component();
    component.setSSL(SSL);
    component.setPort(PORT);
    lastSignIn.reset();
    // Before a token is asked for, which may open the browser.
    if (!ServerProblem.isEmpty()) {
        lastResult = 0;
        ShowLoginFailure(ServerProblem);
        return false;
    }
    if (AuthMethod == AuthMode::OAuth2)
        return SignInWithToken(component, TokenNeed::Current);
    return SignInWithPassword(component);
}

bool clsMailIMAP::SignInWithPassword(MailImap& component) {
    if (!OpenConnection(component))
        return false;
    lastResult = component.Login(Username, Password);
    if (lastResult == 1)
        return true;
    GetLastError();
    return false;
}

// Signs in with XOAUTH2 on a new connection. A token the server refuses is replaced by a fresh one
// once, tried on another new connection: a server may close a connection after a refusal. The
// token is had before connecting, since getting one may take a sign-in in the browser.
bool clsMailIMAP::SignInWithToken(MailImap& component, TokenNeed need) {
    if (!TokenSource)
        throw Failure::objectNotSet();
    while (true) {
        lastSignIn.reset();
        const AccessToken token = TokenSource(need);
        if (token.token.isEmpty()) {
            lastResult = 0;
            if (token.cancelled)
                return false;
            ShowLoginFailure(
                QStringLiteral("sign-in failed: %1")
                    .arg(token.error.isEmpty() ? QStringLiteral("no access token") : token.error));
            return false;
        }
        if (!OpenConnection(component))
            return false;
        lastSignIn = component.AuthenticateXOAuth2(Username, token.token);
        lastResult = *lastSignIn == XOAuth2Result::SignedIn ? 1 : 0;
        if (lastResult == 1)
            return true;
        if (*lastSignIn != XOAuth2Result::TokenRefused || need == TokenNeed::Fresh) {
            GetLastError();
            return false;
        }
        need = TokenNeed::Fresh;
    }
}

// Opens the folder the window calls FolderName: by that name first, so that a server which has
// it sees only EXAMINE of that name; otherwise by the server's own name for it, found from its
// folder list once per session.
qint32 clsMailIMAP::OpenFolder(MailImap& component, const QString& FolderName) {
    folderRefusal_.clear();
    if (const auto known = serverFolders_.constFind(FolderName); known != serverFolders_.cend()) {
        lastResult = component.SelectMailbox(*known);
        if (lastResult != 1)
            folderRefusal_ = component.LastErrorText();
        return lastResult;
    }
    lastResult = component.SelectMailbox(FolderName);
    if (lastResult == 1 || AbortProcess || !component.IsConnected())
        return lastResult;
    folderRefusal_ = component.LastErrorText();
    const std::optional<FolderDirectory> directory = component.ListFolderDirectory();
    const QString name = directory ? FolderResolver::serverName(FolderName, *directory) : QString();
    if (name.isEmpty() || name == FolderName)
        return lastResult;
    lastResult = component.SelectMailbox(name);
    if (lastResult == 1)
        serverFolders_.insert(FolderName, name);
    else
        folderRefusal_ = component.LastErrorText();
    return lastResult;
}

// A folder the server answered for but would not open is told as such, by name; a connection that
// failed under it is a failed sign-in like any other. Answers whether the failure was the
// folder's.
bool clsMailIMAP::ShowFolderFailure(const MailImap& component, const QString& FolderName) {
    const bool folders = component.IsConnected() && !folderRefusal_.isEmpty();
    if (AbortProcess)
        return folders;
    if (!folders) {
        GetLastError();
        return false;
    }
    showMessage(nullptr,
                QStringLiteral("The folder \"%1\" could not be found or opened on the server, "
                               "under this name or another name for it. Nothing was listed.\n\n"
                               "The server answered: %2")
                    .arg(FolderName, folderRefusal_),
                BoxIcon::Exclamation);
    return true;
}

qint32 clsMailIMAP::GetTotalMessage(const QString& FolderName) {
    Binding binding(*this);
    if (OpenFolder(binding.component(), FolderName) != 1)
        return ShowFolderFailure(binding.component(), FolderName) ? -1 : 0;
    const qint32 count = binding.component().MessageCount();
    if (count < 0)
        showMessage(nullptr,
                    QStringLiteral("The server announced an impossible number of messages in the "
                                   "folder \"%1\". Nothing was listed.")
                        .arg(FolderName),
                    BoxIcon::Exclamation);
    return count;
}

std::optional<QStringList> clsMailIMAP::EnumMailFolders() {
    Binding binding(*this);
    const std::optional<QStringList> names =
        binding.component().ListMailboxes(QString(), QStringLiteral("*"));
    if (!names) {
        GetLastError();
        return std::nullopt;
    }
    QStringList folders;
    for (const QString& name : *names) {
        folders.append(name);
        QCoreApplication::processEvents();
    }
    return folders;
}

void clsMailIMAP::WriteErrorLog() {
    Log(MailIMAPObject->LastErrorText());
}

// The error log only explains: a log that cannot be written is told once per session, and the
// work goes on without it.
void clsMailIMAP::Log(const QString& text) {
    try {
        ErrorLog::append(text);
    } catch (const Failure& failure) {
        if (!std::exchange(errorLogFailed_, true))
            emit ErrorLogUnwritable(failure.description());
    }
}

// Every fetch, failed or not, is followed by a look at AbortProcess. A failure that leaves the
// component without its connection (or a long run of failures) ends the listing at once with one
// box; a single message the server will not give is skipped and counted.
void clsMailIMAP::StartMailExtraction(const QString& FolderName) {
    LastListingEnd = ListingEnd::Finished;
    SkippedMessages = 0;
    if (!Connect()) {
        if (AbortProcess) {
            LastListingEnd = ListingEnd::StoppedSigningIn;
            return;
        }
        LastListingEnd = ListingEnd::SignInFailed;
        showMessage(nullptr, QStringLiteral("Connection failed. Check username and password."));
        return;
    }
    Binding binding(*this);
    MailImap& component = binding.component();
    if (OpenFolder(component, FolderName) != 1) {
        const bool folders = ShowFolderFailure(component, FolderName);
        LastListingEnd = AbortProcess ? ListingEnd::StoppedSigningIn
                         : folders    ? ListingEnd::FolderUnavailable
                                      : ListingEnd::SignInFailed;
        return;
    }
    qint32 listed = 0;
    ListRange(component, FolderName, CurrentLocation, MaxRecord, listed);
}

void clsMailIMAP::PrepareListingConnection() {
    if (!MailIMAPObject || !ServerProblem.isEmpty())
        return;
    MailIMAPObject->setSSL(SSL);
    MailIMAPObject->setPort(PORT);
    MailIMAPObject->PrepareConnection(IMAPServer);
}

void clsMailIMAP::DropPreparedConnection() {
    if (MailIMAPObject)
        MailIMAPObject->DropPreparedConnection();
}

quint32 clsMailIMAP::FolderUidValidity() const {
    return MailIMAPObject ? MailIMAPObject->UidValidity() : 0;
}

std::optional<QList<MessageUid>> clsMailIMAP::GetMessageUids() {
    Binding binding(*this);
    std::optional<QList<MessageUid>> uids = binding.component().MessageUids();
    if (!uids)
        GetLastError();
    return uids;
}

// The numbers go as ranges of consecutive numbers, each fetched ahead as one.
void clsMailIMAP::ExtractMessages(const QString& FolderName, const QList<qint32>& numbers) {
    LastListingEnd = ListingEnd::Finished;
    SkippedMessages = 0;
    Binding binding(*this);
    qint32 listed = 0;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype j = i + 1;
        while (j < numbers.size() && numbers[j] == numbers[j - 1] + 1)
            ++j;
        if (!ListRange(binding.component(), FolderName, numbers[i], numbers[j - 1], listed))
            return;
        i = j;
    }
}

bool clsMailIMAP::ListRange(MailImap& component, const QString& FolderName, qint32 first,
                            qint32 last, qint32& listed) {
    component.setPlainBodiesInUtf8(plainBodiesInUtf8);
    const FetchWindow window(component, first, last);
    const ErrorLog::KeptOpen log;
    const quint32 uidValidity = component.UidValidity();
    qint32 failuresInARow = 0;
    for (qint64 n = first; n <= last; ++n) {
        QCoreApplication::processEvents();
        CurrentLocation = qint32(n);
        std::unique_ptr<EmailObject> email = component.FetchMessage(qint32(n), 0);
        WriteErrorLog();
        // A message too large to read costs its connection: the listing goes on after it on a
        // new one (and from n itself when the one refused comes later).
        const qint32 refused = email ? 0 : component.MessageRefusedForSize();
        const bool tooLarge = refused != 0 && refused == n;
        bool resume = !email && MayResume(component);
        if (tooLarge)
            resume = n < last && !AbortProcess;
        else if (refused > n)
            resume = !AbortProcess;
        if (resume) {
            if (!Resume(component, FolderName, qint32(tooLarge ? n + 1 : n), last)) {
                LastListingEnd = ListingEnd::Broken; // its failure was told
                return false;
            }
            if (!tooLarge) {
                email = component.FetchMessage(qint32(n), 0);
                WriteErrorLog();
            }
        }
        if (AbortProcess) {
            LastListingEnd = ListingEnd::Stopped;
            return false;
        }
        if (!email) {
            ++SkippedMessages;
            const bool broken = !tooLarge && !component.IsConnected();
            if (broken || ++failuresInARow >= maxFailuresInARow) {
                LastListingEnd = ListingEnd::Broken;
                showMessage(nullptr,
                            QStringLiteral("The listing ended early: %1 of %2 messages were "
                                           "listed.\n\n%3")
                                .arg(listed)
                                .arg(qint64(last) - first + 1)
                                .arg(component.LastErrorText()),
                            BoxIcon::Exclamation);
                return false;
            }
            continue;
        }
        failuresInARow = 0;
        const QString receivedDate = Conversions::dateTimeText(email->Date.toLocalTime());
        listedIdentity = {FolderName, uidValidity, email->Uid, email->MessageId, email->Date};
        const auto dropBody = qScopeGuard([this] { listedPlainTextUtf8.clear(); });
        if (plainBodiesInUtf8)
            listedPlainTextUtf8 = std::exchange(email->PlainTextUtf8, QByteArray());
        else if (!email->PlainTextUtf8.isEmpty())
            email->PlainTextBody = QString::fromUtf8(std::exchange(email->PlainTextUtf8, {}));
        emit MailExtractListing(email->From, email->FromName, email->FromAddress, email->Subject,
                                receivedDate, email->PlainTextBody, email->HTMLTextBody, qint32(n));
        ++listed;
        QCoreApplication::processEvents();
    }
    return true;
}

// A connection signed in with a token that is lost during a listing is taken for an expired
// token (the server ends the session with "* BYE ... AccessTokenExpired" when one expires), so a
// listing may outlast a token. Never after Stop.
bool clsMailIMAP::MayResume(const MailImap& component) const {
    return AuthMethod == AuthMode::OAuth2 && !AbortProcess && !component.IsConnected();
}

// Signs in anew (with a fresh token), opens the folder again read-only and goes on from message
// from; a failure is reported and ends the listing.
bool clsMailIMAP::Resume(MailImap& component, const QString& FolderName, qint32 from, qint32 last) {
    const auto noDeadline = qScopeGuard([this] { connectDeadline_ = QDeadlineTimer::Forever; });
    if (AuthMethod == AuthMode::OAuth2 ? !SignInWithToken(component, TokenNeed::Fresh)
                                       : !SignInWithPassword(component))
        return false;
    if (OpenFolder(component, FolderName) != 1) {
        ShowFolderFailure(component, FolderName);
        return false;
    }
    component.setFetchWindow(from, last);
    return true;
}
