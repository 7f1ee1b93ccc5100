#include "mail/HeaderBlock.h"
#include "mail/MimeParser.h"
#include "mail/SimpleMessage.h"

#include <QFile>
#include <QTimeZone>
#include <QtTest>

#include <thread>

namespace {

const QDateTime internalDate(QDate(2020, 1, 2), QTime(3, 4, 5), QTimeZone::utc());

QByteArray corpusFile(const QString& name) {
    QFile file(QStringLiteral(QUENTARIL_TEST_DATA "/mime/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test message %s", qPrintable(name));
    return file.readAll();
}

QDateTime at(int year, int month, int day, int hour, int minute, int offsetHours) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute), QTimeZone(offsetHours * 3600));
}

} // namespace

class TestMimeParser : public QObject {
    Q_OBJECT
private slots:
    void headersAndBodies_data();
    void headersAndBodies();
    void dateFallsBackToInternalDate_data();
    void dateFallsBackToInternalDate();
    void notAMessage();
    void parsesOnWorkerThreads();
    void largePlainBodyIsTheSameTextInUtf8_data();
    void largePlainBodyIsTheSameTextInUtf8();
    void directReadingMatchesGMime_data();
    void directReadingMatchesGMime();
};

void TestMimeParser::headersAndBodies_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("fromName");
    QTest::addColumn<QString>("fromAddress");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QDateTime>("date");

    QTest::newRow("utf-8 8bit body")
        << "utf8-8bit-body.eml"
        << "Jane Doe <jane@example.com>"
        << "Jane Doe"
        << "jane@example.com"
        << "Greetings" << QString::fromUtf8("Grüße aus Köln — 東京\r\nZweite Zeile\r\n") << ""
        << at(2015, 2, 19, 9, 30, 1);
    QTest::newRow("iso-8859-1 quoted-printable")
        << "iso-8859-1-quoted-printable.eml"
        << "Marie <marie@example.fr>"
        << "Marie"
        << "marie@example.fr" << QString::fromUtf8("Café crème")
        << QString::fromUtf8("Un café crème, s'il vous plaît. Cette ligne est coupée en deux.\r\n")
        << "" << at(2015, 2, 20, 18, 0, 0);
    QTest::newRow("windows-1252") << "windows-1252-smart-quotes.eml"
                                  << "Bob <bob@example.com>"
                                  << "Bob"
                                  << "bob@example.com"
                                  << "Price" << QString::fromUtf8("“Ten” costs 10 € – ok\r\n") << ""
                                  << at(2015, 2, 20, 18, 0, 0);
    QTest::newRow("iso-2022-jp") << "iso-2022-jp-subject-and-body.eml"
                                 << QString::fromUtf8("山田太郎 <taro@example.jp>")
                                 << QString::fromUtf8("山田太郎") << "taro@example.jp"
                                 << QString::fromUtf8("会議の件")
                                 << QString::fromUtf8("明日の会議は十時からです。\r\n") << ""
                                 << at(2015, 2, 23, 10, 0, 9);
    QTest::newRow("rfc 2047 B and Q words")
        << "rfc2047-b-and-q-words.eml" << QString::fromUtf8("Jürgen Weiß <juergen@example.de>")
        << QString::fromUtf8("Jürgen Weiß") << "juergen@example.de"
        << QString::fromUtf8("Grüße und Küsse from München") << "Plain ASCII.\r\n"
        << "" << at(2015, 2, 24, 8, 15, 1);
    QTest::newRow("base64, every line end becomes CR LF")
        << "base64-body-mixed-line-ends.eml"
        << "\"Doe, Jane\" <jane@example.com>"
        << "Doe, Jane"
        << "jane@example.com"
        << "Lines" << QString::fromUtf8("unix\r\nold mac\r\nwindows\r\nend ✓") << ""
        << at(2015, 2, 25, 12, 0, -5);
    QTest::newRow("multipart/alternative")
        << "multipart-alternative.eml"
        << "News <news@example.org>"
        << "News"
        << "news@example.org"
        << "Both forms" << QString::fromUtf8("Hello – plain") << "<p>Hello &ndash; <b>html</b></p>"
        << at(2015, 2, 26, 7, 0, 0);
    QTest::newRow("attachments are never the body")
        << "multipart-mixed-attachment-before-body.eml"
        << "Ann <ann@example.com>"
        << "Ann"
        << "ann@example.com"
        << "Report attached"
        << "The real body."
        << "<p>The real body.</p>" << at(2015, 2, 26, 7, 0, 0);
    QTest::newRow("html only gets a plain rendering")
        << "html-only.eml"
        << "Shop <shop@example.com>"
        << "Shop"
        << "shop@example.com"
        << "Offer"
        << "Dear customer,\r\nPrices & offers:\r\none\r\ntwo\r\nA\r\nB"
        << "<html><head><style>p { color: red }</style><script>var x = 1;</script></head>\r\n"
           "<body><p>Dear&nbsp;customer,</p><p>Prices &amp; offers:<br>one<br>two</p>\r\n"
           "<table><tr><td>A</td><td>B</td></tr></table></body></html>\r\n"
        << at(2015, 2, 26, 7, 0, 0);
    QTest::newRow("latin-1 headers, body mis-declared as utf-8")
        << "undeclared-charset-latin1-headers-and-misdeclared-body.eml"
        << QString::fromUtf8("Müller <mueller@example.de>") << QString::fromUtf8("Müller")
        << "mueller@example.de" << QString::fromUtf8("Crème brûlée")
        << QString::fromUtf8("Grüße, Müller\r\n") << "" << at(2015, 2, 26, 7, 0, 0);
    QTest::newRow("raw utf-8 without any declaration")
        << "undeclared-charset-raw-utf8.eml" << QString::fromUtf8("José <jose@example.es>")
        << QString::fromUtf8("José") << "jose@example.es" << QString::fromUtf8("Señor")
        << QString::fromUtf8("Mañana\r\n") << "" << at(2015, 2, 26, 7, 0, 0);
    QTest::newRow("sender is a group") << "from-is-a-group.eml"
                                       << "Team: Jane Doe <jane@example.com>, bob@example.com;"
                                       << "Jane Doe"
                                       << "jane@example.com"
                                       << "Group sender"
                                       << "Body\r\n"
                                       << "" << at(2015, 2, 26, 7, 0, 0);
    QTest::newRow("no From header") << "no-from-header.eml"
                                    << ""
                                    << ""
                                    << ""
                                    << "Nobody sent this"
                                    << "Body\r\n"
                                    << "" << at(2015, 2, 26, 7, 0, 0);
}

