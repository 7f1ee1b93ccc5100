#include "FailDevice.h"
#include "FixedClock.h"
#include "ScriptedPrompter.h"
#include "base/Guard.h"
#include "export/Download.h"
#include "list/MessageListModel.h"
#include "list/RecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <QScopeGuard>

#include <sys/mount.h>
#include <unistd.h>

namespace {

const QByteArray separator(58, '=');

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A list with its records, rows numbered from 1; record i has the subject "Message i".
struct Listing {
    MessageListModel list;
    RecordStore records;

    explicit Listing(int rows, std::initializer_list<int> checked = {}) {
        records.recreate(rows);
        for (int i = 1; i <= rows; ++i) {
            list.appendRow(QStringLiteral("Sender %1").arg(i));
            StoredRecord& record = records.at(i);
            record.From = QStringLiteral("Sender %1 <s%1@example.com>").arg(i);
            record.Subject = QStringLiteral("Message %1").arg(i);
            record.ReceivedDate =
                QStringLiteral("2/19/2015 9:%1:00 AM").arg(i % 60, 2, 10, QLatin1Char('0'));
            records.setPlainTextBody(i, QStringLiteral("Body %1").arg(i));
        }
        for (int i : checked)
            list.setChecked(i, true);
    }
};

QByteArray expectedSeparateFile(int i) {
    return QStringLiteral("From: Sender %1 <s%1@example.com>\r\nSubject: Message %1\r\n"
                          "Date: 2/19/2015 9:%2:00 AM\r\n\r\nBody %1")
        .arg(i)
        .arg(i % 60, 2, 10, QLatin1Char('0'))
        .toUtf8();
}

// A file on a disk with room bytes left: it is real, its writes fail like a full disk's once the
// room is used.
class FullFile final : public QFile {
public:
    FullFile(const QString& path, qint64 room) : QFile(path), room_(room) {}

protected:
    qint64 writeData(const char* data, qint64 length) override {
        const qint64 taken = std::min(length, room_);
        room_ -= taken;
        if (taken > 0 && QFile::writeData(data, taken) != taken)
            return -1;
        if (taken == length)
            return length;
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }

private:
    qint64 room_;
};

} // namespace

class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void separateFileBytes();
    void oneFileBytes();
    void checkedRowsNumberTheFiles();
    void manyFilesAreFlushedTogether();
    void secondRunKeepsWhatWasSaved_data();
    void secondRunKeepsWhatWasSaved();
    void fileAppearingMeanwhileIsKept_data();
    void fileAppearingMeanwhileIsKept();
    void noSaveMethodWritesNothing();
    void unusableFolder_data();
    void unusableFolder();
    void readOnlyFolder();
    void unopenableFile();
    void diskFullMidRun_data();
    void diskFullMidRun();
    void fullDiskKeepsTheEarlierFile_data();
    void fullDiskKeepsTheEarlierFile();
    void stopSeenBeforeEveryRow_data();
    void stopSeenBeforeEveryRow();
    void rowWithoutRecordIsReportedAndSkipped();
    void listEmptiedDuringTheWalk();
    void folderChangedDuringTheWalk();

private:
    Download::Outcome run(Listing& listing, SaveMethod method, const QString& folder = {});

    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<FixedClock> clock;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Guard> guard;
    bool stop = false;
    std::function<void(Download&)> adjust;
};

void TestDownload::init() {
    prompter = std::make_unique<ScriptedPrompter>();
    clock = std::make_unique<FixedClock>(QDate(2015, 2, 19));
    dir = std::make_unique<QTemporaryDir>();
    guard = std::make_unique<Guard>(nullptr, QStringLiteral("in Test.Download "));
    stop = false;
    adjust = nullptr;
}

void TestDownload::cleanup() {
    guard.reset();
    dir.reset();
    clock.reset();
    prompter.reset();
}

Download::Outcome TestDownload::run(Listing& listing, SaveMethod method, const QString& folder) {
    Download download(listing.list, listing.records, *guard, nullptr);
    download.yield = [] {};
    if (adjust)
        adjust(download);
    const QString output = folder.isNull() ? dir->path() : folder;
    return download.run([&output] { return output; }, method, stop);
}

