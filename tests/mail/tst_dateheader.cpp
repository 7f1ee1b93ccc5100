// Date header values in every form the standard allows, old ones included, and the values that
// are left to a guess (no date here).
#include "mail/DateHeader.h"

#include <QTimeZone>
#include <QtTest>

namespace {

QDateTime at(int year, int month, int day, int hour, int minute, int second, int offsetMinutes) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second),
                     QTimeZone(offsetMinutes * 60));
}

} // namespace

class TestDateHeader : public QObject {
    Q_OBJECT
private slots:
    void reads_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QDateTime>("date"); // invalid: not read here

        const QDateTime feb19 = at(2015, 2, 19, 18, 0, 0, 60);
        QTest::newRow("usual") << QByteArray(" Thu, 19 Feb 2015 18:00:00 +0100\r\n") << feb19;
        QTest::newRow("folded") << QByteArray("Thu, 19 Feb 2015\r\n 18:00:00 +0100") << feb19;
        QTest::newRow("no day name, no seconds") << QByteArray("19 Feb 2015 18:00 +0100") << feb19;
        QTest::newRow("comments everywhere, nested and quoting")
            << QByteArray("(a)Thu(b),(c)19(d)Feb(e)2015(f)18(g):(h)00(i):00(j)+0100 (x (y\\)) z)")
            << feb19;
        QTest::newRow("blanks around the colons")
            << QByteArray("Thu ,19  Feb\t2015 18 : 00 : 00 +0100") << feb19;
        QTest::newRow("full and lower-case names")
            << QByteArray("thursday, 19 FEBRUARY 2015 18:00:00 +0100") << feb19;
        QTest::newRow("day name without comma")
            << QByteArray("Thu 19 Feb 2015 18:00 +0100") << feb19;
        QTest::newRow("one-digit day and hour")
            << QByteArray("5 Feb 2015 8:05:09 -0330") << at(2015, 2, 5, 8, 5, 9, -210);
        QTest::newRow("two-digit year 00")
            << QByteArray("1 Jan 00 00:00 +0000") << at(2000, 1, 1, 0, 0, 0, 0);
        QTest::newRow("two-digit year 49")
            << QByteArray("1 Jan 49 00:00 +0000") << at(2049, 1, 1, 0, 0, 0, 0);
        QTest::newRow("two-digit year 50")
            << QByteArray("1 Jan 50 00:00 +0000") << at(1950, 1, 1, 0, 0, 0, 0);
        QTest::newRow("three-digit year") << QByteArray("19 Feb 115 18:00 +0100") << feb19;
        QTest::newRow("three-digit year 099")
            << QByteArray("1 Jan 099 00:00 +0000") << at(1999, 1, 1, 0, 0, 0, 0);
        QTest::newRow("year 1900")
            << QByteArray("Mon, 1 Jan 1900 00:00:00 +0000") << at(1900, 1, 1, 0, 0, 0, 0);
        QTest::newRow("leap second")
            << QByteArray("Wed, 31 Dec 2008 23:59:60 +0000") << at(2008, 12, 31, 23, 59, 59, 0);
        QTest::newRow("leap second in a local time")
            << QByteArray("Thu, 31 Dec 1998 15:59:60 -0800") << at(1998, 12, 31, 15, 59, 59, -480);
        QTest::newRow("29 February of a leap year")
            << QByteArray("29 Feb 2016 12:00 +0000") << at(2016, 2, 29, 12, 0, 0, 0);
        QTest::newRow("UT") << QByteArray("19 Feb 2015 17:00 UT") << at(2015, 2, 19, 17, 0, 0, 0);
        QTest::newRow("GMT") << QByteArray("19 Feb 2015 17:00 gmt") << at(2015, 2, 19, 17, 0, 0, 0);
        QTest::newRow("EST") << QByteArray("19 Feb 2015 12:00 EST")
                             << at(2015, 2, 19, 12, 0, 0, -300);
        QTest::newRow("EDT") << QByteArray("19 Jun 2015 12:00 EDT")
                             << at(2015, 6, 19, 12, 0, 0, -240);
        QTest::newRow("CST") << QByteArray("19 Feb 2015 12:00 CST")
                             << at(2015, 2, 19, 12, 0, 0, -360);
        QTest::newRow("MDT") << QByteArray("19 Jun 2015 12:00 MDT")
                             << at(2015, 6, 19, 12, 0, 0, -360);
        QTest::newRow("PST with a comment")
            << QByteArray("19 Feb 2015 12:00 PST (Pacific)") << at(2015, 2, 19, 12, 0, 0, -480);
        // Military letters, an unknown name, no zone at all and an offset no place has say
        // nothing reliable: the time is taken as UTC.
        const QDateTime utc = at(2015, 2, 19, 18, 0, 0, 0);
        QTest::newRow("military Z") << QByteArray("19 Feb 2015 18:00 Z") << utc;
        QTest::newRow("military A") << QByteArray("19 Feb 2015 18:00 A") << utc;
        QTest::newRow("military y in lower case") << QByteArray("19 Feb 2015 18:00 y") << utc;
        QTest::newRow("unknown zone name") << QByteArray("19 Feb 2015 18:00 CET") << utc;
        QTest::newRow("no zone") << QByteArray("19 Feb 2015 18:00:00") << utc;
        QTest::newRow("minutes of offset past 59") << QByteArray("19 Feb 2015 18:00 +0175") << utc;
        QTest::newRow("offset beyond any place") << QByteArray("19 Feb 2015 18:00 -2300") << utc;
        QTest::newRow("negative zero") << QByteArray("19 Feb 2015 18:00 -0000") << utc;
        QTest::newRow("text after an offset") << QByteArray("19 Feb 2015 18:00 +0100 CET") << feb19;

