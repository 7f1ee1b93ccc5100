#include "base/StatusLine.h"

#include <QTest>
#include <QVBoxLayout>

class StatusLineTest : public QObject {
    Q_OBJECT
private slots:
    void growsForATextThatWraps_data();
    void growsForATextThatWraps();
};

// A narrow bar in a layout: a text of a few words fits one line, a long one needs two. Progress
// texts come in bursts; the last text of a burst decides the height.
void StatusLineTest::growsForATextThatWraps_data() {
    QTest::addColumn<StatusLine::Pace>("pace");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("taller");

    const QString longText = QStringLiteral("Reading mail 12 of 60 from a folder with a long name "
                                            "that cannot fit one line of the bar");
    QTest::newRow("at once, long") << StatusLine::Pace::AtOnce << QStringList{longText} << true;
    QTest::newRow("progress, long last")
        << StatusLine::Pace::Progress
        << QStringList{QStringLiteral("Reading mail 1 of 60"), longText} << true;
    QTest::newRow("progress, short last")
        << StatusLine::Pace::Progress
        << QStringList{longText, QStringLiteral("Reading mail 60 of 60")} << false;
}

void StatusLineTest::growsForATextThatWraps() {
    QFETCH(StatusLine::Pace, pace);
    QFETCH(QStringList, texts);
    QFETCH(bool, taller);

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* line = new StatusLine;
    layout->addWidget(line);
    layout->addStretch();
    window.resize(160, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int oneLine = line->height();

    for (const QString& text : texts)
        line->setStatusText(text, pace);
    if (taller)
        QTRY_VERIFY(line->height() > oneLine);
    else
        QTest::qWait(300);
    QCOMPARE(line->height() > oneLine, taller);
    QCOMPARE(line->statusText(), texts.last());
}

QTEST_MAIN(StatusLineTest)
#include "tst_statusline.moc"
