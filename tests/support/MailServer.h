#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throwaway Dovecot on a free loopback port with TLS, started through scripts/mail-server for
// the life of this object and stopped (its folder removed) when it goes, also when a test fails.
class MailServer {
public:
    struct Options {
        QString seedDir; // one sub-folder per mail folder with .eml files; default the test mailbox
        QString user = QStringLiteral("user@example.test");
        QString password = QStringLiteral("secret");
        // When set, the server takes only XOAUTH2/OAUTHBEARER bearer tokens and asks this
        // address whether one is live (IdentityProvider::introspectionUrl()).
        QString oauth2Introspection = {};
        // Folders laid out as other servers do: a namespace prefix ("INBOX."), its separator,
        // and folders of the seed marked with a special-use attribute ("Sent Messages=\\Sent").
        QString prefix = {};
        QString separator = {};
        QStringList specialUse = {};
    };

    MailServer();
    explicit MailServer(const Options& options);
    ~MailServer();
    MailServer(const MailServer&) = delete;
    MailServer& operator=(const MailServer&) = delete;

    bool isRunning() const { return port_ > 0; }
    QString errorText() const { return error_; }

    QString host() const { return QStringLiteral("localhost"); }
    int port() const { return port_; }
    QString user() const { return user_; }
    QString password() const { return password_; }
    QString caFile() const { return caFile_; }
    QString stateDir() const;

    // Dovecot's log so far.
    QString logText() const;
    // The flags of each message of the folder in sequence order, e.g. "\\Seen \\Recent".
    QStringList flags(const QString& folder) const;

    static QString script();
    // Writes count generated messages ("Generated message 1", ...) into folder.
    static bool generate(const QString& folder, int count);
    static QString defaultSeedDir();

private:
    QTemporaryDir dir_;
    int port_ = 0;
    QString user_;
    QString password_;
    QString caFile_;
    QString error_;
};