        // Left to a guess, or not a date at all.
        QTest::newRow("asctime form") << QByteArray("Thu Feb 19 18:00:00 2015") << QDateTime();
        QTest::newRow("ISO form") << QByteArray("2015-02-19 18:00:00") << QDateTime();
        QTest::newRow("zone glued to an offset")
            << QByteArray("19 Feb 2015 18:00 GMT+0100") << QDateTime();
        QTest::newRow("30 February") << QByteArray("30 Feb 2015 18:00 +0000") << QDateTime();
        QTest::newRow("hour 24") << QByteArray("19 Feb 2015 24:00 +0000") << QDateTime();
        QTest::newRow("second 61") << QByteArray("19 Feb 2015 23:59:61 +0000") << QDateTime();
        QTest::newRow("four-digit year before 1900")
            << QByteArray("1 Jan 1899 00:00 +0000") << QDateTime();
        QTest::newRow("five-digit year") << QByteArray("1 Jan 20150 00:00 +0000") << QDateTime();
        QTest::newRow("one-digit year") << QByteArray("1 Jan 5 00:00 +0000") << QDateTime();
        QTest::newRow("unknown day name")
            << QByteArray("Thx, 19 Feb 2015 18:00 +0000") << QDateTime();
        QTest::newRow("unknown month") << QByteArray("19 Fev 2015 18:00 +0000") << QDateTime();
        QTest::newRow("five-digit offset") << QByteArray("19 Feb 2015 18:00 +01000") << QDateTime();
        QTest::newRow("unterminated comment")
            << QByteArray("19 Feb 2015 (18:00 +0000") << QDateTime();
        QTest::newRow("empty") << QByteArray("") << QDateTime();
        QTest::newRow("words") << QByteArray("sometime next week") << QDateTime();
    }

    void reads() {
        QFETCH(QByteArray, value);
        QFETCH(QDateTime, date);
        const std::optional<QDateTime> read = readDateHeader(value);
        QCOMPARE(read.has_value(), date.isValid());
        if (read) {
            QCOMPARE(*read, date);
            QCOMPARE(read->offsetFromUtc(), date.offsetFromUtc());
        }
    }
};

QTEST_GUILESS_MAIN(TestDateHeader)
#include "tst_dateheader.moc"