void TestMimeParser::headersAndBodies() {
    QFETCH(QString, file);
    const EmailObject email = parseEmail(corpusFile(file), internalDate);
    QTEST(email.From, "from");
    QTEST(email.FromName, "fromName");
    QTEST(email.FromAddress, "fromAddress");
    QTEST(email.Subject, "subject");
    QTEST(email.PlainTextBody, "plain");
    QTEST(email.HTMLTextBody, "html");
    QFETCH(QDateTime, date);
    QCOMPARE(email.Date, date);
    QCOMPARE(email.Date.offsetFromUtc(), date.offsetFromUtc());
}

void TestMimeParser::dateFallsBackToInternalDate_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("note");
    QTest::newRow("missing") << "no-date-header.eml"
                             << "no Date header; dated by the server's arrival time";
    QTest::newRow("unreadable") << "malformed-date.eml"
                                << "the Date header \"sometime next week\" cannot be read; dated "
                                   "by the server's arrival time";
}

void TestMimeParser::dateFallsBackToInternalDate() {
    QFETCH(QString, file);
    const EmailObject email = parseEmail(corpusFile(file), internalDate);
    QCOMPARE(email.Date, internalDate);
    QTEST(email.ReadingNote, "note");
    QCOMPARE(email.FromAddress, QStringLiteral("nobody@example.com"));
    QCOMPARE(email.PlainTextBody, QStringLiteral("Body\r\n"));
}

