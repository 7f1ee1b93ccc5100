#include "export/SavedRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

MessageOrigin origin(const QString& folder, quint32 uidValidity, quint32 uid,
                     const QString& messageId, const QString& sender = QStringLiteral("s@x")) {
    return {QStringLiteral("imap.test:993"),
            QStringLiteral("amy"),
            folder,
            uidValidity,
            uid,
            messageId,
            sender,
            QDateTime(QDate(2025, 3, 3), QTime(15, 22), Qt::UTC)};
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

Q_DECLARE_METATYPE(MessageOrigin)

// The record of what was saved into a folder: how a message is known again, what survives being
// written and read back, and the lock that keeps two runs apart.
class TestSavedRecord : public QObject {
    Q_OBJECT
private slots:
    void knowsMessagesAgain_data();
    void knowsMessagesAgain();
    void fieldsSurviveWritingAndReading();
    void datesKeepTheirText_data();
    void datesKeepTheirText();
    void secondRunIsTurnedAway();
    void foreignRecordIsRefused();
};

void TestSavedRecord::knowsMessagesAgain_data() {
    QTest::addColumn<MessageOrigin>("asked");
    QTest::addColumn<bool>("fileDeleted");
    QTest::addColumn<bool>("savedBefore");
    // The record holds Inbox, UIDVALIDITY 7, UID 3, Message-ID a@x, in "a.txt".
    const QString inbox = QStringLiteral("Inbox");
    const QString a = QStringLiteral("a@x");
    QTest::newRow("same UID") << origin(inbox, 7, 3, a) << false << true;
    QTest::newRow("same UID, file deleted") << origin(inbox, 7, 3, a) << true << false;
    QTest::newRow("other UID, same Message-ID") << origin(inbox, 7, 4, a) << false << false;
    QTest::newRow("UIDVALIDITY changed, same Message-ID")
        << origin(inbox, 9, 1, a) << false << true;
    QTest::newRow("UIDVALIDITY changed, file deleted") << origin(inbox, 9, 1, a) << true << false;
    QTest::newRow("UIDVALIDITY changed, other Message-ID")
        << origin(inbox, 9, 3, QStringLiteral("b@x")) << false << false;
    QTest::newRow("UIDVALIDITY changed, other sender")
        << origin(inbox, 9, 3, a, QStringLiteral("t@x")) << false << false;
    QTest::newRow("UIDVALIDITY changed, no Message-ID")
        << origin(inbox, 9, 3, {}) << false << false;
    QTest::newRow("other folder") << origin(QStringLiteral("Sent"), 7, 3, a) << false << false;
}

void TestSavedRecord::knowsMessagesAgain() {
    QFETCH(MessageOrigin, asked);
    QFETCH(bool, fileDeleted);
    QFETCH(bool, savedBefore);
    QTemporaryDir folder;
    QVERIFY(writeFile(folder.filePath(QStringLiteral("a.txt")), "text"));
    {
        SavedRecord record;
        QCOMPARE(record.open(folder.path()), std::nullopt);
        record.add(origin(QStringLiteral("Inbox"), 7, 3, QStringLiteral("a@x")),
                   QStringLiteral("a.txt"));
        QCOMPARE(record.write(), std::nullopt);
    }
    if (fileDeleted)
        QVERIFY(QFile::remove(folder.filePath(QStringLiteral("a.txt"))));

    {
        SavedRecord record;
        QCOMPARE(record.open(folder.path()), std::nullopt);
        QCOMPARE(record.savedBefore(asked), savedBefore);
        QCOMPARE(record.write(), std::nullopt);
    }
    // A message known by its Message-ID is known by its new UID from then on.
    SavedRecord record;
    QCOMPARE(record.open(folder.path()), std::nullopt);
    QCOMPARE(record.knowsUidValidity(asked),
             savedBefore || (asked.uidValidity == 7 && asked.folder == QLatin1String("Inbox")));
    QCOMPARE(record.savedBefore(asked), savedBefore);
}

void TestSavedRecord::fieldsSurviveWritingAndReading() {
    QTemporaryDir folder;
    MessageOrigin odd = origin(QStringLiteral("Tab\there\\ and\r\nline"), 5, 1,
                               QStringLiteral("<odd\tid>"), QStringLiteral("\\s@x"));
    const QString file = QStringLiteral("1 - 2025-03-03 Tab\there.txt");
    QVERIFY(writeFile(folder.filePath(file), "text"));
    {
        SavedRecord record;
        QCOMPARE(record.open(folder.path()), std::nullopt);
        record.add(odd, file);
        QCOMPARE(record.write(), std::nullopt);
    }
    QFile written(folder.filePath(SavedRecord::fileName()));
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // the header, one entry and the end of the last line
    QCOMPARE(lines[0], QByteArray("quentaril-saved 1"));
    QCOMPARE(lines[1].count('\t'), 8);
    // Only the temporary name's rename made the file: nothing else is left in the folder.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    SavedRecord record;
    QCOMPARE(record.open(folder.path()), std::nullopt);
    QCOMPARE(record.savedFile(odd), file);
    odd.uidValidity = 6; // by Message-ID, sender and date
    QCOMPARE(record.savedFile(odd), file);
}

// Records written before keep matching: the date is Qt's ISO text in UTC, whatever the offset.
void TestSavedRecord::datesKeepTheirText_data() {
    QTest::addColumn<QDateTime>("date");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("UTC") << QDateTime(QDate(2025, 3, 3), QTime(15, 22, 7, 450), Qt::UTC)
                         << QByteArray("2025-03-03T15:22:07Z");
    QTest::newRow("ahead of UTC, the day before")
        << QDateTime(QDate(2026, 1, 1), QTime(2, 5), Qt::OffsetFromUTC, 5 * 3600 + 1800)
        << QByteArray("2025-12-31T20:35:00Z");
    QTest::newRow("year 1") << QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC)
                            << QByteArray("0001-01-01T00:00:00Z");
    QTest::newRow("year 10000")
        << QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC)
        << QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC).toString(Qt::ISODate).toUtf8();
    QTest::newRow("none") << QDateTime() << QByteArray();
}

void TestSavedRecord::datesKeepTheirText() {
    QFETCH(QDateTime, date);
    QFETCH(QByteArray, text);
    QTemporaryDir folder;
    MessageOrigin dated = origin(QStringLiteral("Inbox"), 5, 1, QStringLiteral("<d@x>"));
    dated.date = date;
    {
        SavedRecord record;
        QCOMPARE(record.open(folder.path()), std::nullopt);
        record.add(dated, QStringLiteral("d.txt"));
        QCOMPARE(record.write(), std::nullopt);
    }
    QFile written(folder.filePath(SavedRecord::fileName()));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll().split('\n').value(1).split('\t').value(7), text);
}

void TestSavedRecord::secondRunIsTurnedAway() {
    QTemporaryDir folder;
    auto first = std::make_unique<SavedRecord>();
    QCOMPARE(first->open(folder.path()), std::nullopt);
    SavedRecord second;
    QCOMPARE(second.open(folder.path()),
             std::optional<QString>(QStringLiteral("another download is saving into this folder")));
    first.reset();
    SavedRecord third;
    QCOMPARE(third.open(folder.path()), std::nullopt);
}

void TestSavedRecord::foreignRecordIsRefused() {
    QTemporaryDir folder;
    QVERIFY(writeFile(folder.filePath(SavedRecord::fileName()), "quentaril-saved 2\n"));
    SavedRecord record;
    QVERIFY(record.open(folder.path()).has_value());
}

QTEST_GUILESS_MAIN(TestSavedRecord)
#include "tst_savedrecord.moc"
