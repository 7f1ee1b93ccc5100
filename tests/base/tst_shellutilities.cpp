#include "ScriptedPrompter.h"

#include "base/MousePointer.h"
#include "base/ServerSetting.h"
#include "base/ShellUtilities.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QtEndian>

namespace {

void hover(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

// A window with one widget of each kind that the colour rules name, and one they do not.
struct SampleWindow {
    QWidget window;
    QRadioButton* option = new QRadioButton(QStringLiteral("o"));
    QCheckBox* check = new QCheckBox(QStringLiteral("c"));
    QGroupBox* frame = new QGroupBox(QStringLiteral("f"));
    QLabel* label = new QLabel(QStringLiteral("l"));
    QLineEdit* edit = new QLineEdit;
    SampleWindow() {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* widget : std::initializer_list<QWidget*>{option, check, frame, label, edit})
            layout->addWidget(widget);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, Qt::darkCyan);
        palette.setColor(QPalette::Button, QColor(0xd4, 0xd0, 0xc8));
        window.setPalette(palette);
    }
    QColor face() const { return QColor(0xd4, 0xd0, 0xc8); }
    bool paintedWithFace(QWidget* widget) const {
        return widget->autoFillBackground() && widget->palette().color(QPalette::Window) == face();
    }
};

} // namespace

class ShellUtilitiesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetProgramFolder({}); }
    void fileExists();
    void desktopPathEndsWithTheSeparator();
    void browseForFolder();
    void browsingStartFolder_data();
    void browsingStartFolder();
    void dialogColours();
    void skinOnlyWithItsFile();
    void centreWindow();
    void fitToArea_data();
    void fitToArea();
    void hoverRules();
    void cursorFile();
    void serverSetting_data();
    void serverSetting();
};

void ShellUtilitiesTest::fileExists() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    QVERIFY(!FileExists(file));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(FileExists(file));
    QVERIFY(FileExists(dir.path()));
    QVERIFY(!FileExists(QString()));
    QVERIFY(!FileExists(dir.filePath(QStringLiteral("missing/a.txt"))));
}

void ShellUtilitiesTest::desktopPathEndsWithTheSeparator() {
    const QString path = DesktopPathWithSeparator();
    QVERIFY(path.endsWith(QDir::separator()));
    QCOMPARE(path.chopped(1), QDir::toNativeSeparators(QStandardPaths::writableLocation(
                                  QStandardPaths::DesktopLocation)));
}

void ShellUtilitiesTest::browseForFolder() {
    ScriptedPrompter prompter;
    prompter.folderAnswers.enqueue(QStringLiteral("/home/alex/out"));
    QCOMPARE(BrowseForFolder(nullptr, QStringLiteral("Select Folder"), QDir::tempPath()),
             QDir::toNativeSeparators(QStringLiteral("/home/alex/out")));
    QCOMPARE(prompter.folderTitles, QStringList{QStringLiteral("Select Folder")});
    QCOMPARE(prompter.folderStarts, QStringList{QDir::tempPath()});
    QCOMPARE(BrowseForFolder(nullptr, QStringLiteral("Select Folder")), QString());
}

// The browser opens at the folder of the save-folder box, or as near to it as exists.
void ShellUtilitiesTest::browsingStartFolder_data() {
    QTest::addColumn<QString>("relative"); // below a temporary folder holding a/b and a/file
    QTest::addColumn<QString>("expected"); // the same, "" for the home folder

    QTest::newRow("existing folder") << "a/b"
                                     << "a/b";
    QTest::newRow("with a trailing separator") << "a/b/"
                                               << "a/b";
    QTest::newRow("missing below an existing one") << "a/b/Desktop/x"
                                                   << "a/b";
    QTest::newRow("a file") << "a/file"
                            << "a";
    QTest::newRow("surrounding blanks") << " a/b "
                                        << "a/b";
}