void TestDownload::separateFileBytes() {
    Listing listing(1, {1});
    StoredRecord& record = listing.records.at(1);
    record.From = QString::fromUtf8("José <jose@example.es>");
    record.Subject = QStringLiteral("Re: Meeting (today)!");
    listing.records.setPlainTextBody(1, QString::fromUtf8("Línea 1\r\nLine 2\r\n"));
    QCOMPARE(run(listing, SaveMethod::SeparateFiles), Download::Outcome::Finished);

    const QString name = QStringLiteral("1 - 2015-02-19 Re Meeting today.txt");
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{name});
    // Locale encoding (UTF-8 here), no byte-order mark, nothing after the body.
    QCOMPARE(readFile(dir->filePath(name)),
             QByteArray("From: Jos\xc3\xa9 <jose@example.es>\r\nSubject: Re: Meeting (today)!\r\n"
                        "Date: 2/19/2015 9:01:00 AM\r\n\r\nL\xc3\xadnea 1\r\nLine 2\r\n"));
    QVERIFY(prompter->boxes.isEmpty());
}

void TestDownload::oneFileBytes() {
    Listing listing(3, {1, 3});
    listing.records.setPlainTextBody(3, QString());
    QCOMPARE(run(listing, SaveMethod::OneFile), Download::Outcome::Finished);

    const QByteArray expected = "From: Sender 1 <s1@example.com>\r\nSubject: Message 1\r\n"
                                "Date: 2/19/2015 9:01:00 AM\r\n\r\nBody 1\r\n\r\n" +
                                separator +
                                "\r\n\r\n"
                                "From: Sender 3 <s3@example.com>\r\nSubject: Message 3\r\n"
                                "Date: 2/19/2015 9:03:00 AM\r\n\r\n\r\n\r\n" +
                                separator + "\r\n\r\n";
    QCOMPARE(readFile(dir->filePath(QStringLiteral("Emails.txt"))), expected);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 1);
}

void TestDownload::checkedRowsNumberTheFiles() {
    Listing listing(6, {2, 5});
    QCOMPARE(run(listing, SaveMethod::SeparateFiles), Download::Outcome::Finished);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files),
             (QStringList{"1 - 2015-02-19 Message 2.txt", "2 - 2015-02-19 Message 5.txt"}));
    QCOMPARE(readFile(dir->filePath("1 - 2015-02-19 Message 2.txt")), expectedSeparateFile(2));
    QCOMPARE(readFile(dir->filePath("2 - 2015-02-19 Message 5.txt")), expectedSeparateFile(5));
}

// Past a few files, the run makes them durable with one write-back of their file system.
void TestDownload::manyFilesAreFlushedTogether() {
    constexpr int rows = 40;
    Listing listing(rows);
    for (int i = 1; i <= rows; ++i)
        listing.list.setChecked(i, true);
    QCOMPARE(run(listing, SaveMethod::SeparateFiles), Download::Outcome::Finished);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), rows);
    QCOMPARE(readFile(dir->filePath("40 - 2015-02-19 Message 40.txt")), expectedSeparateFile(40));
    QVERIFY(prompter->boxes.isEmpty());
}

void TestDownload::secondRunKeepsWhatWasSaved_data() {
    QTest::addColumn<SaveMethod>("method");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("earlier"); // bytes of the file, then of "(2)", ...
    QTest::addColumn<QString>("written");     // the name the run writes, "" for none
    const QString one = QStringLiteral("1 - 2015-02-19 Message 1.txt");
    const QString same = QString::fromLatin1(expectedSeparateFile(1));
    QTest::newRow("same bytes are left")
        << SaveMethod::SeparateFiles << one << QStringList{same} << QString();
    QTest::newRow("other bytes give way")
        << SaveMethod::SeparateFiles << one << QStringList{"other"}
        << "1 - 2015-02-19 Message 1 (2).txt";
    QTest::newRow("same bytes under (2) are left")
        << SaveMethod::SeparateFiles << one << QStringList{"other", same} << QString();
    QTest::newRow("the next free number")
        << SaveMethod::SeparateFiles << one << QStringList{"other", "more"}
        << "1 - 2015-02-19 Message 1 (3).txt";
    QTest::newRow("one file, other bytes")
        << SaveMethod::OneFile << "Emails.txt" << QStringList{"an earlier download"}
        << "Emails (2).txt";
    const QString block = same + QString::fromLatin1("\r\n\r\n" + separator + "\r\n\r\n");
    QTest::newRow("one file, same bytes under (2) are left")
        << SaveMethod::OneFile << "Emails.txt" << QStringList{block + u'x', block} << QString();
}

