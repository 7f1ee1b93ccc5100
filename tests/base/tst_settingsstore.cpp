#include "TemporarySettings.h"

#include "base/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QTest>

class SettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void missingKeyGivesTheDefault();
    void savedValueIsInTheUsersFileAtOnce();
    void valuesComeBackUnchanged_data();
    void valuesComeBackUnchanged();
    void fileIsPrivate();
    void handEditedListReadsAsText();
};

void SettingsStoreTest::missingKeyGivesTheDefault() {
    TemporarySettings settings;
    QCOMPARE(SettingsStore::Read(QStringLiteral("Combo1"), QStringLiteral("0")),
             QStringLiteral("0"));
    QCOMPARE(SettingsStore::Read(QStringLiteral("User")), QString());
}

void SettingsStoreTest::savedValueIsInTheUsersFileAtOnce() {
    TemporarySettings settings;
    SettingsStore::Save(QStringLiteral("User"), QStringLiteral("alex"));
    const QString file = settings.path() + QStringLiteral("/Vantrello/Quentaril.ini");
    QCOMPARE(SettingsStore::filePath(), file);
    // Another reader (a second copy of the program) sees it without any flush.
    QSettings other(file, QSettings::IniFormat);
    QCOMPARE(other.value(QStringLiteral("Quentaril/User")).toString(), QStringLiteral("alex"));
    SettingsStore::Save(QStringLiteral("User"), QString());
    QCOMPARE(SettingsStore::Read(QStringLiteral("User"), QStringLiteral("default")), QString());
}

void SettingsStoreTest::valuesComeBackUnchanged_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("path") << QStringLiteral("/home/alex/Desktop/");
    QTest::newRow("password with specials") << QStringLiteral("p@ss, \"w\\o=rd\"; #1 [x]");
    QTest::newRow("non-ASCII") << QStringLiteral("Jürgen Müller 山田");
    QTest::newRow("blanks") << QStringLiteral("  padded  ");
    QTest::newRow("looks like a number") << QStringLiteral("007");
}

void SettingsStoreTest::valuesComeBackUnchanged() {
    QFETCH(QString, value);
    TemporarySettings settings;
    SettingsStore::Save(QStringLiteral("Password"), value);
    QCOMPARE(SettingsStore::Read(QStringLiteral("Password")), value);
}

void SettingsStoreTest::fileIsPrivate() {
    TemporarySettings settings;
    SettingsStore::Save(QStringLiteral("Password"), QStringLiteral("secret"));
    const QFile::Permissions permissions = QFile::permissions(SettingsStore::filePath());
    QCOMPARE(permissions & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
    SettingsStore::Save(QStringLiteral("User"), QStringLiteral("alex"));
    QCOMPARE(QFile::permissions(SettingsStore::filePath()) &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
}

void SettingsStoreTest::handEditedListReadsAsText() {
    TemporarySettings settings;
    SettingsStore::Save(QStringLiteral("User"), QStringLiteral("x"));
    QFile file(SettingsStore::filePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Quentaril]\nFolder=a,b\n");
    file.close();
    QCOMPARE(SettingsStore::Read(QStringLiteral("Folder")), QStringLiteral("a,b"));
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
