#include "mail/MimeParser.h"

#include <QDirIterator>
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

class TestMimeCorpus : public QObject {
    Q_OBJECT
private slots:
    void readsAsExpected_data();
    void readsAsExpected();
};

void TestMimeCorpus::readsAsExpected_data() {
    QTest::addColumn<QString>("message");
    QStringList messages;
    for (const QString& theme : QDir(corpusFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDirIterator it(corpusFolder + u'/' + theme, {QStringLiteral("*.eml")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            messages.append(it.next());
    }
    messages.sort();
    QVERIFY(messages.size() >= 50);
    for (const QString& message : messages)
        QTest::newRow(qPrintable(QDir(corpusFolder).relativeFilePath(message))) << message;
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
    QCOMPARE(email.PlainTextBody, expected[u"PlainTextBody"].toString());
    QCOMPARE(email.HTMLTextBody, expected[u"HTMLTextBody"].toString());
}

QTEST_GUILESS_MAIN(TestMimeCorpus)
#include "tst_mimecorpus.moc"