void TestMimeParser::notAMessage() {
    const EmailObject email = parseEmail(QByteArray(), internalDate);
    QCOMPARE(email.From, QString());
    QCOMPARE(email.PlainTextBody, QString());
    QCOMPARE(email.Date, internalDate);
}

// The mail component parses on its own worker thread while the window thread may parse too.
void TestMimeParser::parsesOnWorkerThreads() {
    const QByteArray html = corpusFile(QStringLiteral("html-only.eml"));
    const QByteArray jp = corpusFile(QStringLiteral("iso-2022-jp-subject-and-body.eml"));
    const QString expectedHtml = parseEmail(html, internalDate).PlainTextBody;
    const QString expectedJp = parseEmail(jp, internalDate).PlainTextBody;
    QString results[4];
    std::thread workers[4];
    for (int i = 0; i < 4; ++i)
        workers[i] = std::thread([&, i] {
            for (int round = 0; round < 20; ++round)
                results[i] = parseEmail(i % 2 ? jp : html, internalDate).PlainTextBody;
        });
    for (std::thread& worker : workers)
        worker.join();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(results[i], i % 2 ? expectedJp : expectedHtml);
}

// A message of the commonest shape is read without GMime's tree; it must read exactly as the
// tree reads it, and every other shape must be left to the tree.
void TestMimeParser::directReadingMatchesGMime_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("direct");
    const QByteArray head =
        "From: Amy Lee <amy@example.test>\r\nSubject: Hello there\r\n"
        "Date: Thu, 19 Feb 2015 09:30:00 +0100\r\nMessage-ID: <a1@example.test>\r\n";
    const QByteArray body = "Line one\r\nZweite Zeile \xc3\xbc\r\n";
    QTest::newRow("no content type") << head + "\r\n" + body << true;
    QTest::newRow("quoted charset, more parameters")
        << head + "Content-Type: Text/Plain; format=flowed;\r\n charset=\"UTF-8\"\r\n\r\n" + body
        << true;
    QTest::newRow("latin-1 body")
        << head + "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nCaf\xe9\r\n"
        << true;
    QTest::newRow("8bit, line feeds only, no trailing break")
        << QByteArray(
               "From: a@b.test\nSubject:  two  blanks \n\tfolded\nContent-Transfer-Encoding: 8BIT\n"
               "\nbare\nlines")
        << true;
    QTest::newRow("empty values, missing date and body")
        << QByteArray("From:\r\nSubject:\r\nDate:\r\nMessage-ID:\r\n\r\n") << true;
    QTest::newRow("repeated From and Subject")
        << "Subject: first\r\nFrom: one@x.test\r\nSubject: second\r\nFrom: two@x.test\r\n\r\n" +
               body
        << true;
    QTest::newRow("unreadable date, group sender, comment")
        << "From: Team: amy@x.test, bob@x.test;\r\nDate: sometime (soon)\r\n"
           "Message-ID: <weird id@x.test> (c)\r\n\r\n" +
               body
        << true;
    QTest::newRow("no empty line after the headers") << head + "Body at once\r\n" << true;
    // Senders: the direct reading formats one plain mailbox itself, without the IDN lookup.
    const QList<QByteArray> senders = {"Amy Lee <amy@Example.TEST>",
                                       "amy@mail-1.example.test",
                                       "Amy Lee <amy@xn--bcher-kva.example>",
                                       "\"Lee, Amy\" <amy@x.test>",
                                       "Amy J. Lee <amy@x.test>",
                                       "amy@x.test (Amy Lee)",
                                       "Amy <amy@x.test.>",
                                       "Amy <amy@my_host.test>",
                                       "Amy <amy@-x.test>",
                                       "Amy <\"a@b\"@x.test>",
                                       "Amy <amy@[192.0.2.1]>",
                                       "Amy <amy>",
                                       "a@x.test, b@y.test",
                                       "=?utf-8?q?Gr=C3=BC=C3=9Fe?= <amy@x.test>",
                                       "J\xc3\xbcrgen <j@b\xc3\xbc"
                                       "cher.example>"};
    for (const QByteArray& sender : senders)
        QTest::newRow(("sender " + sender).constData())
            << "From: " + sender + "\r\n\r\n" + body
            << !(sender.contains("=?") || sender.contains('\xc3'));
    QTest::newRow("encoded word") << "Subject: =?utf-8?q?Gr=C3=BC=C3=9Fe?=\r\n\r\n" + body << false;
    QTest::newRow("8-bit header") << "Subject: Gr\xc3\xbc\xc3\x9f\x65\r\n\r\n" + body << false;
    QTest::newRow("quoted-printable")
        << head + "Content-Transfer-Encoding: quoted-printable\r\n\r\nCaf=C3=A9\r\n"
        << false;
    QTest::newRow("html") << head + "Content-Type: text/html; charset=utf-8\r\n\r\n<p>Hi</p>\r\n"
                          << true;
    QTest::newRow("html naming its charset")
        << head + "Content-Type: TEXT/HTML\r\n\r\n<meta charset=\"iso-8859-2\"><p>\xb1</p>\r\n"
        << true;
    QTest::newRow("html without a charset")
        << head + "Content-Type: text/html\r\n\r\n<p>Caf\xc3\xa9 &amp; Caf\xe9</p>" << true;
    QTest::newRow("xhtml") << head + "Content-Type: application/xhtml+xml\r\n\r\n<p>x</p>\r\n"
                           << false;
    QTest::newRow("invalid content type") << head + "Content-Type: text\r\n\r\n" + body << false;
    QTest::newRow("charset in RFC 2231 form")
        << head + "Content-Type: text/plain; charset*=utf-8''x\r\n\r\n" + body << false;
    QTest::newRow("two content types")
        << head + "Content-Type: text/plain\r\nContent-Type: text/html\r\n\r\n" + body << false;
    QTest::newRow("two message ids")
        << head + "Message-ID: <b2@example.test>\r\n\r\n" + body << false;
    QTest::newRow("attachment") << head +
                                       "Content-Disposition: attachment; filename=a.txt\r\n\r\n" +
                                       body
                                << false;
    QTest::newRow("multipart")
        << head + "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nx\r\n--b--\r\n"
        << false;
    QTest::newRow("mbox separator")
        << "From amy@x.test Thu Feb 19 09:30:00 2015\r\n" + head + "\r\n" + body << false;
    QTest::newRow("blank before the colon") << "Subject : spaced\r\n\r\n" + body << false;
    QTest::newRow("lone carriage return") << "Subject: a\rb\r\n\r\n" + body << false;
    QTest::newRow("no header block") << "\r\n" + body << false;
}

