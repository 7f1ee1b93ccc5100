// HTML to readable text: what each kind of markup leaves of the text, and the nestings that once
// took minutes convert at all.
#include "mail/MimeText.h"

#include <QtTest>

class TestHtmlToText : public QObject {
    Q_OBJECT
private slots:
    void converts_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");

        QTest::newRow("paragraphs and breaks")
            << "<p>One\r\n  two</p><p>three<br>four<br><br>five</p>"
            << "One two\nthree\nfour\n\nfive";
        QTest::newRow("blanks collapse, none at a line's ends")
            << "  <div>  a \t b  </div>  <div>\n c </div> "
            << "a b\nc";
        QTest::newRow("inline markup leaves its words together")
            << "x<b>bold</b>y <i>it</i> <a href='u'>link</a><img src='a.png'>z"
            << "xboldy it linkz";
        QTest::newRow("no-break spaces stay") << "a&nbsp;&nbsp;b\u00a0c"
                                              << "a  b c";
        QTest::newRow("named references") << "&lt;&amp;&gt; &quot;&apos; &copy;&eacute;&euro;"
                                          << QString::fromUtf8("<&> \"' ©é€");
        QTest::newRow("numeric references")
            << "&#65;&#x42;&#X43;&#146;&#x1F600;&#0;&#xD800;&#99999999;"
            << QString::fromUtf8("ABC’😀\uFFFD\uFFFD\uFFFD");
        QTest::newRow("unknown or broken references are text") << "&bogus; & &; &# &amp &ampx"
                                                               << "&bogus; & &; &# & &ampx";
        QTest::newRow("lists and headings")
            << "<h1>Title</h1><ul><li>Item one</li><li>Item two</ul><ol><li>a<li>b</ol>"
            << "Title\nItem one\nItem two\na\nb";
        QTest::newRow("table cells on lines of their own")
            << "<table><tr><td>A</td><td>B</td></tr><tr><th>C</th><td></td></tr></table>after"
            << "A\nB\nC\nafter";
        QTest::newRow("scripts, styles, titles and comments leave nothing")
            << "<html><head><title>T</title><style>p{}</style></head><body>"
               "<script>if (a < b) document.write('</p>');</SCRIPT>"
               "a<!-- <p>hidden</p> -->b<!DOCTYPE html><?xml x?></body></html>"
            << "ab";
        QTest::newRow("preformatted text keeps its blanks and lines")
            << "<p>x</p><pre>  a  b\r\n\r\n c</pre>y"
            << "x\n  a  b\n\n c\ny";
        QTest::newRow("a '>' inside a quoted value ends no tag")
            << "<a title=\"a>b\" href='c>d'>text</a>"
            << "text";
        QTest::newRow("a '<' that opens no tag is text") << "1 < 2 and 3 <= 4, <3"
                                                         << "1 < 2 and 3 <= 4, <3";
        QTest::newRow("markup cut off at the end") << "text<p class=\"x"
                                                   << "text";
        QTest::newRow("comment cut off at the end") << "text<!-- never closed <p>x"
                                                    << "text";
        QTest::newRow("script never closed") << "text<script>x = 1;"
                                             << "text";
        QTest::newRow("upper-case tags") << "<P>a</P><BR><TD>b"
                                         << "a\n\nb";
        QTest::newRow("blanks, NULs and no-break spaces around words and markup")
            << QString::fromUtf8("a b  c\t<b>d</b> e &amp; f\u00a0 g \u00a0h") + QChar(0) +
                   QStringLiteral("i ") + QChar(0) + QStringLiteral(" j  ") + QChar(0)
            << QString::fromUtf8("a b c d e & f  g  hi j");
        QTest::newRow("preformatted blanks, NULs and line ends from references")
            << QStringLiteral("<pre>\r\n a\u00a0&#13;b&#10;") + QChar(0) +
                   QStringLiteral("\n\n</pre>&#10;c")
            << " a b\n\n\nc";
        // Flowing words are copied eight characters at a time: blanks at a block's end, before
        // markup, a line end, a no-break space, a reference or a NUL.
        QTest::newRow("runs longer than a block")
            << QString::fromUtf8("abcdefg <b>h</b>abcdefg \r\nabcdefg \u00a0x abcdefghijklmno  "
                                 "pq&amp;rstuvwxyz abcdefg") +
                   QChar(0) + QStringLiteral("hijklmnop")
            << QString::fromUtf8("abcdefg habcdefg abcdefg  x abcdefghijklmno pq&rstuvwxyz "
                                 "abcdefghijklmnop");
        QTest::newRow("lone surrogates pass as they are")
            << QStringLiteral("a") + QChar(char16_t(0xD83D)) + QStringLiteral(" ") +
                   QChar(char16_t(0xDE00)) + QStringLiteral("<p>&#x1F600;")
            << QStringLiteral("a") + QChar(char16_t(0xD83D)) + QStringLiteral(" ") +
                   QChar(char16_t(0xDE00)) + QString::fromUtf8("\n😀");
        QTest::newRow("markup inside a skipped element up to its end tag")
            << "<style>p{}</p><b>x</b></STYLE >a<title>t</tit</title>b"
            << "ab";
        QTest::newRow("newsletter")
            << "<html><body><h1>Weekly</h1><p><b>Gardening</b></p><ul><li>Item one</li>"
               "<li>Item two</li></ul><p><a href='https://example.invalid/more'>Read more</a>"
               "</p></body></html>"
            << "Weekly\nGardening\nItem one\nItem two\nRead more";

        // Markup that made a layout engine take minutes: the text is all that is left.
        QString tables;
        for (int i = 0; i < 20000; ++i)
            tables += QStringLiteral("<table><tr><td>");
        tables += QStringLiteral("deep");
        for (int i = 0; i < 20000; ++i)
            tables += QStringLiteral("</td></tr></table>");
        QTest::newRow("20,000 nested tables") << tables << "deep";
        QString bold;
        QString words;
        for (int i = 0; i < 100000; ++i) {
            bold += QStringLiteral("<b>w ");
            words += QStringLiteral("w ");
        }
        QTest::newRow("100,000 unclosed bold tags") << bold << words.trimmed();
        // Each LF of a preformatted block becomes CR LF: the text outgrows its markup.
        QTest::newRow("preformatted text longer than its markup")
            << QStringLiteral("<pre>a") + QString(5000, u'\n') + QStringLiteral("b\n\u00a0</pre>")
            << QStringLiteral("a") + QString(5000, u'\n') + QStringLiteral("b\n ");
    }
    // The rows write the line ends as LF; the text has CR LF.
    void converts() {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(htmlToPlainText(html), text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    }
};

QTEST_GUILESS_MAIN(TestHtmlToText)
#include "tst_htmltotext.moc"
