#include "list/Form4.h"

#include "base/FocusMarker.h"
#include "base/Guard.h"
#include "base/MousePointer.h"
#include "base/Prompter.h"
#include "base/ShellUtilities.h"
#include "base/Twips.h"
#include "list/Form4Layout.h"
#include "list/ListCounters.h"
#include "list/MessageListView.h"
#include "list/SelectionCommands.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

QFont arialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QRect toPixels(const QRect& twips) {
    return {Twips::toPixels(twips.x()), Twips::toPixels(twips.y()), Twips::toPixels(twips.width()),
            Twips::toPixels(twips.height())};
}

QString location(const char* procedure) {
    return QStringLiteral("in Brastovel2/19/2015.Form4.") + QLatin1String(procedure) + u' ';
}

} // namespace

Form4::Form4(ListOwner& mainWindow, QWidget* owner) : QDialog(owner), main_(mainWindow) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral(" List In Larger View"));
    // The caption's leading blank is not read out.
    setAccessibleName(QStringLiteral("List In Larger View"));
    // A maximize box and a close box, no minimize box, no context help.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setMinimumSize(Twips::toPixels(Form4Layout::designClientWidth),
                   Twips::toPixels(Form4Layout::designClientHeight));
    setFont(arialBold(9));

    ListView1 = new MessageListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setFont(arialBold(9));
    Label1 = new QLabel(QStringLiteral("Total Number Of Emails: "), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("Selected Emails: "), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    PushButton5 = addButton(QStringLiteral("PushButton5"), QStringLiteral("Check All"));
    PushButton6 = addButton(QStringLiteral("PushButton6"), QStringLiteral("Uncheck All"));
    PushButton9 =
        addButton(QStringLiteral("PushButton9"), QStringLiteral("Check Emails Containing..."));
    PushButton10 =
        addButton(QStringLiteral("PushButton10"), QStringLiteral("Check Emails Not Containing..."));
    PushButton7 = addButton(QStringLiteral("PushButton7"), QStringLiteral("Clear List"));
    PushButton4 = addButton(QStringLiteral("PushButton4"), QStringLiteral("< Back"));
    fitButtonFont();

    setTabOrder(ListView1, PushButton5);
    setTabOrder(PushButton5, PushButton6);
    setTabOrder(PushButton6, PushButton4);
    setTabOrder(PushButton4, PushButton7);
    setTabOrder(PushButton7, PushButton9);
    setTabOrder(PushButton9, PushButton10);

    resize(minimumSize());

    pointer_ = new PointerControl(this);
    for (QPushButton* button :
         {PushButton5, PushButton6, PushButton9, PushButton10, PushButton7, PushButton4})
        pointer_->attachHand(button);
    pointer_->attachNormal(this);
    pointer_->attachNormal(ListView1->viewport());
    pointer_->attachNothing(Label1);
    pointer_->attachNothing(Label2);
    new FocusMarker(this);

    connect(ListView1, &MessageListView::ItemCheck, this, &Form4::ListView1_ItemCheck);
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton9, &QPushButton::clicked, this, [this] { PushButton9_Click(); });
    connect(PushButton10, &QPushButton::clicked, this, [this] { PushButton10_Click(); });
}

QPushButton* Form4::addButton(const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setFont(arialBold(11.25));
    button->setAutoDefault(false);
    return button;
}

// The buttons keep their design widths; where the design font is not at hand and a wider one
// stands in, the font shrinks until the longest caption fits.
void Form4::fitButtonFont() {
    const QList<QPushButton*> buttons{PushButton5, PushButton6, PushButton9, PushButton10};
    const int room = Twips::toPixels(halfButtonWidth) - 2 * Twips::toPixels(captionMargin);
    QFont font = PushButton9->font();
    const auto widest = [&] {
        const QFontMetrics metrics(font);
        int width = 0;
        for (QPushButton* button : buttons)
            width = std::max(width, metrics.horizontalAdvance(button->text()));
        return width;
    };
    while (widest() > room && font.pointSizeF() > 6)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setFont(font);
}

MessageListModel& Form4::ownedList() {
    return ListView1->list();
}

int Form4::showModal() {
    const int result = Prompter::current().showModal(*this);
    Form_Unload();
    return result;
}

