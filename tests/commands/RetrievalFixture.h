#pragma once

#include "MailServer.h"
#include "ScriptedPrompter.h"
#include "TemporarySettings.h"
#include "WindowFixture.h"
#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "list/MessageListModel.h"
#include "list/MessageListView.h"
#include "mail/ErrorLog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

#include <memory>

// A window logged in to the test server: settings in a temporary folder, the server address and
// its certificate authority stored as settings, and the login fields filled in.
struct ServerLogin {
    QString host;
    qint32 port = 0;
    QString caFile;
    QString user;
    QString password;
};

inline ServerLogin loginOf(const MailServer& server) {
    return {server.host(), server.port(), server.caFile(), server.user(), server.password()};
}

// Settings and the error log go into folder.
inline void useServer(const ServerLogin& login, const QString& folder) {
    TemporarySettings::usePath(folder);
    ErrorLog::setFolder(folder);
    SettingsStore::Save(QStringLiteral("Server"), login.host + u':' + QString::number(login.port));
    SettingsStore::Save(QStringLiteral("TrustedCertificates"), login.caFile);
}

// A loaded main window that has connected; the prompter's record starts empty.
inline std::unique_ptr<Form1> connectedWindow(const ServerLogin& login,
                                              ScriptedPrompter& prompter) {
    auto window = loadedWindow();
    window->Combo1->setCurrentIndex(0);
    window->Text1->setText(login.user);
    window->Text2->setText(login.password);
    window->PushButton5_Click();
    prompter.clear();
    return window;
}

// The texts of one column, row 1 first.
inline QStringList columnTexts(Form1& window, int column) {
    QStringList texts;
    const MessageListModel& list = window.ListView1->list();
    for (int position = 1; position <= list.count(); ++position)
        texts.append(list.text(position, column));
    return texts;
}
