#include "export/FileNameRule.h"

#include <QtTest>

class TestFileNameRule : public QObject {
    Q_OBJECT
private slots:
    void names_data();
    void names();
    void cutKeepsExactly200Characters();
    void filterModes();
};

void TestFileNameRule::names_data() {
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("name");

    QTest::newRow("colon and punctuation dropped") << 3 << "Re: Meeting (today)!"
                                                   << "3 - 2015-02-19 Re Meeting today.txt";
    QTest::newRow("empty subject keeps its blank") << 1 << ""
                                                   << "1 - 2015-02-19 .txt";
    QTest::newRow("only dropped characters") << 1 << ":::!?"
                                             << "1 - 2015-02-19 .txt";
    QTest::newRow("accents, underscore, dots, brackets")
        << 12 << QString::fromUtf8("Café_menu [v1.2] {ß} Ünïcödé 東京")
        << "12 - 2015-02-19 Cafmenu v12  ncd .txt";
    QTest::newRow("every character illegal in file names") << 7 << "a<b>c:d\"e/f\\g|h?i*j"
                                                           << "7 - 2015-02-19 abcdefghij.txt";
    QTest::newRow("control characters, tabs and line breaks")
        << 2 << QStringLiteral("one\ttwo\r\nthree\x01") << "2 - 2015-02-19 onetwothree.txt";
    QTest::newRow("runs of blanks and hyphens stay") << 40000 << "a  -  b"
                                                     << "40000 - 2015-02-19 a  -  b.txt";
}

void TestFileNameRule::names() {
    QFETCH(int, counter);
    QFETCH(QString, subject);
    QTEST(downloadFileName(counter, QDate(2015, 2, 19), subject), "name");
}

void TestFileNameRule::cutKeepsExactly200Characters() {
    const QString subject = QString(300, u'x');
    const QString name = downloadFileName(3, QDate(2015, 2, 19), subject);
    QCOMPARE(name.size(), 204);
    QVERIFY(name.startsWith(QStringLiteral("3 - 2015-02-19 xxx")));
    QVERIFY(name.endsWith(QStringLiteral("x.txt")));
    // Dropped characters do not count towards the 200.
    const QString withColons =
        downloadFileName(3, QDate(2015, 2, 19), QString(300, u':') + subject);
    QCOMPARE(withColons, name);
}

void TestFileNameRule::filterModes() {
    QCOMPARE(filterCharacters(QStringLiteral("a1b2c3"), QStringLiteral("123"), FilterMode::Keep),
             QStringLiteral("123"));
    QCOMPARE(filterCharacters(QStringLiteral("a1b2c3"), QStringLiteral("123"), FilterMode::Drop),
             QStringLiteral("abc"));
    // Exact character codes: no case folding.
    QCOMPARE(filterCharacters(QStringLiteral("aAbB"), QStringLiteral("ab"), FilterMode::Keep),
             QStringLiteral("ab"));
}

QTEST_GUILESS_MAIN(TestFileNameRule)
#include "tst_filenamerule.moc"