// Earlier files are found in the folder: none of them is touched.
void TestDownload::secondRunKeepsWhatWasSaved() {
    QFETCH(SaveMethod, method);
    QFETCH(QString, file);
    QFETCH(QStringList, earlier);
    QFETCH(QString, written);
    const QString stem = file.chopped(4);
    QStringList names;
    for (int i = 0; i < earlier.size(); ++i) {
        names.append(i == 0 ? file : QStringLiteral("%1 (%2).txt").arg(stem).arg(i + 1));
        writeFile(dir->filePath(names.last()), earlier[i].toLatin1());
    }
    Listing listing(1, {1});
    QCOMPARE(run(listing, method), Download::Outcome::Finished);

    for (int i = 0; i < earlier.size(); ++i)
        QCOMPARE(readFile(dir->filePath(names[i])), earlier[i].toLatin1());
    if (!written.isEmpty()) {
        names.append(written);
        QVERIFY(readFile(dir->filePath(written)).startsWith(expectedSeparateFile(1)));
    }
    names.sort();
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), names);
    QVERIFY(prompter->boxes.isEmpty());
}

void TestDownload::fileAppearingMeanwhileIsKept_data() {
    QTest::addColumn<SaveMethod>("method");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("appearing"); // written under file while the run writes its own
    QTest::addColumn<QString>("written");      // the name the run's file takes, "" for none
    const QString one = QStringLiteral("1 - 2015-02-19 Message 1.txt");
    QTest::newRow("separate files") << SaveMethod::SeparateFiles << one << QByteArray("other")
                                    << "1 - 2015-02-19 Message 1 (2).txt";
    QTest::newRow("separate files, the same bytes")
        << SaveMethod::SeparateFiles << one << expectedSeparateFile(1) << QString();
    QTest::newRow("one file") << SaveMethod::OneFile << "Emails.txt"
                              << QByteArray("another program's") << "Emails (2).txt";
}

// A file that appears under the name chosen while the run writes its own (another program, a
// second download into the folder) is never replaced; the run's file takes the next free name.
void TestDownload::fileAppearingMeanwhileIsKept() {
    QFETCH(SaveMethod, method);
    QFETCH(QString, file);
    QFETCH(QByteArray, appearing);
    QFETCH(QString, written);
    adjust = [&](Download& download) {
        download.openDevice = [&](const QString& path) {
            if (!QFileInfo::exists(dir->filePath(file)))
                writeFile(dir->filePath(file), appearing);
            return std::make_unique<QFile>(path);
        };
    };
    Listing listing(1, {1});
    QCOMPARE(run(listing, method), Download::Outcome::Finished);

    QCOMPARE(readFile(dir->filePath(file)), appearing);
    QStringList names{file};
    if (!written.isEmpty()) {
        names.append(written);
        QVERIFY(readFile(dir->filePath(written)).startsWith(expectedSeparateFile(1)));
    }
    // No temporary file is left behind.
    names.sort();
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), names);
    QVERIFY(prompter->boxes.isEmpty());
}

void TestDownload::noSaveMethodWritesNothing() {
    Listing listing(2, {1, 2});
    QCOMPARE(run(listing, SaveMethod::None), Download::Outcome::Finished);
    QVERIFY(QDir(dir->path()).isEmpty());
}

void TestDownload::unusableFolder_data() {
    QTest::addColumn<SaveMethod>("method");
    QTest::addColumn<QString>("folderInDir");
    QTest::addColumn<QString>("boxText");
    QTest::newRow("missing, separate files") << SaveMethod::SeparateFiles << "missing"
                                             << "The folder \"%1\" does not exist.";
    QTest::newRow("missing, one file") << SaveMethod::OneFile << "missing"
                                       << "The folder \"%1\" does not exist.";
    QTest::newRow("below a regular file") << SaveMethod::OneFile << "plain.txt/sub"
                                          << "The folder \"%1\" does not exist.";
}

void TestDownload::unusableFolder() {
    QFETCH(SaveMethod, method);
    QFETCH(QString, folderInDir);
    QFETCH(QString, boxText);
    writeFile(dir->filePath("plain.txt"), "x");
    const QString folder = dir->filePath(folderInDir);
    Listing listing(3, {1, 2});
    QCOMPARE(run(listing, method, folder), Download::Outcome::Failed);

    QCOMPARE(prompter->boxes.size(), 1);
    QVERIFY2(prompter->boxes[0].text.startsWith(boxText.arg(QDir::toNativeSeparators(folder))),
             qPrintable(prompter->boxes[0].text));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"plain.txt"});
}