void Form4::Form_Load() {
    Guard guard(this, location("Form_Load"));
    guard(0, [&] { ApplyDialogColours(this); });
    guard(104, [&] { CentreWindow(this); });
    guard(106, [&] { setWindowIcon(QApplication::windowIcon()); });
    const QString cursorFile = ProgramFolder() + QStringLiteral("/HAND-M.CUR");
    if (guard.test(108, [&] { return FileExists(cursorFile); })) {
        guard(110, [&] {
            if (const auto hand = loadCursorFile(cursorFile))
                pointer_->setCustomCursor(*hand);
        });
    }
    // The six headers (146 to 156) come with the list itself; the widths follow.
    const std::array<int, MessageListModel::columns> widths = {1300, 1600, 1600, 1600, 1600, 0};
    for (int column = 1; column <= MessageListModel::columns; ++column) {
        guard(156 + 2 * column, [&] {
            ListView1->setColumnWidthInTwips(column, widths[static_cast<std::size_t>(column - 1)]);
        });
    }
    guard(170, [&] { ListView1->list().clear(); });
    guard(172, [&] { ListView1->viewport()->update(); });
    guard(200, [&] { ListCounters::update(*this, false); });
    guard(202, [&] { CheckSearchActive = false; });
    for (const auto& [line, counterLabel] : {std::pair{204, Label1}, std::pair{206, Label2}}) {
        // clang before 16 cannot capture a structured binding in a lambda.
        QLabel* const label = counterLabel;
        guard(line, [&] {
            QPalette palette = label->palette();
            palette.setColor(QPalette::Window, QColor(255, 255, 255));
            // The text keeps its contrast under a dark theme.
            palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
            label->setPalette(palette);
            label->setAutoFillBackground(true);
        });
    }
}

void Form4::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form4::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

void Form4::Form_Resize() {
    // The rule is stated for the window's outer size; the frame is taken at its design size so
    // that the layout does not depend on the platform's window decorations.
    const Form4Layout layout =
        Form4Layout::compute(Twips::fromPixels(width()) + Form4Layout::frameWidth,
                             Twips::fromPixels(height()) + Form4Layout::frameHeight);
    ListView1->setGeometry(toPixels(layout.ListView1));
    ListView1->setColumnWidthsInTwips(layout.columnWidths);
    Label1->setGeometry(toPixels(layout.Label1));
    Label2->setGeometry(toPixels(layout.Label2));
    PushButton5->setGeometry(toPixels(layout.PushButton5));
    PushButton6->setGeometry(toPixels(layout.PushButton6));
    PushButton9->setGeometry(toPixels(layout.PushButton9));
    PushButton10->setGeometry(toPixels(layout.PushButton10));
    PushButton7->setGeometry(toPixels(layout.PushButton7));
    PushButton4->setGeometry(toPixels(layout.PushButton4));
    ListCounters::update(*this, false);
}

void Form4::Form_Unload() {
    MessageListModel& mine = ListView1->list();
    MessageListModel& theirs = main_.ownedList();
    // Rows correspond by position. The main list cannot change while this window is up, but should
    // it be shorter, the rows it lacks are skipped rather than failing the whole write-back.
    const int rows = std::min(mine.count(), theirs.count());
    for (int i = 1; i <= rows; ++i)
        theirs.setChecked(i, mine.isChecked(i));
}

void Form4::ListView1_ItemCheck(int) {
    ListCounters::update(*this, false);
}

void Form4::PushButton4_Click() {
    Guard guard(this, location("PushButton4_Click"));
    guard(100, [&] { close(); });
}

void Form4::PushButton5_Click() {
    SelectionCommands::checkAll(*this, location("PushButton5_Click"));
}

void Form4::PushButton6_Click() {
    SelectionCommands::uncheckAll(*this, location("PushButton6_Click"));
}

void Form4::PushButton7_Click() {
    Guard guard(this, location("PushButton7_Click"));
    guard(100, [&] { ListView1->list().clear(); });
    guard(102, [&] { main_.ownedList().clear(); });
    guard(104, [&] { ListCounters::update(*this, true); });
}

void Form4::PushButton9_Click() {
    SelectionCommands::checkMatching(*this, SelectionCommands::Search::Containing,
                                     location("PushButton9_Click"));
}

void Form4::PushButton10_Click() {
    SelectionCommands::checkMatching(*this, SelectionCommands::Search::NotContaining,
                                     location("PushButton10_Click"));
}
