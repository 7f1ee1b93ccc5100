#include "MailServer.h"
#include "export/SavedRecord.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

constexpr int firstMessages = 5;

// What a step does to the mailbox or the save folder before the command runs.
enum class Before { Nothing, AppendThree, DeleteOneFile, RenumberRecord, HoldLock, FreshFolder };

struct Run {
    int status = -1;
    QString out;
    QString err;
};

} // namespace

Q_DECLARE_METATYPE(Before)

// "quentaril export" against the local Dovecot, run as a user's timer runs it: the built program,
// with no display at all. The steps build on each other, in order, on one mailbox and one save
// folder; steps with options of their own save into a folder of their own.
class TestExportCommand : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void steps_data();
    void steps();
    void windowWithoutDisplaySaysSoInOneLine();

private:
    Run run(const QStringList& arguments, const QString& saveFolder);
    // The message bodies the server handed out in the session that ended last; -1 if none ended.
    int bodiesOfLastSession(qsizetype sessionsBefore) const;
    qsizetype sessions() const;
    bool append(int count);
    QStringList savedFiles(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }

    std::unique_ptr<MailServer> server;
    QTemporaryDir seed;
    QTemporaryDir home;
    QTemporaryDir saved;
    QString passwordFile;
    int appended = 0;
};

void TestExportCommand::initTestCase() {
    QVERIFY(MailServer::generate(seed.filePath(QStringLiteral("INBOX")), firstMessages));
    MailServer::Options options;
    options.seedDir = seed.path();
    server = std::make_unique<MailServer>(options);
    QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    const QString settings = home.filePath(QStringLiteral("config/Vantrello"));
    QVERIFY(QDir().mkpath(settings));
    QFile ini(settings + QStringLiteral("/Quentaril.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Quentaril]\nAuthMethod=password\nTrustedCertificates=" + server->caFile().toUtf8() +
              "\nOption3=True\n");
    ini.close();
    passwordFile = home.filePath(QStringLiteral("password"));
    QFile password(passwordFile);
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write(server->password().toUtf8() + '\n');
}

Run TestExportCommand::run(const QStringList& arguments, const QString& saveFolder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    QProcess program;
    program.setProcessEnvironment(environment);
    QStringList all{QStringLiteral("export"),
                    QStringLiteral("--server"),
                    QStringLiteral("%1:%2").arg(server->host()).arg(server->port()),
                    QStringLiteral("--user"),
                    server->user(),
                    QStringLiteral("--password-file"),
                    passwordFile,
                    QStringLiteral("--to"),
                    saveFolder};
    all += arguments;
    program.start(QStringLiteral(QUENTARIL_BINARY), all);
    if (!program.waitForFinished(60000))
        return {};
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardOutput()),
            QString::fromLocal8Bit(program.readAllStandardError())};
}

qsizetype TestExportCommand::sessions() const {
    return server->logText().count(QStringLiteral("Logged out"));
}

int TestExportCommand::bodiesOfLastSession(qsizetype sessionsBefore) const {
    const QString log = server->logText();
    if (log.count(QStringLiteral("Logged out")) <= sessionsBefore)
        return -1;
    static const QRegularExpression bodies(QStringLiteral("Logged out .* body_count=(\\d+)"));
    QRegularExpressionMatchIterator each = bodies.globalMatch(log);
    int last = -1;
    while (each.hasNext())
        last = each.next().captured(1).toInt();
    return last;
}

// Delivers messages as a mail server's delivery does: new files in the folder's maildir, which
// Dovecot gives the next UIDs.
bool TestExportCommand::append(int count) {
    QTemporaryDir generated;
    if (!MailServer::generate(generated.path(), firstMessages + appended + count))
        return false;
    const QString maildir =
        QStringLiteral("%1/home/%2/Maildir/new").arg(server->stateDir(), server->user());
    for (int i = 0; i < count; ++i) {
        ++appended;
        const QString name =
            QStringLiteral("%1.eml").arg(firstMessages + appended, 6, 10, QChar(u'0'));
        const QString target = QStringLiteral("%1/appended%2.test").arg(maildir).arg(appended);
        if (!QFile::copy(generated.filePath(name), target) ||
            ::chown(QFile::encodeName(target).constData(), 65534, 65534) != 0)
            return false;
    }
    return true;
}

