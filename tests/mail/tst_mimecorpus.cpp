#include "mail/MimeParser.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QtTest>

// The message corpus: every .eml under a theme folder of tests/data/mime (headers, charsets,
// encoded-words, structure, dates) has beside it a .json with the seven texts a careful mail
// reader shows for it: From, FromName, FromAddress, Subject, the date (ISO 8601 with the offset
// the message gave, since its text depends on the reader's locale), PlainTextBody and
// HTMLTextBody. "Note" says what is odd about the case.
namespace {

const QString corpusFolder = QStringLiteral(QUENTARIL_TEST_DATA "/mime");

// The date the server gives a message; it stands in when the message has no readable date.
const QDateTime internalDate(QDate(2020, 1, 2), QTime(3, 4, 5), QTimeZone::utc());

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

} // namespace

// One table-driven test per theme, each row one message of that theme's folder.
class TestMimeCorpus : public QObject {
    Q_OBJECT

    static void addMessagesOf(const QString& theme);
    static void readsAsExpected();

private slots:
    void everyThemeIsTested();
    void headers_data() { addMessagesOf(QStringLiteral("headers")); }
    void headers() { readsAsExpected(); }
    void charsets_data() { addMessagesOf(QStringLiteral("charsets")); }
    void charsets() { readsAsExpected(); }
    void encodedWords_data() { addMessagesOf(QStringLiteral("encoded-words")); }
    void encodedWords() { readsAsExpected(); }
    void dates_data() { addMessagesOf(QStringLiteral("dates")); }
    void dates() { readsAsExpected(); }
    void structure_data() { addMessagesOf(QStringLiteral("structure")); }
    void structure() { readsAsExpected(); }
};

void TestMimeCorpus::everyThemeIsTested() {
    QCOMPARE(QDir(corpusFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{"charsets", "dates", "encoded-words", "headers", "structure"}));
}

void TestMimeCorpus::addMessagesOf(const QString& theme) {
    QTest::addColumn<QString>("message");
    const QDir folder(corpusFolder + u'/' + theme);
    const QStringList messages =
        folder.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    QVERIFY(messages.size() >= 5);
    for (const QString& message : messages)
        QTest::newRow(qPrintable(message.chopped(4))) << folder.filePath(message);
}

void TestMimeCorpus::readsAsExpected() {
    QFETCH(QString, message);
    const QString expectedPath = message.chopped(4) + QStringLiteral(".json");
    QVERIFY2(QFile::exists(expectedPath), "every message has its expected texts beside it");
    QJsonParseError error{};
    const QJsonObject expected = QJsonDocument::fromJson(contentsOf(expectedPath), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));

    const EmailObject email = parseEmail(contentsOf(message), internalDate);
    QCOMPARE(email.From, expected[u"From"].toString());
    QCOMPARE(email.FromName, expected[u"FromName"].toString());
    QCOMPARE(email.FromAddress, expected[u"FromAddress"].toString());
    QCOMPARE(email.Subject, expected[u"Subject"].toString());
    const QDateTime date = QDateTime::fromString(expected[u"Date"].toString(), Qt::ISODate);
    QVERIFY(date.isValid());
    QCOMPARE(email.Date, date);
    QCOMPARE(email.Date.offsetFromUtc(), date.offsetFromUtc());
    // The arrival time stands in only with a note saying so, for the error log.
    QCOMPARE(!email.ReadingNote.isEmpty(), date == internalDate);
    QCOMPARE(email.PlainTextBody, expected[u"PlainTextBody"].toString());
    QCOMPARE(email.HTMLTextBody, expected[u"HTMLTextBody"].toString());

    // A message of the commonest shape is read directly: it must read as GMime's tree reads it.
    const EmailObject tree = parseEmail(contentsOf(message), internalDate,
                                        PlainBodies::Utf8WhenLarge, MimeReading::GMimeOnly);
    QCOMPARE(email.MessageId, tree.MessageId);
    QCOMPARE(email.ReadingNote, tree.ReadingNote);
    QCOMPARE(email.From, tree.From);
    QCOMPARE(email.Subject, tree.Subject);
    QCOMPARE(email.PlainTextBody, tree.PlainTextBody);
    QCOMPARE(email.HTMLTextBody, tree.HTMLTextBody);
}

QTEST_GUILESS_MAIN(TestMimeCorpus)
#include "tst_mimecorpus.moc"