void ShellUtilitiesTest::browsingStartFolder() {
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("a/b")));
    QFile file(root.filePath(QStringLiteral("a/file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString typed = relative.startsWith(u' ')
                              ? u' ' + root.path() + u'/' + relative.trimmed() + u' '
                              : root.path() + u'/' + relative;
    QCOMPARE(BrowsingStartFolder(typed), root.filePath(expected));

    // Nothing usable: the home folder, never the root with a name typed in.
    QCOMPARE(BrowsingStartFolder(QString()), QDir::homePath());
    QCOMPARE(BrowsingStartFolder(QStringLiteral("Desktop")), QDir::homePath());
    QCOMPARE(BrowsingStartFolder(QStringLiteral("/no such folder/Desktop/")), QDir::homePath());
}

void ShellUtilitiesTest::dialogColours() {
    SampleWindow sample;
    ApplyDialogColours(&sample.window);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             &sample.window, sample.option, sample.check, sample.frame, sample.label})
        QVERIFY2(sample.paintedWithFace(widget), qPrintable(widget->metaObject()->className()));
    QVERIFY(!sample.paintedWithFace(sample.edit));
}

void ShellUtilitiesTest::skinOnlyWithItsFile() {
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    SampleWindow plain;
    ApplyMainSkin(&plain.window);
    QVERIFY(!plain.paintedWithFace(&plain.window));
    QVERIFY(!plain.paintedWithFace(plain.label));
    QCOMPARE(plain.window.styleSheet(), QString());

    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("x")));
    QFile skin(folder.filePath(QStringLiteral("x/o.cjs")));
    QVERIFY(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { border-radius: 4px; }");
    skin.close();
    QCOMPARE(SkinFilePath(), QDir::toNativeSeparators(skin.fileName()));
    SampleWindow skinned;
    ApplyMainSkin(&skinned.window);
    QVERIFY(skinned.paintedWithFace(&skinned.window));
    QVERIFY(skinned.paintedWithFace(skinned.check));
    QCOMPARE(skinned.window.styleSheet(), QStringLiteral("QPushButton { border-radius: 4px; }"));
}

void ShellUtilitiesTest::centreWindow() {
    QWidget window;
    window.resize(300, 200);
    CentreWindow(&window);
    const QRect area = window.screen()->availableGeometry();
    QVERIFY(qAbs(window.frameGeometry().center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(window.frameGeometry().center().y() - area.center().y()) <= 1);
}

// A window is shrunk to the area (never below its minimum) and moved inside it, its title bar
// first when it cannot fit.
void ShellUtilitiesTest::fitToArea_data() {
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QRect>("expected");
    const QRect area(0, 0, 1366, 768);
    QTest::newRow("fits: unchanged")
        << QRect(100, 50, 540, 600) << QSize() << QRect(100, 50, 540, 600);
    QTest::newRow("too tall") << QRect(400, -30, 540, 843) << QSize() << QRect(400, 0, 540, 768);
    QTest::newRow("below the bottom")
        << QRect(10, 500, 540, 400) << QSize() << QRect(10, 368, 540, 400);
    QTest::newRow("right of the area")
        << QRect(1200, 0, 540, 400) << QSize() << QRect(826, 0, 540, 400);
    QTest::newRow("minimum larger than the area")
        << QRect(0, 100, 540, 900) << QSize(540, 800) << QRect(0, 0, 540, 800);
}

void ShellUtilitiesTest::fitToArea() {
    QFETCH(QRect, window);
    QFETCH(QSize, minimum);
    QFETCH(QRect, expected);
    QWidget widget;
    if (minimum.isValid())
        widget.setMinimumSize(minimum);
    widget.setGeometry(window);
    FitToArea(&widget, QRect(0, 0, 1366, 768));
    QCOMPARE(widget.geometry(), expected);
}

void ShellUtilitiesTest::hoverRules() {
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("b"), &window);
    auto* stopButton = new QPushButton(QStringLiteral("s"), &window);
    auto* surface = new QLabel(QStringLiteral("l"), &window);
    auto* bare = new QCheckBox(QStringLiteral("c"), &window);
    PointerControl pointer(&window);
    pointer.attachHand(button);
    pointer.attachHand(stopButton, true);
    pointer.attachNormal(surface);
    pointer.attachNothing(bare);

    hover(button);
    QCOMPARE(pointer.code(), MousePointer::Custom);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor); // no custom pointer loaded
    hover(surface);
    QCOMPARE(pointer.code(), MousePointer::Default);
    hover(button);
    hover(bare);
    QCOMPARE(pointer.code(), MousePointer::Custom);

    pointer.setCode(MousePointer::Hourglass);
    QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
    hover(button);
    hover(surface);
    QCOMPARE(pointer.code(), MousePointer::Hourglass);
    hover(stopButton);
    QCOMPARE(pointer.code(), MousePointer::Custom);

    QPixmap hand(16, 16);
    hand.fill(Qt::red);
    pointer.setCustomCursor(QCursor(hand));
    QCOMPARE(window.cursor().shape(), Qt::BitmapCursor);
}