void TestDownload::readOnlyFolder() {
    if (geteuid() == 0)
        QSKIP("root writes into read-only folders; unopenableFile covers the refused open");
    QVERIFY(QFile::setPermissions(dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    Listing listing(2, {1, 2});
    const Download::Outcome outcome = run(listing, SaveMethod::SeparateFiles);
    QFile::setPermissions(dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(outcome, Download::Outcome::Failed);
    QCOMPARE(prompter->texts(),
             QStringList{QStringLiteral("The folder \"%1\" is not writable. No message was saved.")
                             .arg(QDir::toNativeSeparators(dir->path()))});
    QVERIFY(QDir(dir->path()).isEmpty());
}

void TestDownload::unopenableFile() {
    Listing listing(2, {1, 2});
    adjust = [](Download& download) {
        download.openDevice = [](const QString&) {
            return std::make_unique<FailDevice>(FailDevice::refuseOpen);
        };
    };
    QCOMPARE(run(listing, SaveMethod::SeparateFiles), Download::Outcome::Failed);
    const QString path = dir->filePath(QStringLiteral("1 - 2015-02-19 Message 1.txt"));
    QCOMPARE(prompter->texts(),
             QStringList{
                 QStringLiteral("Cannot write the file \"%1\": Permission denied. The download was "
                                "stopped.")
                     .arg(QDir::toNativeSeparators(path))});
}

void TestDownload::diskFullMidRun_data() {
    QTest::addColumn<SaveMethod>("method");
    QTest::addColumn<int>("fullAtOpen");
    QTest::newRow("separate files, second file") << SaveMethod::SeparateFiles << 2;
    QTest::newRow("one file, second block") << SaveMethod::OneFile << 1;
}

// The disk fills up while the second message is written: one box naming the file and the reason,
// the run ends, and what was written before stays.
void TestDownload::diskFullMidRun() {
    QFETCH(SaveMethod, method);
    QFETCH(int, fullAtOpen);
    Listing listing(3, {1, 2, 3});
    QByteArray taken;
    int opened = 0;
    adjust = [&](Download& download) {
        download.openDevice = [&](const QString& path) -> std::unique_ptr<QIODevice> {
            if (++opened < fullAtOpen)
                return std::make_unique<QFile>(path);
            // Room for part of a file, or for the first block and part of the second.
            const qint64 room =
                method == SaveMethod::OneFile ? expectedSeparateFile(1).size() + 80 : 20;
            return std::make_unique<FailDevice>(room, &taken);
        };
    };
    QCOMPARE(run(listing, method), Download::Outcome::Failed);
    QCOMPARE(opened, fullAtOpen);
    QCOMPARE(prompter->boxes.size(), 1);
    QVERIFY(prompter->boxes[0].text.contains(QStringLiteral("No space left on device")));
    if (method == SaveMethod::SeparateFiles) {
        QCOMPARE(readFile(dir->filePath("1 - 2015-02-19 Message 1.txt")), expectedSeparateFile(1));
        QVERIFY(prompter->boxes[0].text.contains(QStringLiteral("2 - 2015-02-19 Message 2.txt")));
    } else {
        QVERIFY(taken.startsWith(expectedSeparateFile(1) + "\r\n\r\n" + separator));
        QVERIFY(prompter->boxes[0].text.contains(QStringLiteral("Emails.txt")));
    }
}

void TestDownload::fullDiskKeepsTheEarlierFile_data() {
    QTest::addColumn<bool>("realDisk");
    QTest::newRow("a small tmpfs") << true;
    QTest::newRow("a file that meets a full disk") << false;
}

// An earlier Emails.txt and a disk that fills up while the new one is written: the box gives the
// system's reason, the earlier file keeps its bytes, and no partial or temporary file is left.
void TestDownload::fullDiskKeepsTheEarlierFile() {
    QFETCH(bool, realDisk);
    QString folder = dir->path();
    const auto unmount = qScopeGuard([&] {
        if (folder != dir->path())
            umount2(folder.toLocal8Bit().constData(), MNT_DETACH);
    });
    QByteArray filler(48 * 1024, 'f');
    if (realDisk) {
        const QString disk = dir->filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(disk));
        if (mount("tmpfs", disk.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("a tmpfs cannot be mounted here (root only)");
        folder = disk;
        writeFile(folder + QStringLiteral("/filler"), filler);
    } else {
        adjust = [](Download& download) {
            download.openDevice = [](const QString& path) {
                return std::make_unique<FullFile>(path, 1000);
            };
        };
    }
    writeFile(folder + QStringLiteral("/Emails.txt"), "an earlier download");
    const QStringList before = QDir(folder).entryList(QDir::Files);
    Listing listing(1, {1});
    listing.records.setPlainTextBody(1, QString(40 * 1024, u'x'));

    QCOMPARE(run(listing, SaveMethod::OneFile, folder), Download::Outcome::Failed);
    QCOMPARE(prompter->boxes.size(), 1);
    QVERIFY2(prompter->boxes[0].text.contains(QStringLiteral(": No space left on device.")),
             qPrintable(prompter->boxes[0].text));
    QVERIFY(prompter->boxes[0].text.contains(QStringLiteral("Emails (2).txt")));
    QCOMPARE(readFile(folder + QStringLiteral("/Emails.txt")), QByteArray("an earlier download"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), before);
}

void TestDownload::stopSeenBeforeEveryRow_data() {
    QTest::addColumn<SaveMethod>("method");
    QTest::newRow("separate files") << SaveMethod::SeparateFiles;
    QTest::newRow("one file") << SaveMethod::OneFile;
}

// Rows 1 and 1000 are checked; Stop arrives in the yield before row 500, among unchecked rows.
void TestDownload::stopSeenBeforeEveryRow() {
    QFETCH(SaveMethod, method);
    Listing listing(1000, {1, 1000});
    int yields = 0;
    adjust = [&](Download& download) {
        download.yield = [&] {
            if (++yields == 500)
                stop = true;
        };
    };
    QCOMPARE(run(listing, method), Download::Outcome::Stopped);
    QCOMPARE(yields, 500);
    QVERIFY(prompter->boxes.isEmpty());
    if (method == SaveMethod::SeparateFiles) {
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files),
                 QStringList{"1 - 2015-02-19 Message 1.txt"});
    } else {
        // The one file is closed with the blocks written before the stop.
        const QByteArray text = readFile(dir->filePath("Emails.txt"));
        QVERIFY(text.startsWith(expectedSeparateFile(1)));
        QVERIFY(!text.contains("Message 1000"));
    }
}

// Rows beyond the record store are told through the error report; the other rows still save.
void TestDownload::rowWithoutRecordIsReportedAndSkipped() {
    Listing listing(4, {1, 3, 4});
    listing.records.recreate(3);
    listing.records.at(1).Subject = QStringLiteral("First");
    listing.records.at(3).Subject = QStringLiteral("Third");
    QCOMPARE(run(listing, SaveMethod::SeparateFiles), Download::Outcome::Finished);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files),
             (QStringList{"1 - 2015-02-19 First.txt", "2 - 2015-02-19 Third.txt"}));
    QCOMPARE(prompter->boxes.size(), 1);
    QVERIFY(prompter->boxes[0].text.startsWith(QStringLiteral("Subscript out of range\r\n")));
    QVERIFY(prompter->boxes[0].text.contains(QStringLiteral("at line 130")));
}

