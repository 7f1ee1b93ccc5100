#include "mail/clsMailIMAP.h"

#include "base/Conversions.h"
#include "base/Failure.h"
#include "base/Prompter.h"
#include "mail/ErrorLog.h"
#include "mail/MailImap.h"

#include <QCoreApplication>

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

} // namespace

clsMailIMAP::clsMailIMAP(QObject* parent) : QObject(parent) {}

clsMailIMAP::~clsMailIMAP() {
    MailIMAPObject = nullptr;
    MailImap1 = nullptr;
}

void clsMailIMAP::MailImap1_AbortCheck(qint32& abort) {
    abort = AbortProcess ? 1 : 0;
    QCoreApplication::processEvents();
}

void clsMailIMAP::MailImap1_PercentDone(qint32 percent) {
    emit ScrapProgress(percent);
    QCoreApplication::processEvents();
}

void clsMailIMAP::GetLastError() {
    const QString detail = MailIMAPObject ? MailIMAPObject->LastErrorText() : QString();
    showMessage(nullptr,
                QStringLiteral("Invalid login. Please double-check your username and password."),
                BoxIcon::None, detail);
}

bool clsMailIMAP::Connect() {
    Binding binding(*this);
    MailImap& component = binding.component();
    component.setSSL(SSL);
    component.setPort(PORT);
    lastResult = component.Connect(IMAPServer);
    if (lastResult != 1) {
        GetLastError();
        return false;
    }
    if (component.SendRawCommand(QStringLiteral("ID (\"GUID\" \"1\")")).isEmpty()) {
        GetLastError();
        return false;
    }
    lastResult = component.Login(Username, Password);
    if (lastResult == 1)
        return true;
    GetLastError();
    return false;
}

qint32 clsMailIMAP::GetTotalMessage(const QString& FolderName) {
    Binding binding(*this);
    lastResult = binding.component().SelectMailbox(FolderName);
    if (lastResult == 1)
        return binding.component().MessageCount();
    GetLastError();
    return 0;
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
    ErrorLog::append(MailIMAPObject->LastErrorText());
}

void clsMailIMAP::StartMailExtraction(const QString& FolderName) {
    if (!Connect()) {
        showMessage(nullptr, QStringLiteral("Connection failed. Check username and password."));
        return;
    }
    Binding binding(*this);
    MailImap& component = binding.component();
    lastResult = component.SelectMailbox(FolderName);
    if (lastResult != 1) {
        GetLastError();
        return;
    }
    const qint32 first = CurrentLocation;
    const qint32 last = MaxRecord;
    const FetchWindow window(component, first, last);
    for (qint64 n = first; n <= last; ++n) {
        QCoreApplication::processEvents();
        CurrentLocation = qint32(n);
        const std::unique_ptr<EmailObject> email = component.FetchMessage(qint32(n), 0);
        WriteErrorLog();
        if (!email)
            continue;
        if (AbortProcess)
            break;
        const QString receivedDate = Conversions::dateTimeText(email->Date.toLocalTime());
        emit MailExtractListing(email->From, email->FromName, email->FromAddress, email->Subject,
                                receivedDate, email->PlainTextBody, email->HTMLTextBody, qint32(n));
        QCoreApplication::processEvents();
    }
}