void TestExportCommand::steps_data() {
    QTest::addColumn<Before>("before");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("bodies"); // -1: not looked at
    QTest::addColumn<int>("files");  // in the save folder afterwards; -1: not looked at

    const QStringList none;
    QTest::newRow("first run saves all")
        << Before::Nothing << none << 0 << "Saved 5, already saved 0, skipped 0." << 5 << 5;
    QTest::newRow("second run fetches no body")
        << Before::Nothing << none << 0 << "Saved 0, already saved 5, skipped 0." << 0 << 5;
    QTest::newRow("three appended are the only ones saved")
        << Before::AppendThree << none << 0 << "Saved 3, already saved 5, skipped 0." << 3 << 8;
    QTest::newRow("a deleted file is saved again")
        << Before::DeleteOneFile << none << 0 << "Saved 1, already saved 7, skipped 0." << 1 << 8;
    QTest::newRow("changed UIDVALIDITY falls back to Message-ID")
        << Before::RenumberRecord << none << 0 << "Saved 0, already saved 8, skipped 0." << 8 << 8;
    QTest::newRow("then known by UID again")
        << Before::Nothing << none << 0 << "Saved 0, already saved 8, skipped 0." << 0 << 8;
    QTest::newRow("another run holds the folder")
        << Before::HoldLock << none << 4 << "Saved 0, already saved 0, skipped 0." << -1 << 8;

    QTest::newRow("--one-file") << Before::FreshFolder << QStringList{"--one-file"} << 0
                                << "Saved 8, already saved 0, skipped 0." << 8 << 1;
    QTest::newRow("--one-file again makes no file")
        << Before::Nothing << QStringList{"--one-file"} << 0
        << "Saved 0, already saved 8, skipped 0." << 0 << 1;
    QTest::newRow("--range") << Before::FreshFolder << QStringList{"--range", "2-3"} << 0
                             << "Saved 2, already saved 0, skipped 0." << 2 << 2;
    QTest::newRow("--range past the end") << Before::FreshFolder << QStringList{"--range=7-20"} << 0
                                          << "Saved 2, already saved 0, skipped 0." << 2 << 2;
    QTest::newRow("--filter") << Before::FreshFolder
                              << QStringList{"--filter", "Generated message 7"} << 0
                              << "Saved 1, already saved 0, skipped 0." << 8 << 1;
    QTest::newRow("--all-again") << Before::Nothing
                                 << QStringList{"--all-again", "--filter", "Generated message 7"}
                                 << 0 << "Saved 1, already saved 0, skipped 0." << 8 << -1;

    QTest::newRow("unknown option")
        << Before::Nothing << QStringList{"--bogus"} << 2 << "" << -1 << -1;
    QTest::newRow("bad range") << Before::Nothing << QStringList{"--range", "3-2"} << 2 << "" << -1
                               << -1;
    QTest::newRow("wrong password")
        << Before::Nothing << QStringList{"--user", "nobody@example.test"} << 3
        << "Saved 0, already saved 0, skipped 0." << -1 << -1;
    QTest::newRow("no such mail folder")
        << Before::FreshFolder << QStringList{"--folder", "Nowhere"} << 1
        << "Saved 0, already saved 0, skipped 0." << -1 << 0;
    QTest::newRow("save folder missing")
        << Before::Nothing << QStringList{"--to", "/nonexistent/quentaril"} << 4
        << "Saved 0, already saved 0, skipped 0." << -1 << -1;
}

void TestExportCommand::steps() {
    QFETCH(Before, before);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, summary);
    QFETCH(int, bodies);
    QFETCH(int, files);

    static QString folder = saved.path();
    static std::unique_ptr<QTemporaryDir> fresh;
    std::unique_ptr<QLockFile> held;
    switch (before) {
    case Before::Nothing:
        break;
    case Before::AppendThree:
        QVERIFY(append(3));
        break;
    case Before::DeleteOneFile:
        QVERIFY(QFile::remove(QDir(folder).filePath(savedFiles(folder).first())));
        break;
    case Before::RenumberRecord: {
        // As when the server renumbers the folder: the record's UIDVALIDITY is not the folder's.
        QFile record(QDir(folder).filePath(SavedRecord::fileName()));
        QVERIFY(record.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = record.readAll().split('\n');
        record.close();
        for (QByteArray& line : lines) {
            QList<QByteArray> fields = line.split('\t');
            if (fields.size() == 9) {
                fields[3] = "1";
                fields[4] = QByteArray::number(fields[4].toUInt() + 100);
                line = fields.join('\t');
            }
        }
        QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
        record.write(lines.join('\n'));
        break;
    }
    case Before::HoldLock:
        held = std::make_unique<QLockFile>(
            QDir(folder).filePath(SavedRecord::fileName() + QStringLiteral(".lock")));
        QVERIFY(held->tryLock());
        break;
    case Before::FreshFolder:
        fresh = std::make_unique<QTemporaryDir>();
        folder = fresh->path();
        break;
    }

    const qsizetype sessionsBefore = sessions();
    const Run result = run(arguments, folder);
    QVERIFY2(result.status == status,
             qPrintable(QStringLiteral("status %1\n%2").arg(result.status).arg(result.err)));
    QCOMPARE(result.out, summary.isEmpty() ? QString() : summary + u'\n');
    if (status == 2)
        QVERIFY(result.err.contains(QStringLiteral("--help")));
    else if (status != 0)
        QVERIFY2(result.err.contains(QStringLiteral("quentaril: ")), qPrintable(result.err));
    if (bodies >= 0) {
        // Dovecot writes a session's end to its log after the client has gone.
        QTRY_VERIFY_WITH_TIMEOUT(sessions() > sessionsBefore, 10000);
        QCOMPARE(bodiesOfLastSession(sessionsBefore), bodies);
    }
    if (files >= 0)
        QCOMPARE(savedFiles(folder).size(), files);
}

// Without any display the window cannot open: one line says so and that the command needs none.
void TestExportCommand::windowWithoutDisplaySaysSoInOneLine() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUENTARIL_BINARY), {});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(err.count(u'\n'), 1);
    QVERIFY(err.contains(QStringLiteral("needs a display")));
    QVERIFY(err.contains(QStringLiteral("quentaril export")));
}

QTEST_GUILESS_MAIN(TestExportCommand)
#include "tst_exportcommand.moc"
