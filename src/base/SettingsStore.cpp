#include "base/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStringList>

#include <memory>

namespace {

const QString application = QStringLiteral("Vantrello");
const QString section = QStringLiteral("Quentaril");

constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

struct Store {
    QSettings settings{QSettings::IniFormat, QSettings::UserScope, application, section};
    QHash<QString, QString> unsaved; // values saved while the file was read-only, for this run
    bool told = false;               // a failed save was reported
    Store() {
        // Only the user's own file: no machine-wide or organisation-wide file fills in a key.
        settings.setFallbacksEnabled(false);
        settings.beginGroup(section);
    }
};

std::unique_ptr<Store>& current() {
    static std::unique_ptr<Store> store;
    return store;
}

Store& store() {
    std::unique_ptr<Store>& store = current();
    if (!store)
        store = std::make_unique<Store>();
    return *store;
}

std::function<void(const QString&)>& unsavedListener() {
    static std::function<void(const QString&)> listener;
    return listener;
}

// Creates the file private before anything is written into it: it can hold a password.
void createPrivately(const QString& path) {
    if (QFileInfo::exists(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.close();
        QFile::setPermissions(path, ownerOnly);
    }
}

const QString passwordKey = QStringLiteral("Password");

// Whether the file holds a password once key is saved with value.
bool holdsPassword(const QSettings& settings, const QString& key, const QString& value) {
    if (key == passwordKey)
        return !value.isEmpty();
    return !settings.value(passwordKey).toString().isEmpty();
}

// Takes every permission from the group and from others; false when the file stays readable by
// them (it belongs to someone else).
bool makePrivate(const QString& path) {
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    const QFile::Permissions permissions = QFile::permissions(path);
    return !(permissions & others) || QFile::setPermissions(path, permissions & ~others);
}

} // namespace

namespace SettingsStore {

QString filePath() {
    return store().settings.fileName();
}

QString Read(const QString& key, const QString& defaultValue) {
    const auto unsaved = store().unsaved.constFind(key);
    if (unsaved != store().unsaved.cend())
        return *unsaved;
    QSettings& settings = store().settings;
    if (!settings.contains(key))
        return defaultValue;
    const QVariant value = settings.value(key);
    // A hand-edited value with an unquoted comma reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

// A file without its owner's write permission is never written, whoever runs the program. A file
// that holds a password is made readable by its owner only before it is written, however it was
// made; one that cannot be is not written.
void Save(const QString& key, const QString& value) {
    Store& s = store();
    const QString path = s.settings.fileName();
    QString reason = QStringLiteral("\"%1\" is not writable");
    if (QFileInfo::exists(path) && !(QFile::permissions(path) & QFile::WriteOwner)) {
        s.unsaved.insert(key, value);
    } else {
        createPrivately(path);
        if (holdsPassword(s.settings, key, value) && !makePrivate(path)) {
            s.unsaved.insert(key, value);
            reason = QStringLiteral("\"%1\" cannot be made readable by its owner only");
        } else {
            s.settings.setValue(key, value);
            s.settings.sync();
            if (s.settings.status() == QSettings::NoError)
                return;
        }
    }
    if (s.told)
        return;
    s.told = true;
    if (unsavedListener())
        unsavedListener()(reason.arg(QDir::toNativeSeparators(path)));
}

void setUnsavedListener(std::function<void(const QString& reason)> listener) {
    unsavedListener() = std::move(listener);
}

void reopen() {
    current().reset();
}

} // namespace SettingsStore
