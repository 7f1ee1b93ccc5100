// Where refresh tokens are kept: the desktop's keyring with "Remember me", this session's memory
// without it or without a keyring, and never a file.
#include "IdentityProvider.h"
#include "SimulatedBrowser.h"

#include "auth/SignIn.h"
#include "auth/TokenStore.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace auth;

namespace {

const QString kUser = QStringLiteral("alice@example.test");

// Set by tests/auth/with-keyring's CTest entry: a private bus with an unlocked keyring.
bool keyringSession() {
    return qEnvironmentVariableIsSet("QUENTARIL_KEYRING_SESSION");
}

// Files under dir whose bytes hold text.
QStringList filesHolding(const QString& dir, const QString& text) {
    QStringList found;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
            found.append(file.fileName());
    }
    return found;
}

} // namespace

class TokenStoreTest : public QObject {
    Q_OBJECT

private slots:
    void keyring_data();
    void keyring();
    void noKeyring();
};

void TokenStoreTest::keyring_data() {
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("then"); // what the window does next: "", "uncheck", "sign out"
    QTest::addColumn<bool>("inKeyring");
    QTest::addColumn<bool>("inSession");

    QTest::newRow("remembered") << true << "" << true << true;
    QTest::newRow("not remembered") << false << "" << false << true;
    QTest::newRow("Remember me unchecked") << true << "uncheck" << false << true;
    QTest::newRow("signed out") << true << "sign out" << false << false;
}

void TokenStoreTest::keyring() {
    if (!keyringSession())
        QSKIP("needs the private keyring session of tests/auth/with-keyring");
    QFETCH(bool, remember);
    QFETCH(QString, then);
    QFETCH(bool, inKeyring);
    QFETCH(bool, inSession);
    const QString user = QString::fromLatin1(QTest::currentDataTag()).remove(QLatin1Char(' ')) +
                         QStringLiteral("@example.test");

    TokenStore store;
    QSignalSpy missing(&store, &TokenStore::keyringMissing);
    store.save(user, QStringLiteral("rt-first"), remember);
    // A rotated refresh token replaces the old one.
    store.save(user, QStringLiteral("rt-rotated"), remember);
    if (then == QLatin1String("uncheck"))
        store.removeStored(user);
    else if (then == QLatin1String("sign out"))
        store.remove(user);

    QCOMPARE(store.load(user), inSession ? QStringLiteral("rt-rotated") : QString());
    // A later start of the program finds what the keyring holds.
    TokenStore nextStart;
    QCOMPARE(nextStart.load(user.toUpper()), inKeyring ? QStringLiteral("rt-rotated") : QString());
    QVERIFY(store.keyringWorks());
    QCOMPARE(missing.count(), 0);
}

// Without a keyring the sign-in works for the session, says so once, and writes nothing.
void TokenStoreTest::noKeyring() {
    if (keyringSession())
        QSKIP("runs without a keyring");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            QByteArray("unix:path=") + home.filePath(QStringLiteral("no-bus")).toUtf8());
    qunsetenv("DISPLAY");

    IdentityProvider idp;
    QVERIFY2(idp.isRunning(), qPrintable(idp.errorText()));
    OAuthSettings settings = OAuthSettings::read([](const QString&) { return QString(); }, true);
    settings.authority = idp.authority();
    settings.clientId = idp.clientId();
    TokenStore store;
    QSignalSpy missing(&store, &TokenStore::keyringMissing);
    SignIn signIn(settings, store);
    signIn.setRemember(true);
    SimulatedBrowser browser;
    signIn.setOpener(browser.opener());

    const OAuthResult first = signIn.accessToken(kUser);
    QVERIFY2(first.ok(), qPrintable(first.detailText()));
    QCOMPARE(missing.count(), 1);
    QVERIFY(!store.keyringWorks());
    // The session goes on: the next sign-in refreshes from memory, without the browser.
    signIn.tokenRefused(kUser);
    const OAuthResult second = signIn.accessToken(kUser, Interaction::Forbidden);
    QVERIFY2(second.ok(), qPrintable(second.detailText()));
    QCOMPARE(browser.opened(), 1);
    QCOMPARE(missing.count(), 1);

    QCOMPARE(filesHolding(home.path(), second.tokens.refreshToken), QStringList());
    QCOMPARE(filesHolding(home.path(), first.tokens.refreshToken), QStringList());
    QCOMPARE(TokenStore().load(kUser), QString());
}

QTEST_MAIN(TokenStoreTest)
#include "tst_tokenstore.moc"
