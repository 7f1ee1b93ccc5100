// The charset an HTML text names for itself, found as a browser finds it before parsing.
#include "mail/HtmlCharset.h"

#include <QtTest>

class TestHtmlCharset : public QObject {
    Q_OBJECT
private slots:
    void finds_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("charset"); // empty: none named

        QTest::newRow("meta charset")
            << QByteArray("<html><head><meta charset=\"KOI8-R\">") << QByteArray("koi8-r");
        QTest::newRow("unquoted, single-quoted, blanks")
            << QByteArray("<META CHARSET = koi8-r ><meta charset='utf-8'>") << QByteArray("koi8-r");
        QTest::newRow("slash before the attributes")
            << QByteArray("<meta/charset=\"gb2312\"/>") << QByteArray("gb2312");
        QTest::newRow("http-equiv form")
            << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                          "charset=windows-1251\">")
            << QByteArray("windows-1251");
        QTest::newRow("content before http-equiv, quoted charset")
            << QByteArray("<meta content='text/html; charset=\"iso-8859-2\"' "
                          "http-equiv=content-type>")
            << QByteArray("iso-8859-2");
        QTest::newRow("content without http-equiv counts for nothing")
            << QByteArray("<meta content=\"text/html; charset=koi8-r\"><p>x</p>") << QByteArray();
        QTest::newRow("charset attribute beats content")
            << QByteArray("<meta http-equiv=content-type content=\"text/html; charset=koi8-r\" "
                          "charset=big5>")
            << QByteArray("big5");
        QTest::newRow("only the first attribute of a name counts")
            << QByteArray("<meta charset=koi8-r charset=utf-8>") << QByteArray("koi8-r");
        QTest::newRow("inside a comment")
            << QByteArray("<!-- <meta charset=utf-8> --><meta charset=koi8-r>")
            << QByteArray("koi8-r");
        QTest::newRow("the shortest comment")
            << QByteArray("<!--><meta charset=koi8-r>") << QByteArray("koi8-r");
        QTest::newRow("'>' inside another tag's quoted attribute")
            << QByteArray("<a title='<meta charset=utf-8>'><meta charset=koi8-r>")
            << QByteArray("koi8-r");
        QTest::newRow("doctype, end tag and processing instruction skipped")
            << QByteArray("<!DOCTYPE html></x y='<meta charset=utf-8>'><?xml?>"
                          "<meta charset=koi8-r>")
            << QByteArray("koi8-r");
        QTest::newRow("a longer element name is not meta")
            << QByteArray("<metadata charset=koi8-r>") << QByteArray();
        QTest::newRow("in text, not a tag") << QByteArray("<p>charset=koi8-r</p>") << QByteArray();
        QTest::newRow("UTF-16 named in ASCII means UTF-8")
            << QByteArray("<meta charset=utf-16le>") << QByteArray("utf-8");
        QTest::newRow("x-user-defined")
            << QByteArray("<meta charset=x-user-defined>") << QByteArray("windows-1252");
        QTest::newRow("byte-order mark first")
            << QByteArray("\xef\xbb\xbf<meta charset=koi8-r>") << QByteArray("utf-8");
        QTest::newRow("UTF-16 byte-order mark")
            << QByteArray("\xff\xfe<\0h\0", 6) << QByteArray("utf-16le");
        QTest::newRow("beyond the first 1024 bytes")
            << QByteArray(1024, ' ') + "<meta charset=koi8-r>" << QByteArray();
        QTest::newRow("cut off at 1024 bytes")
            << QByteArray(1000, ' ') + "<meta charset=koi8-r" + QByteArray(30, 'x') << QByteArray();
        QTest::newRow("unclosed comment")
            << QByteArray("<!-- <meta charset=koi8-r>") << QByteArray();
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void finds() {
        QFETCH(QByteArray, html);
        QTEST(htmlDeclaredCharset(html), "charset");
    }
};

QTEST_GUILESS_MAIN(TestHtmlCharset)
#include "tst_htmlcharset.moc"
