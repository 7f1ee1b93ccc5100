#include "Screenshot.h"
#include "WindowFixture.h"

#include "app/Form1.h"
#include "base/ShellUtilities.h"
#include "base/StatusLine.h"
#include "list/Form4.h"
#include "list/MessageListView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTest>

#include <cmath>
#include <tuple>
#include <vector>

// The main window and the larger view on the X server's screen, whatever its size and scale
// (the test runs on a 1366 x 768 screen, and on 1920 x 1080 at scale 2): the window lies inside
// the available area, and every control can be scrolled to and is the widget found under its own
// centre, so a click reaches it. Screenshots of each run go into the build folder.

namespace {

const QString screenshots = QStringLiteral(QUENTARIL_SCREENSHOT_DIR);

struct Listed {
    const char* from;
    const char* address;
    const char* subject;
    const char* date;
};

// A few rows as a listing adds them.
void fillList(Form1& form) {
    const Listed rows[] = {
        {"Jana Nováková", "jana.novakova@example.cz", "Ahoj z Prahy", "3/3/2025 6:23:10 AM"},
        {"Priya Raman", "priya.raman@example.in", "Trip photos", "3/4/2025 4:28:51 PM"},
        {"Corner Books", "orders@cornerbooks.example", "Your receipt for order 1182",
         "3/5/2025 3:46:02 PM"},
        {"Amélie Dubois", "amelie.dubois@example.fr", "Réunion de l'équipe", "3/5/2025 8:36:40 AM"},
        {"Garden Club", "letters@gardenclub.example", "Spring garden walk", "3/6/2025 4:48:13 AM"},
        {"Jürgen Müller", "juergen.mueller@example.de", "Formatted note", "3/6/2025 8:03:27 AM"}};
    for (int round = 0; round < 4; ++round)
        for (const Listed& row : rows) {
            const QString name = QString::fromUtf8(row.from);
            const QString address = QString::fromUtf8(row.address);
            form.oMail_MailExtractListing(name + QStringLiteral(" <") + address + u'>', name,
                                          address, QString::fromUtf8(row.subject),
                                          QString::fromUtf8(row.date), QStringLiteral("Hello."),
                                          QString(), 1);
        }
    form.UpdateCounters(false);
}

// The controls a user reaches: everything that takes a click or shows a value.
QList<QWidget*> controlsOf(Form1& form) {
    QList<QWidget*> controls;
    const auto children = form.findChildren<QWidget*>();
    for (QWidget* child : children) {
        const bool control =
            qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) ||
            qobject_cast<QComboBox*>(child) || qobject_cast<MessageListView*>(child) ||
            qobject_cast<StatusLine*>(child) || child == form.Label1 || child == form.Label2;
        if (control && child->isVisibleTo(&form))
            controls.append(child);
    }
    return controls;
}

QString describe(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

bool underWindowManager() {
    return !qEnvironmentVariableIsEmpty("XVFB_WM");
}

// The contrast of two colours as WCAG counts it, 1 to 21.
double contrast(const QColor& a, const QColor& b) {
    const auto relative = [](const QColor& colour) {
        const auto linear = [](double c) {
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double la = relative(a);
    const double lb = relative(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// The strongest contrast that a drawn part of rect of the picture makes with background.
double strongestContrast(const QImage& picture, const QRect& rect, const QColor& background) {
    double strongest = 1;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            strongest = qMax(strongest, contrast(picture.pixelColor(x, y), background));
    return strongest;
}

double luminance(const QColor& colour) {
    return 0.2126 * colour.redF() + 0.7152 * colour.greenF() + 0.0722 * colour.blueF();
}

QPalette darkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x8e, 0xe0));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
    return dark;
}

} // namespace

class TestScreenFit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mainWindowFitsAndEveryControlIsReachable();
    void largerViewButtonsShowTheirWholeCaptions();
    void darkThemeKeepsEveryTextReadable();

private:
    std::unique_ptr<Form1> load();
    QString shotName(const QString& what) const;

    std::unique_ptr<WindowFixture> fixture;
    QRect area;
};