void ShellUtilitiesTest::cursorFile() {
    QTemporaryDir dir;
    QVERIFY(!loadCursorFile(dir.filePath(QStringLiteral("HAND-M.CUR"))).has_value());

    // An icon file turned into a cursor file: type 2, hot spot (5, 1) in the directory entry.
    const QString path = dir.filePath(QStringLiteral("HAND-M.CUR"));
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(path, "ICO"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    qToLittleEndian<quint16>(2, bytes.data() + 2);
    qToLittleEndian<quint16>(5, bytes.data() + 10);
    qToLittleEndian<quint16>(1, bytes.data() + 12);
    file.seek(0);
    file.write(bytes);
    file.close();
    const auto cursor = loadCursorFile(path);
    QVERIFY(cursor.has_value());
    QCOMPARE(cursor->hotSpot(), QPoint(5, 1));

    QFile garbage(dir.filePath(QStringLiteral("bad.cur")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a cursor");
    garbage.close();
    QVERIFY(!loadCursorFile(garbage.fileName()).has_value());
}

void ShellUtilitiesTest::serverSetting_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("missing") << QString() << QStringLiteral("outlook.office365.com") << 993;
    QTest::newRow("host") << QStringLiteral("imap.example.org")
                          << QStringLiteral("imap.example.org") << 993;
    QTest::newRow("host:port") << QStringLiteral("127.0.0.1:10993") << QStringLiteral("127.0.0.1")
                               << 10993;
    QTest::newRow("bracketed IPv6")
        << QStringLiteral("[::1]:2993") << QStringLiteral("::1") << 2993;
    QTest::newRow("bare IPv6") << QStringLiteral("::1") << QStringLiteral("::1") << 993;
    // A setting that cannot work keeps its host and no port; the window says why.
    QTest::newRow("bad port") << QStringLiteral("localhost:x") << QStringLiteral("localhost") << 0;
    QTest::newRow("port out of range")
        << QStringLiteral("localhost:70000") << QStringLiteral("localhost") << 0;
    QTest::newRow("port 0") << QStringLiteral("localhost:0") << QStringLiteral("localhost") << 0;
    QTest::newRow("empty port") << QStringLiteral("localhost:") << QStringLiteral("localhost") << 0;
    QTest::newRow("no host") << QStringLiteral(":993") << QString() << 0;
    QTest::newRow("text after the brackets")
        << QStringLiteral("[::1]993") << QStringLiteral("::1") << 0;
    QTest::newRow("blanks") << QStringLiteral("  localhost:143 ") << QStringLiteral("localhost")
                            << 143;
}

void ShellUtilitiesTest::serverSetting() {
    QFETCH(QString, setting);
    QFETCH(QString, host);
    QFETCH(int, port);
    const ServerAddress address = ServerSetting::parse(setting);
    QCOMPARE(address.host, host);
    QCOMPARE(address.port, port);
    QCOMPARE(address.problem.isEmpty(), port != 0);
}

QTEST_MAIN(ShellUtilitiesTest)
#include "tst_shellutilities.moc"
