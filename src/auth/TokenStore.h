#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>

namespace QKeychain {
class Job;
}

namespace auth {

// Where a user's refresh token lives: in this session's memory, and with "Remember me" also in the
// desktop's keyring (service "Quentaril", key the user name). The access token is never kept here,
// and nothing goes to the settings file. Without a usable keyring the token stays in memory for
// the session, and keyringMissing() says so once.
// Each call waits for the keyring in a nested event loop: the window keeps running meanwhile.
class TokenStore : public QObject {
    Q_OBJECT
public:
    // How a user's tokens are filed, here and by the sign-in: the name without case or blanks
    // around it.
    static QString keyOf(const QString& user);

    explicit TokenStore(const QString& service = QStringLiteral("Quentaril"),
                        QObject* parent = nullptr);

    // The refresh token for user: the session's, else the keyring's; empty when there is none.
    QString load(const QString& user);
    // Keeps token for the session, and with remember in the keyring as well.
    void save(const QString& user, const QString& token, bool remember);
    // Deletes the keyring's copy (when "Remember me" is unchecked); the session keeps its own.
    void removeStored(const QString& user);
    // Forgets the token everywhere (sign-out, or a token the service no longer accepts).
    void remove(const QString& user);

    bool keyringWorks() const { return !keyringFailed_; }
    // How long one keyring call may take before the keyring counts as missing.
    void setKeyringTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

signals:
    // The keyring could not be used; the token is kept for this session only. Emitted once.
    void keyringMissing(const QString& reason);

private:
    struct Outcome {
        int error = -1; // QKeychain::Error; -1 when the keyring never answered
        QString errorString;
        QString text;
    };
    Outcome run(QKeychain::Job* job);
    void failed(const Outcome& outcome);

    QString service_;
    QHash<QString, QString> session_;
    bool keyringFailed_ = false;
    std::chrono::milliseconds timeout_ = std::chrono::seconds(15);
};

} // namespace auth