void TestScreenFit::initTestCase() {
    QCOMPARE(QApplication::platformName(), QStringLiteral("xcb"));
    area = QApplication::primaryScreen()->availableGeometry();
    qInfo("available area %s at scale %g", qPrintable(describe(area)),
          QApplication::primaryScreen()->devicePixelRatio());
}

void TestScreenFit::init() {
    fixture = std::make_unique<WindowFixture>();
}

void TestScreenFit::cleanup() {
    QVERIFY(fixture->prompter.boxes.isEmpty());
    fixture.reset();
}

std::unique_ptr<Form1> TestScreenFit::load() {
    auto form = loadedWindow();
    // A folder below the home folder, as a user picks one.
    form->Text3->setText(QStringLiteral("/home/alex/Documents/Mail"));
    form->Text1->setText(QStringLiteral("alex.morgan"));
    form->Combo1->setCurrentIndex(3);
    fillList(*form);
    form->setStatusText(QStringLiteral("Done."));
    return form;
}

QString TestScreenFit::shotName(const QString& what) const {
    const QSize screen = QApplication::primaryScreen()->size();
    return QStringLiteral("%1%2-%3x%4-scale%5.png")
        .arg(what, underWindowManager() ? QStringLiteral("-framed") : QString())
        .arg(qRound(screen.width() * QApplication::primaryScreen()->devicePixelRatio()))
        .arg(qRound(screen.height() * QApplication::primaryScreen()->devicePixelRatio()))
        .arg(QApplication::primaryScreen()->devicePixelRatio());
}

void TestScreenFit::mainWindowFitsAndEveryControlIsReachable() {
    auto form = load();
    form->show();
    // Under a window manager busy with other windows the first expose may take a while.
    QVERIFY(QTest::qWaitForWindowExposed(form.get(), 15000));
    QTest::qWait(50); // the fit after the first show
    // Under a window manager the window is framed, and fitted again with its frame: the title
    // bar stays on the screen.
    if (underWindowManager())
        QTRY_VERIFY2_WITH_TIMEOUT(FrameKnown(form.get()) && area.contains(form->frameGeometry()),
                                  qPrintable(describe(form->frameGeometry()) + u' ' +
                                             describe(form->geometry())),
                                  15000);
    QVERIFY2(
        area.contains(form->frameGeometry()),
        qPrintable(describe(form->frameGeometry()) + QStringLiteral(" outside ") + describe(area)));

    auto* scroll = form->findChild<QScrollArea*>();
    QVERIFY(scroll);
    const int designHeight = scroll->widget()->sizeHint().height();
    QVERIFY(form->width() >= scroll->widget()->sizeHint().width());
    if (designHeight <= area.height()) {
        // Room enough: the design layout, whole, with nothing to scroll.
        QCOMPARE(form->height(), designHeight);
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
    } else if (FrameKnown(form.get())) {
        QCOMPARE(form->frameGeometry().height(), area.height());
        QVERIFY(scroll->verticalScrollBar()->isVisible());
    } else {
        // No window manager: room is left for the title bar one would add.
        QVERIFY(form->height() < area.height());
        QVERIFY(area.height() - form->height() <= 3 * form->fontMetrics().height());
        QVERIFY(scroll->verticalScrollBar()->isVisible());
    }
    QVERIFY(!scroll->horizontalScrollBar()->isVisible());
    Screenshot::save(screenshots, shotName(QStringLiteral("main-window")), {form.get()});

    const QList<QWidget*> controls = controlsOf(*form);
    QVERIFY(controls.size() >= 30);
    for (QWidget* control : controls) {
        QApplication::processEvents();
        // Scrolls as a user does until the whole control shows (ensureWidgetVisible would stop
        // at a text box's cursor).
        const QRect inContent(control->mapTo(scroll->widget(), QPoint(0, 0)), control->size());
        scroll->ensureVisible(inContent.center().x(), inContent.center().y(),
                              inContent.width() / 2 + 1, inContent.height() / 2 + 1);
        QApplication::processEvents();
        const QRect onScreen(control->mapToGlobal(QPoint(0, 0)), control->size());
        const QString name = control->objectName();
        const QRect viewport(scroll->viewport()->mapToGlobal(QPoint(0, 0)),
                             scroll->viewport()->size());
        QVERIFY2(area.contains(onScreen) && viewport.contains(onScreen),
                 qPrintable(name + u' ' + describe(onScreen) + QStringLiteral(" outside ") +
                            describe(area) + QStringLiteral(" or the scrolled part ") +
                            describe(viewport)));
        QWidget* hit = QApplication::widgetAt(onScreen.center());
        QVERIFY2(hit == control || control->isAncestorOf(hit),
                 qPrintable(name + QStringLiteral(" is covered by ") +
                            (hit ? hit->objectName() : QStringLiteral("nothing"))));
    }
}

