#pragma once

#include "mail/AccessTokenSource.h"
#include "mail/MailImap.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// How a session signs in.
enum class AuthMode {
    Password, // LOGIN with Username and Password
    OAuth2,   // XOAUTH2 with Username and an access token from TokenSource
};

// The mail session: holds the connection settings and credentials, logs in, counts and enumerates
// folders, lists a range of messages raising one MailExtractListing per message, answers the
// component's abort polling and keeps errorlog.txt. Windows hold sessions by std::shared_ptr and
// every command keeps its own reference for the length of a call: the session's calls yield to
// the window system, and a click handled there may drop the window's reference.
class clsMailIMAP : public QObject {
    Q_OBJECT
public:
    explicit clsMailIMAP(QObject* parent = nullptr);
    ~clsMailIMAP() override;

    // How the last StartMailExtraction ended, for the command that ran it.
    enum class ListingEnd {
        Finished,         // every number of the range was tried
        SignInFailed,     // its login failed or its folder could not be selected; boxes shown
        StoppedSigningIn, // Stop came while it signed in: nothing shown
        Stopped,          // Stop came while it listed
        Broken,           // the connection failed under it; its box shown
        FolderUnavailable // its folder could not be found or opened; its box shown
    };

    bool AbortProcess = false;
    qint32 MaxRecord = 0;
    qint32 CurrentLocation = 0;
    MailImap* MailIMAPObject = nullptr; // the window's component instance, not owned
    qint32 PORT = 0;
    bool SSL = false;
    QString IMAPServer;
    // Why IMAPServer and PORT cannot be connected to, "" when they can: every connect then fails
    // with this as its detail, and nothing is sent anywhere.
    QString ServerProblem;
    QString Password;
    QString Username;
    MailImap* MailImap1 = nullptr; // the instance whose events this session handles
    AuthMode AuthMethod = AuthMode::Password;
    AccessTokenSource TokenSource; // required with AuthMode::OAuth2

    // How the last XOAUTH2 sign-in ended; none when the last sign-in sent no AUTHENTICATE
    // (password mode, no token, no connection).
    std::optional<XOAuth2Result> LastSignIn() const { return lastSignIn; }
    ListingEnd LastListingEnd = ListingEnd::Finished;
    qint32 SkippedMessages = 0; // numbers of the last listing the server would not give

    // Who the message of the MailExtractListing being raised is, for a download that remembers
    // what it saved: its folder and the folder's UIDVALIDITY, its UID (0 when the server sent
    // none), its Message-ID and date.
    struct Identity {
        QString folder;
        quint32 uidValidity = 0;
        quint32 uid = 0;
        QString messageId;
        QDateTime date;
    };
    const Identity& ListedIdentity() const { return listedIdentity; }
    // A listener that keeps bodies in UTF-8 takes each plain body as it comes, in UTF-8 from
    // ListedPlainTextUtf8 while MailExtractListing is raised, its PlainTextBody then empty: a
    // body is neither held in UTF-16 nor converted there and back. Otherwise every body comes as
    // PlainTextBody.
    void SetPlainBodiesInUtf8(bool inUtf8) { plainBodiesInUtf8 = inUtf8; }
    const QByteArray& ListedPlainTextUtf8() const { return listedPlainTextUtf8; }
    // The UIDVALIDITY of the folder selected last; 0 when the server announced none.
    quint32 FolderUidValidity() const;
    // The result of the last component call that answers 1 for success.
    qint32 LastResult() const { return lastResult; }

    // Shows the invalid-login box; the component's last-error text is its detail.
    void GetLastError();
    // How long connecting and signing in may take, together.
    static void setConnectDeadline(std::chrono::milliseconds deadline);
    bool Connect();
    // The folder's message count; 0 when it cannot be selected for want of a connection (the
    // invalid-login box shown), -1 when the folder cannot be found or opened or its count cannot
    // be (a box naming the folder shown).
    qint32 GetTotalMessage(const QString& FolderName);
    void StartMailExtraction(const QString& FolderName);
    // StartMailExtraction is coming: its new connection may be opened now, while the current one
    // still counts the folder. Dropped when the listing does not come after all.
    void PrepareListingConnection();
    void DropPreparedConnection();
    // The UID of every message of the folder that GetTotalMessage selected last, without their
    // bodies; no list (the failure shown) when the server gives none.
    std::optional<QList<MessageUid>> GetMessageUids();
    // Lists the messages of the given ascending sequence numbers of the folder that
    // GetTotalMessage selected last, on the connection signed in already, as StartMailExtraction
    // lists a range.
    void ExtractMessages(const QString& FolderName, const QList<qint32>& numbers);
    std::optional<QStringList> EnumMailFolders();

signals:
    void MailExtractListing(const QString& From, const QString& FromName,
                            const QString& FromAddress, const QString& Subject,
                            const QString& ReceivedDate, const QString& PlainTextBody,
                            const QString& HTMLTextBody, qint32 uID);
    void ScrapProgress(qint32 percent);
    // errorlog.txt could not be written; said once per session, with the system's reason.
    void ErrorLogUnwritable(const QString& reason);

private:
    class Binding;

    // Handlers of the component's events while a call of this session runs.
    void MailImap1_AbortCheck(qint32& abort);
    void MailImap1_PercentDone(qint32 percent);
    void WriteErrorLog();
    void Log(const QString& text);
    void ShowLoginFailure(const QString& detail);
    bool OpenConnection(MailImap& component);
    bool SignInWithToken(MailImap& component, TokenNeed need);
    bool SignInWithPassword(MailImap& component);
    bool MayResume(const MailImap& component) const;
    bool Resume(MailImap& component, const QString& FolderName, qint32 from, qint32 last);
    // Lists first to last; false when the listing ended before last (stopped or broken).
    bool ListRange(MailImap& component, const QString& FolderName, qint32 first, qint32 last,
                   qint32& listed);
    qint32 OpenFolder(MailImap& component, const QString& FolderName);
    bool ShowFolderFailure(const MailImap& component, const QString& FolderName);
    void NoteIdentificationRefused(const MailImap& component);

    qint32 lastResult = 0; // the last result of a component call that answers 1 for success
    std::optional<XOAuth2Result> lastSignIn;
    Identity listedIdentity;
    bool plainBodiesInUtf8 = false;
    QByteArray listedPlainTextUtf8;
    QDeadlineTimer connectDeadline_{QDeadlineTimer::Forever}; // while Connect runs
    bool timedOut_ = false;
    // The server's names of the window's folders where they differ, found once per session.
    QHash<QString, QString> serverFolders_;
    QString folderRefusal_;
    bool errorLogFailed_ = false; // the server's answer to the last folder that could not be opened
};
