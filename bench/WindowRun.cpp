#include "WindowRun.h"

#include "ScriptedPrompter.h"
#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "list/MessageListView.h"
#include "mail/ErrorLog.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

double timed(const std::function<void()>& step) {
    QElapsedTimer clock;
    clock.start();
    step();
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

WindowRun runWindow(const BenchLogin& login, const QString& output) {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, login.work);
    ErrorLog::setFolder(login.work);
    SettingsStore::Save(QStringLiteral("Server"), login.host + u':' + QString::number(login.port));
    SettingsStore::Save(QStringLiteral("TrustedCertificates"), login.caFile);

    WindowRun run;
    ScriptedPrompter prompter;
    Form1 window;
    window.startupDraw = [] { return 1; };
    window.Form_Load();
    window.resize(1000, 800);
    window.show();
    window.Combo1->setCurrentIndex(0);
    window.Text1->setText(login.user);
    window.Text2->setText(login.password);
    window.PushButton5_Click();
    if (window.PushButton5->text() != QStringLiteral("Disconnect")) {
        run.boxes = prompter.texts().join(QStringLiteral(" | "));
        return run;
    }
    window.Option3->setChecked(true);
    prompter.clear();

    // A timer every 5 ms fires only when the thread handles events: the longest gap between two
    // firings is the longest the window went without repainting or seeing Stop.
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (sinceTick.isValid())
            run.longestStallMs = std::max(run.longestStallMs, sinceTick.restart());
        else
            sinceTick.start();
    });
    tick.start();
    run.listing = timed([&] { window.PushButton10_Click(); });
    tick.stop();
    run.rows = window.ListView1->list().count();

    if (!output.isEmpty()) {
        run.checkAll = timed([&] { window.PushButton4_Click(); });
        const auto save = [&](QRadioButton* method, const QString& folder) {
            const QString path = QDir(output).filePath(folder);
            QDir().mkpath(path);
            method->setChecked(true);
            window.Text3->setText(path);
            return timed([&] { window.PushButton7_Click(); });
        };
        run.oneFile = save(window.Option2, QStringLiteral("one-file"));
        run.separate = save(window.Option1, QStringLiteral("separate"));
    }
    run.boxes = prompter.texts().join(QStringLiteral(" | "));
    return run;
}
