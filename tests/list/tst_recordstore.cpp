#include "ListFixture.h"
#include "ScriptedPrompter.h"
#include "list/ListingHandler.h"
#include "list/RecordStore.h"

#include <QDir>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The body files this process holds open in the cache folder: each is unlinked, so its link in
// /proc names it "(deleted)". Gives the modes of the files.
QList<mode_t> openBodyFiles() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QList<mode_t> modes;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray link = QFile::encodeName(fds.filePath(fd));
        char target[4096];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        if (n <= 0 ||
            !QString::fromLocal8Bit(target, n).startsWith(folder + QStringLiteral("/bodies-")))
            continue;
        struct stat info {};
        if (::stat(link.constData(), &info) == 0)
            modes.append(info.st_mode & 07777);
    }
    return modes;
}

} // namespace

class RecordStoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void bodiesComeBackAsWritten_data();
    void bodiesComeBackAsWritten();
    void unpairedSurrogatesBecomeReplacementCharacters();
    void storeIsPrivateAndGoesWithTheList();
    void unusableStoreIsReportedOnceAndNothingLost();
    void bodiesOutlastAWriteFailure_data();
    void bodiesOutlastAWriteFailure();

private:
    QTemporaryDir cache;
};

void RecordStoreTest::initTestCase() {
    QVERIFY(cache.isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
}

void RecordStoreTest::bodiesComeBackAsWritten_data() {
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("html");
    QTest::newRow("both empty") << QString() << QString();
    QTest::newRow("plain only") << QStringLiteral("Line 1\r\nLine 2\r\n") << QString();
    QTest::newRow("html only") << QString() << QStringLiteral("<p>only</p>");
    QTest::newRow("non-BMP and accents")
        << QString::fromUtf8(
               "Caf\xc3\xa9 \xf0\x9f\x98\x80 \xf0\x9d\x84\x9e \xe6\x97\xa5\xe6\x9c\xac")
        << QString::fromUtf8("<b>\xf0\x9f\x8e\x89</b>");
    QTest::newRow("large") << QStringLiteral("0123456789abcdef").repeated(1 << 18)
                           << QStringLiteral("<td>x</td>").repeated(100000);
    // The store converts a large body a slice of 256 Ki characters at a time.
    const QString grinning = QString::fromUtf8("\xf0\x9f\x98\x80");
    QTest::newRow("large, a surrogate pair across slices")
        << QString((1 << 18) - 1, u'a') + grinning + QString::fromUtf8("\xc3\xa9").repeated(300000)
        << QString(100, u'b') + grinning;
}

void RecordStoreTest::unpairedSurrogatesBecomeReplacementCharacters() {
    RecordStore records;
    records.recreate(3);
    const QString replacement(QChar(0xFFFD));
    const QString lone = QStringLiteral("a") + QChar(0xD800) + u'b' + QChar(0xDC00);
    records.setPlainTextBody(1, lone);
    records.setPlainTextBody(2, lone.repeated(100000) + QChar(0xD800));
    records.setPlainTextBody(3, QStringLiteral("after"));
    const QString expected = u'a' + replacement + u'b' + replacement;
    QCOMPARE(records.plainTextBody(1), expected);
    QCOMPARE(records.plainTextBody(2), expected.repeated(100000) + replacement);
    QCOMPARE(records.plainTextBody(3), QStringLiteral("after"));
}

void RecordStoreTest::bodiesComeBackAsWritten() {
    QFETCH(QString, plain);
    QFETCH(QString, html);
    RecordStore records;
    records.recreate(5);
    // Neighbours on both sides, so a wrong offset or length shows; at 4 the same plain body in
    // UTF-8.
    for (int p = 1; p <= 5; ++p) {
        records.at(p).Subject = QStringLiteral("s%1").arg(p);
        if (p == 4)
            records.setPlainTextUtf8(p, plain.toUtf8());
        else
            records.setPlainTextBody(p, p == 2 ? plain : QStringLiteral("plain %1").arg(p));
        records.setHTMLTextBody(p, p == 2 ? html : QStringLiteral("html %1").arg(p));
    }
    QCOMPARE(records.plainTextBody(2), plain);
    QCOMPARE(records.plainTextBody(4), plain);
    QCOMPARE(records.plainTextBody(5), QStringLiteral("plain 5"));
    QCOMPARE(records.htmlTextBody(2), html);
    QCOMPARE(records.plainTextBody(3), QStringLiteral("plain 3"));
    QCOMPARE(records.htmlTextBody(1), QStringLiteral("html 1"));
    const MessageRecord whole = records.message(2);
    QCOMPARE(whole.Subject, QStringLiteral("s2"));
    QCOMPARE(whole.PlainTextBody, plain);
    QCOMPARE(whole.HTMLTextBody, html);
}

void RecordStoreTest::storeIsPrivateAndGoesWithTheList() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QVERIFY(openBodyFiles().isEmpty());
    {
        RecordStore records;
        records.recreate(1);
        records.setPlainTextBody(1, QStringLiteral("secret"));
        QCOMPARE(openBodyFiles(), QList<mode_t>{0600});
        QCOMPARE(QFile::permissions(folder), QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ExeOwner | QFile::ReadUser |
                                                 QFile::WriteUser | QFile::ExeUser);
        // Unlinked at once: nothing is left for a crash to leave behind.
        QVERIFY(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

        records.recreate(2); // a new listing, or the list cleared
        QVERIFY(openBodyFiles().isEmpty());
        QCOMPARE(records.plainTextBody(1), QString());
        records.setPlainTextBody(2, QStringLiteral("next"));
        QCOMPARE(openBodyFiles().size(), 1);
    }
    QVERIFY(openBodyFiles().isEmpty()); // the program's end
}

void RecordStoreTest::unusableStoreIsReportedOnceAndNothingLost() {
    // A cache "folder" that is a file: the store cannot be created, as on a full or broken disk.
    const QString blocker = cache.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker));

    ScriptedPrompter prompter;
    ListWindow window;
    QLineEdit filter(&window);
    RecordStore records;
    records.recreate(2);
    MessageRecord message;
    message.From = QStringLiteral("amy");
    message.ReceivedDate = QStringLiteral("2/19/2015 9:30:00 AM");
    for (const QString& body : {QStringLiteral("first"), QStringLiteral("second")}) {
        message.PlainTextBody = body;
        message.HTMLTextBody = QStringLiteral("<p>%1</p>").arg(body);
        addListedMessage(&window, filter, window.ownedList(), records, message);
    }
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));

    QCOMPARE(prompter.boxes.size(), 1);
    QVERIFY(prompter.boxes[0].text.contains(QStringLiteral("at line 146\r\r")));
    QVERIFY(
        prompter.boxes[0].text.contains(QStringLiteral("The message bodies could not be stored")));
    QVERIFY(prompter.boxes[0].text.contains(QStringLiteral("kept in memory")));
    QCOMPARE(window.ownedList().count(), 2);
    QCOMPARE(window.ownedList().text(1, 6), QStringLiteral("42054"));
    QCOMPARE(records.message(1).PlainTextBody, QStringLiteral("first"));
    QCOMPARE(records.message(2).HTMLTextBody, QStringLiteral("<p>second</p>"));
}

void RecordStoreTest::bodiesOutlastAWriteFailure_data() {
    QTest::addColumn<QStringList>("bodies");
    const QString small = QString(1000, u's');
    const QString large = QString(2 << 20, u'L');
    QStringList smallFirst(1100, small);
    smallFirst << large << small;
    QTest::newRow("failing while small bodies are written out") << smallFirst;
    QTest::newRow("failing on a large body") << QStringList{large, small, small};
}

void RecordStoreTest::bodiesOutlastAWriteFailure() {
    QFETCH(QStringList, bodies);
    // A limit on the file size makes the store's writes fail part way, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 1 << 20;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    BodyStore store;
    std::vector<BodyStore::Span> spans;
    for (const QString& body : bodies)
        spans.push_back(store.append(body));
    // The store writes in a thread of its own: reading the last body waits for every write.
    QCOMPARE(store.read(spans.back()), bodies.back());
    ::setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY(store.takeFailure().has_value());
    QVERIFY(!store.takeFailure().has_value()); // told once
    for (qsizetype i = 0; i < bodies.size(); ++i)
        QCOMPARE(store.read(spans[std::size_t(i)]), bodies[i]);
}

QTEST_MAIN(RecordStoreTest)
#include "tst_recordstore.moc"