void TestMimeParser::directReadingMatchesGMime() {
    QFETCH(QByteArray, message);
    QFETCH(bool, direct);
    QCOMPARE(readSimpleMessage(withHeaderBlockEnded(message)).has_value(), direct);
    for (const PlainBodies inUtf8 : {PlainBodies::Utf8WhenLarge, PlainBodies::Utf8}) {
        const EmailObject read = parseEmail(message, internalDate, inUtf8);
        const EmailObject tree = parseEmail(message, internalDate, inUtf8, MimeReading::GMimeOnly);
        QCOMPARE(read.From, tree.From);
        QCOMPARE(read.FromName, tree.FromName);
        QCOMPARE(read.FromAddress, tree.FromAddress);
        QCOMPARE(read.Subject, tree.Subject);
        QCOMPARE(read.Date, tree.Date);
        QCOMPARE(read.Date.offsetFromUtc(), tree.Date.offsetFromUtc());
        QCOMPARE(read.ReadingNote, tree.ReadingNote);
        QCOMPARE(read.MessageId, tree.MessageId);
        QCOMPARE(read.PlainTextBody, tree.PlainTextBody);
        QCOMPARE(read.PlainTextUtf8, tree.PlainTextUtf8);
        QCOMPARE(read.HTMLTextBody, tree.HTMLTextBody);
    }
}