// Clear List during a yield ends the walk, which says it was cut short; what was written stays.
void TestDownload::listEmptiedDuringTheWalk() {
    Listing listing(5, {1, 2, 3, 4, 5});
    int yields = 0;
    adjust = [&](Download& download) {
        download.yield = [&] {
            if (++yields == 3)
                listing.list.clear();
        };
    };
    QCOMPARE(run(listing, SaveMethod::SeparateFiles), Download::Outcome::Cut);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 2);
    QVERIFY(prompter->boxes.isEmpty());
}

// The folder is read when each file is opened: a folder chosen while the walk yields takes the
// files that follow.
void TestDownload::folderChangedDuringTheWalk() {
    Listing listing(3, {1, 2, 3});
    const QTemporaryDir second;
    QString output = dir->path();
    Download download(listing.list, listing.records, *guard, nullptr);
    int yields = 0;
    download.yield = [&] {
        if (++yields == 2)
            output = second.path();
    };
    QCOMPARE(download.run([&output] { return output; }, SaveMethod::SeparateFiles, stop),
             Download::Outcome::Finished);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files),
             QStringList{QStringLiteral("1 - 2015-02-19 Message 1.txt")});
    QCOMPARE(QDir(second.path()).entryList(QDir::Files),
             (QStringList{QStringLiteral("2 - 2015-02-19 Message 2.txt"),
                          QStringLiteral("3 - 2015-02-19 Message 3.txt")}));
}

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
