// Times "2a. Get All Emails" over a folder of N generated messages from a local Dovecot, through
// the main window as the user drives it (offscreen platform, window shown): connect, then Get All
// until "Done.". Prints the time, the rows listed and the peak memory of the process.
// Usage: QT_QPA_PLATFORM=offscreen getall_bench [N]   (default 10000)

#include "BenchServer.h"
#include "MailServer.h"
#include "PeakMemory.h"
#include "ScriptedPrompter.h"
#include "app/Form1.h"
#include "base/SettingsStore.h"
#include "list/MessageListView.h"
#include "mail/ErrorLog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;

    QTemporaryDir work;
    const std::unique_ptr<MailServer> started = startGeneratedBenchServer(work.path(), count);
    if (!started)
        return 1;
    MailServer& server = *started;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, work.path());
    ErrorLog::setFolder(work.path());
    SettingsStore::Save(QStringLiteral("Server"),
                        server.host() + u':' + QString::number(server.port()));
    SettingsStore::Save(QStringLiteral("TrustedCertificates"), server.caFile());

    ScriptedPrompter prompter;
    Form1 window;
    window.startupDraw = [] { return 1; };
    window.Form_Load();
    window.resize(1000, 800);
    window.show();
    window.Combo1->setCurrentIndex(0);
    window.Text1->setText(server.user());
    window.Text2->setText(server.password());
    window.PushButton5_Click();
    if (window.PushButton5->text() != QStringLiteral("Disconnect")) {
        std::fprintf(stderr, "could not connect: %s\n", qPrintable(prompter.texts().join(u' ')));
        return 1;
    }
    window.Option3->setChecked(true);
    prompter.clear();

    const long before = peakKilobytes();
    QElapsedTimer clock;
    clock.start();
    window.PushButton10_Click();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const int rows = window.ListView1->list().count();
    std::printf("rows listed: %d of %d; boxes: %s\n", rows, count,
                qPrintable(prompter.texts().join(QStringLiteral(" | "))));
    std::printf("time: %.2f s, %.0f messages per second\n", seconds, double(rows) / seconds);
    std::printf("peak memory: %.1f MB (%.1f MB before Get All)\n", peakKilobytes() / 1024.0,
                before / 1024.0);
    return rows == count ? 0 : 1;
}