QTEST_GUILESS_MAIN(TestMimeParser)
#include "tst_mimeparser.moc"

void TestMimeParser::largePlainBodyIsTheSameTextInUtf8_data() {
    QTest::addColumn<QByteArray>("headers"); // of the body part, after From and Subject
    QTest::addColumn<QByteArray>("start");   // bytes before the repeated ones
    QTest::addColumn<QByteArray>("unit");    // repeated to make the body
    QTest::addColumn<QString>("text");       // what one unit reads as

    const QByteArray utf8 = "Content-Type: text/plain; charset=utf-8\r\n";
    QTest::newRow("ascii in CR LF lines, kept where it lies")
        << QByteArray() << QByteArray() << QByteArray("A line of text\r\n")
        << QStringLiteral("A line of text\r\n");
    QTest::newRow("utf-8 in CR LF lines")
        << utf8 << QByteArray() << QByteArray("Zeile \xc3\xbc\r\n")
        << QString::fromUtf8("Zeile \xc3\xbc\r\n");
    QTest::newRow("bare LF") << utf8 << QByteArray() << QByteArray("Zeile \xc3\xbc\n")
                             << QString::fromUtf8("Zeile \xc3\xbc\r\n");
    QTest::newRow("a C1 control") << utf8 << QByteArray() << QByteArray("a\xc2\x85z\r\n")
                                  << QString::fromUtf8("a\xef\xbf\xbdz\r\n");
    QTest::newRow("DEL") << QByteArray() << QByteArray() << QByteArray("a\x7fz\r\n")
                         << QString::fromUtf8("a\xef\xbf\xbdz\r\n");
    QTest::newRow("an escape within printable text")
        << QByteArray() << QByteArray() << QByteArray("some text \x1b[0m more\r\n")
        << QString::fromUtf8("some text \xef\xbf\xbd[0m more\r\n");
    QTest::newRow("NUL") << QByteArray() << QByteArray() << QByteArray("a line\0 of text\r\n", 17)
                         << QString::fromUtf8("a line\xef\xbf\xbd of text\r\n");
    QTest::newRow("leading byte-order mark")
        << utf8 << QByteArray("\xef\xbb\xbf") << QByteArray("text\r\n")
        << QStringLiteral("text\r\n");
    QTest::newRow("latin-1") << QByteArray("Content-Type: text/plain; charset=iso-8859-1\r\n")
                             << QByteArray() << QByteArray("caf\xe9\r\n")
                             << QString::fromUtf8("caf\xc3\xa9\r\n");
    QTest::newRow("quoted-printable, decoded out of the message")
        << utf8 + "Content-Transfer-Encoding: quoted-printable\r\n"
        << QByteArray() << QByteArray("caf=C3=A9 =\r\nsoft\r\n")
        << QString::fromUtf8("caf\xc3\xa9 soft\r\n");
}

// A large body comes in UTF-8 rather than as PlainTextBody; its text is the one a small body of
// the same bytes reads as.
void TestMimeParser::largePlainBodyIsTheSameTextInUtf8() {
    QFETCH(QByteArray, headers);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, unit);
    QFETCH(QString, text);
    const auto message = [&](qsizetype units) {
        return "From: amy@example.test\r\nSubject: big\r\n" + headers + "\r\n" + start +
               unit.repeated(units);
    };
    const EmailObject small = parseEmail(message(3), internalDate);
    QCOMPARE(small.PlainTextBody, text.repeated(3));
    QVERIFY(small.PlainTextUtf8.isEmpty());

    const qsizetype units = 8 * 1024 * 1024 / unit.size();
    const EmailObject large = parseEmail(message(units), internalDate);
    QVERIFY(large.PlainTextBody.isEmpty());
    QCOMPARE(large.Subject, QStringLiteral("big"));
    QVERIFY(QString::fromUtf8(large.PlainTextUtf8) == text.repeated(units));
}