void TestScreenFit::largerViewButtonsShowTheirWholeCaptions() {
    auto form = load();
    Form4 view(*form, form.get());
    view.Form_Load();
    if (underWindowManager()) {
        view.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY_WITH_TIMEOUT(FrameKnown(&view) && area.contains(view.frameGeometry()), 15000);
    } else {
        // Xvfb alone runs no window manager to honour the maximized state: do its part.
        view.setGeometry(area);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    for (QPushButton* button : view.findChildren<QPushButton*>()) {
        const int caption = QFontMetrics(button->font()).horizontalAdvance(button->text());
        QVERIFY2(caption + 8 <= button->width(),
                 qPrintable(button->text() +
                            QStringLiteral(": %1 in %2").arg(caption).arg(button->width())));
        const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
        QVERIFY2(area.contains(onScreen), qPrintable(button->text()));
        QCOMPARE(QApplication::widgetAt(onScreen.center()), button);
    }
    Screenshot::save(screenshots, shotName(QStringLiteral("larger-view")), {&view});
}

// A dark platform theme: the counters keep their white background and their text turns black
// with it; every other text keeps the theme's own contrast.
void TestScreenFit::darkThemeKeepsEveryTextReadable() {
    const QPalette light = QApplication::palette();
    QApplication::setPalette(darkPalette());
    auto form = load();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    for (QWidget* control : controlsOf(*form)) {
        const QPalette& palette = control->palette();
        const bool filled = control->autoFillBackground();
        const QColor back = palette.color(filled ? control->backgroundRole() : QPalette::Window);
        const QColor text = palette.color(control->foregroundRole());
        QVERIFY2(qAbs(luminance(back) - luminance(text)) > 0.5,
                 qPrintable(control->objectName() + QStringLiteral(": ") + text.name() +
                            QStringLiteral(" on ") + back.name()));
    }
    // Check boxes, the selected option's dot and the list's check boxes stand out at least 3:1.
    const auto indicator = [](QAbstractButton* button, QStyle::SubElement element) {
        QStyleOptionButton option;
        option.initFrom(button);
        return button->style()->subElementRect(element, &option, button);
    };
    const std::vector<std::tuple<QWidget*, QRect, QColor>> indicators{
        {form->Check1, indicator(form->Check1, QStyle::SE_CheckBoxIndicator),
         form->palette().color(QPalette::Window)},
        {form->Option3, indicator(form->Option3, QStyle::SE_RadioButtonIndicator),
         form->palette().color(QPalette::Base)},
        {form->ListView1->viewport(),
         QRect(form->ListView1->visualRect(form->ListView1->model()->index(0, 0)).topLeft(),
               QSize(form->ListView1->fontMetrics().height(),
                     form->ListView1->fontMetrics().height())),
         form->ListView1->palette().color(QPalette::Base)}};
    for (const auto& [widget, rect, background] : indicators) {
        const QImage picture = widget->grab().toImage();
        const QRect scaled(rect.topLeft() * picture.devicePixelRatio(),
                           rect.size() * picture.devicePixelRatio());
        const double strongest =
            strongestContrast(picture, scaled.intersected(picture.rect()), background);
        QVERIFY2(strongest >= 3, qPrintable(widget->objectName() +
                                            QStringLiteral(": %1:1").arg(strongest, 0, 'f', 2)));
    }
    Screenshot::save(screenshots, shotName(QStringLiteral("dark-theme")), {form.get()});
    form.reset();
    QApplication::setPalette(light);
}

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
