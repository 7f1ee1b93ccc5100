#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// One fetched message, as the mail component gives it: read-only texts and the message date.
struct EmailObject {
    QString From;        // the From header, decoded for display
    QString FromName;    // the sender's display name ("" when absent)
    QString FromAddress; // the sender's address
    QString Subject;
    QString PlainTextBody; // CR LF line ends
    QString HTMLTextBody;  // CR LF line ends
    QDateTime Date;        // the Date header, or the server's internal date when it is unreadable
    QString ReadingNote;   // what had to stand in for what the message lacks ("" when nothing)
    QString MessageId;     // the Message-ID header without its angle brackets ("" when absent)
    quint32 Uid = 0;       // the server's unique identifier in its folder (0 when not sent)
    // The plain-text body in UTF-8 with CR LF line ends, instead of PlainTextBody, when it is
    // large (its text is then never held in UTF-16 as well) or when the reader asked for it so.
    QByteArray PlainTextUtf8;
};

// A message of the selected folder: its sequence number and its unique identifier.
struct MessageUid {
    qint32 sequenceNumber = 0;
    quint32 uid = 0;
};

// One folder of a LIST answer: its name for display, the separator of its hierarchy ('\0' when it
// has none) and its attributes as the server wrote them ("\\Sent", "\\Noselect", ...).
struct MailboxEntry {
    QString name;
    QChar separator;
    QStringList attributes;
};

// The server's folders as one LIST (with special-use attributes where the server offers them)
// gives them, and the prefix of the personal namespace with its separator ("INBOX." and '.' on a
// server that keeps every folder under the inbox; "" where folders sit at the top).
struct FolderDirectory {
    QString personalPrefix;
    QChar separator;
    QList<MailboxEntry> folders;
};

// How an XOAUTH2 sign-in ended.
enum class XOAuth2Result {
    SignedIn,
    TokenRefused,     // the server answered NO or BAD: the token is wrong or has expired
    TemporaryFailure, // NO [UNAVAILABLE]: the server cannot check tokens now; try later
    ConnectionLost,   // the connection closed, failed, timed out or was cancelled
    NotOffered,       // the server does not offer AUTH=XOAUTH2 (or the connection is signed in)
};

// The IMAP component. One instance lives as long as the main window; sessions borrow it.
// Every operation that answers a number answers 1 for success.
// While a call waits on the network it raises AbortCheck (at least every 100 ms; a non-zero value
// abandons the call) and PercentDone; handlers run on the calling thread, inside the call.
class MailImap : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setSSL(bool on) = 0;
    virtual void setPort(qint32 port) = 0;
    // A PEM file of extra certificate authorities trusted beside the system's; "" for none.
    virtual void setTrustedCertificates(const QString& pemFile) = 0;

    virtual qint32 Connect(const QString& host) = 0;
    // A Connect to host is coming, while the current connection still has work: the component may
    // open that connection now, and Connect then takes it over. One not taken soon is closed.
    virtual void PrepareConnection(const QString& host) { Q_UNUSED(host); }
    // Closes the connection PrepareConnection opened, if Connect did not take it.
    virtual void DropPreparedConnection() {}
    // Sends one command line exactly as given, followed by CR LF and nothing else. Answers the
    // server's response, a refusal (NO, BAD) included, which also becomes the last-error text;
    // "" when no answer came (the connection failed or closed).
    virtual QString SendRawCommand(const QString& command) = 0;
    virtual qint32 Login(const QString& user, const QString& password) = 0;
    // Signs in with an OAuth2 access token (SASL XOAUTH2) instead of LOGIN: asks the server for
    // its capabilities first, since a greeting may carry none. The token never reaches a log or
    // the last-error text.
    virtual XOAuth2Result AuthenticateXOAuth2(const QString& user, const QString& accessToken) = 0;
    // False once the connection is closed or lost (after Disconnect, a failed Connect, a broken
    // stream or a server's BYE).
    virtual bool IsConnected() const = 0;
    // Opens the folder read-only.
    virtual qint32 SelectMailbox(const QString& folder) = 0;
    // The selected folder's message count; -1 when the server announced one that cannot be.
    virtual qint32 MessageCount() = 0;
    // The selected folder's UIDVALIDITY; 0 when the server announced none.
    virtual quint32 UidValidity() const { return 0; }
    // The unique identifier of every message of the selected folder, in sequence order; bodies
    // are not fetched. No list on failure.
    virtual std::optional<QList<MessageUid>> MessageUids() { return std::nullopt; }
    // Fetches message sequenceNumber of the selected folder whole, without marking it read.
    // No object when the fetch failed.
    virtual std::unique_ptr<EmailObject> FetchMessage(qint32 sequenceNumber, qint32 flags) = 0;
    // The caller is about to fetch messages first to last of the selected folder in ascending
    // order, one at a time: the component may request the following messages before they are
    // asked for. An empty range (last < first) ends it and drops what was fetched ahead.
    virtual void setFetchWindow(qint32 first, qint32 last) {
        Q_UNUSED(first);
        Q_UNUSED(last);
    }
    // Whether every plain-text body comes in UTF-8 (EmailObject::PlainTextUtf8), for a reader that
    // keeps them so; otherwise only large ones do.
    virtual void setPlainBodiesInUtf8(bool inUtf8) { Q_UNUSED(inUtf8); }
    // After a fetch that failed: the number of a message the component would not read, since the
    // server announced it larger than the component reads, and for which it gave up its
    // connection; the messages after it can be fetched on a new one. 0 after any other failure.
    virtual qint32 MessageRefusedForSize() const { return 0; }
    // Folder names for display; no list on failure.
    virtual std::optional<QStringList> ListMailboxes(const QString& reference,
                                                     const QString& pattern) = 0;
    // The folders and the personal namespace; no directory on failure.
    virtual std::optional<FolderDirectory> ListFolderDirectory() { return std::nullopt; }
    virtual qint32 Disconnect() = 0;
    virtual QString LastErrorText() const = 0;

signals:
    void AbortCheck(qint32& abort);
    void PercentDone(qint32 percent);
};

// The product's implementation of the component.
std::unique_ptr<MailImap> createMailImap();
