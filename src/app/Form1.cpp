#include "app/Form1.h"

#include "auth/SignIn.h"
#include "auth/TokenStore.h"

#include "base/FocusMarker.h"
#include "base/IndicatorContrastStyle.h"
#include "base/ShellUtilities.h"
#include "base/Twips.h"
#include "job/ListedOrigin.h"
#include "list/MessageListView.h"
#include "mail/MailImap.h"
#include "mail/clsMailIMAP.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

template <class Control, class... Arguments>
Control* named(const char* objectName, Arguments&&... arguments) {
    auto* control = new Control(std::forward<Arguments>(arguments)...);
    control->setObjectName(QString::fromLatin1(objectName));
    return control;
}

QHBoxLayout* row(QWidget* left, QWidget* right) {
    auto* layout = new QHBoxLayout;
    layout->addWidget(left);
    layout->addWidget(right);
    return layout;
}

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent), createComponent(&createMailImap),
      startupDraw([] { return QRandomGenerator::global()->bounded(1, 101); }) {
    IndicatorContrastStyle::install();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quentaril"));
    pointer_ = new PointerControl(this);
    buildControls();
    connectHandlers();
    attachPointerHandlers();
    new FocusMarker(this);
}

Form1::~Form1() = default;

void Form1::buildControls() {
    // Row 1: login.
    Frame5 = named<QGroupBox>("Frame5", QStringLiteral("Login"));
    lblLabels[0] = named<QLabel>("lblLabels(0)", QStringLiteral("Live ID:"));
    lblLabels[1] = named<QLabel>("lblLabels(1)", QStringLiteral("Password:"));
    Text1 = named<QLineEdit>("Text1");
    Combo1 = named<QComboBox>("Combo1");
    Combo1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Check1 = named<QCheckBox>("Check1", QStringLiteral("Remember me"));
    Text2 = named<QLineEdit>("Text2");
    Text2->setEchoMode(QLineEdit::Password);
    // Each character shows as "*".
    Text2->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    Check2 = named<QCheckBox>("Check2", QStringLiteral("Autoconnect when software loads"));
    PushButton5 = named<QPushButton>("PushButton5", QStringLiteral("1. Connect"));
    PushButton8 = named<QPushButton>("PushButton8", QStringLiteral("Help"));
    lblLabels[0]->setBuddy(Text1);
    lblLabels[1]->setBuddy(Text2);
    // On Linux a screen reader reads a drop-down's current entry as its name and takes its label
    // from the label whose buddy it is. This label is never shown: the login row keeps its look.
    auto* suffixLabel = named<QLabel>("lblSuffix", QStringLiteral("Account suffix"), Frame5);
    suffixLabel->setBuddy(Combo1);
    suffixLabel->hide();
    auto* login = new QGridLayout(Frame5);
    login->addWidget(lblLabels[0], 0, 0);
    login->addWidget(Text1, 0, 1);
    login->addWidget(Combo1, 0, 2);
    login->addWidget(Check1, 0, 3);
    login->addWidget(lblLabels[1], 1, 0);
    login->addWidget(Text2, 1, 1, 1, 2);
    login->addWidget(Check2, 1, 3);
    PushButton8->setFixedWidth(Twips::toPixels(1200));
    login->addLayout(row(PushButton5, PushButton8), 2, 0, 1, 4);
    login->setColumnStretch(1, 1);

    // Row 2: folder.
    Frame2 = named<QGroupBox>("Frame2", QStringLiteral("Folder"));
    Option3 = named<QRadioButton>("Option3", QStringLiteral("Inbox"));
    Option5 = named<QRadioButton>("Option5", QStringLiteral("Drafts"));
    Option6 = named<QRadioButton>("Option6", QStringLiteral("Sent"));
    Option7 = named<QRadioButton>("Option7", QStringLiteral("Junk"));
    Option9 = named<QRadioButton>("Option9", QStringLiteral("Deleted"));
    folderGroup = new QButtonGroup(this);
    auto* folders = new QHBoxLayout(Frame2);
    for (QRadioButton* option : {Option3, Option5, Option6, Option7, Option9}) {
        folderGroup->addButton(option);
        folders->addWidget(option);
    }

    // Row 3: filter.
    Frame6 = named<QGroupBox>(
        "Frame6", QStringLiteral("Optional: Filter (Only emails containing these characters will "
                                 "be added to the list)"));
    txtSearch = named<QLineEdit>("txtSearch");
    (new QVBoxLayout(Frame6))->addWidget(txtSearch);

    // Rows 4 and 5: retrieval and the larger view.
    PushButton10 = named<QPushButton>("PushButton10", QStringLiteral("2a. Get All Emails"));
    PushButton2 = named<QPushButton>("PushButton2", QStringLiteral("2b. Get Some Emails"));
    PushButton10->setFixedWidth(Twips::toPixels(3840));
    PushButton2->setFixedWidth(Twips::toPixels(3840));
    PushButton12 = named<QPushButton>("PushButton12", QStringLiteral("Show List In Larger View"));

    // Rows 6 and 7: the list and its counters.
    ListView1 = named<MessageListView>("ListView1");
    ListView1->setToolTip(
        QStringLiteral("Move bar to right and out of window to reveal full names."));
    ListView1->setMinimumHeight(Twips::toPixels(2700));
    Label1 = named<QLabel>("Label1", QStringLiteral("Total Number Of Emails: "));
    Label2 = named<QLabel>("Label2", QStringLiteral("Selected Emails: "));
    for (QLabel* counter : {Label1, Label2}) {
        counter->setFrameShape(QFrame::StyledPanel);
        counter->setMargin(Twips::toPixels(45));
    }

    // Rows 8 to 10: selection commands.
    PushButton4 = named<QPushButton>("PushButton4", QStringLiteral("Check All"));
    PushButton6 = named<QPushButton>("PushButton6", QStringLiteral("Uncheck All"));
    PushButton9 = named<QPushButton>("PushButton9", QStringLiteral("Check Emails Containing..."));
    PushButton11 =
        named<QPushButton>("PushButton11", QStringLiteral("Check Emails Not Containing..."));
    PushButton3 = named<QPushButton>("PushButton3", QStringLiteral("Clear List"));

    // Row 11: save method.
    Frame3 = named<QGroupBox>("Frame3", QStringLiteral("Save Method"));
    Option1 =
        named<QRadioButton>("Option1", QStringLiteral("Save Each Email To Separate Text Files"));
    Option2 = named<QRadioButton>("Option2", QStringLiteral("Save All Emails To One Text File"));
    saveMethodGroup = new QButtonGroup(this);
    saveMethodGroup->addButton(Option1);
    saveMethodGroup->addButton(Option2);
    auto* saveMethod = new QVBoxLayout(Frame3);
    saveMethod->addWidget(Option1);
    saveMethod->addWidget(Option2);
    Check3 = named<QCheckBox>("Check3", QStringLiteral("Skip emails already saved to this folder"));
    saveMethod->addWidget(Check3);

    // Row 12: output folder.
    Frame1 = named<QGroupBox>("Frame1",
                              QStringLiteral("Save Windows Live Hotmail Emails To This Folder"));
    Text3 = named<QLineEdit>("Text3");
    PushButton1 = named<QPushButton>("PushButton1", QStringLiteral("..."));
    PushButton1->setFixedWidth(Twips::toPixels(600));
    Frame1->setLayout(row(Text3, PushButton1));

    // Rows 13 and 14: download and status.
    PushButton7 = named<QPushButton>("PushButton7", QStringLiteral("3. Start Downloading"));
    ProgressBar1 = named<StatusLine>("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    nameForScreenReaders();

    // The design layout sits in a scroll area: a screen too low for it gets a window as tall as
    // the screen allows, and the rest of the controls are scrolled to.
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("content"));
    const int gap = Twips::toPixels(120);
    auto* window = new QVBoxLayout(content);
    window->setContentsMargins(gap, gap, gap, gap);
    window->setSpacing(Twips::toPixels(90));
    window->addWidget(Frame5);
    window->addWidget(Frame2);
    window->addWidget(Frame6);
    auto* retrieval = row(PushButton10, PushButton2);
    retrieval->setAlignment(Qt::AlignHCenter);
    window->addLayout(retrieval);
    window->addWidget(PushButton12);
    window->addWidget(ListView1, 1);
    window->addLayout(row(Label1, Label2));
    window->addLayout(row(PushButton4, PushButton6));
    window->addLayout(row(PushButton9, PushButton11));
    window->addWidget(PushButton3);
    window->addWidget(Frame3);
    window->addWidget(Frame1);
    window->addWidget(PushButton7);
    window->addWidget(ProgressBar1);
    content->setMinimumWidth(Twips::toPixels(8100));

    scrollArea_ = new QScrollArea;
    scrollArea_->setObjectName(QStringLiteral("scrollArea"));
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setWidget(content);
    // The scroll area only holds the controls: Tab never stops on it, where no frame would show.
    scrollArea_->setFocusPolicy(Qt::NoFocus);
    // The window's colours (the skin's too) show through.
    scrollArea_->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scrollArea_);
    sizeToDesign();
}

// The design layout at its natural size, with room for a vertical scroll bar beside it so that a
// window cut to a low screen scrolls only up and down.
void Form1::sizeToDesign() {
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QWidget* content = scrollArea_->widget();
    // A low window scrolls the whole design layout rather than squeezing it.
    content->setMinimumHeight(0);
    content->setMinimumHeight(content->sizeHint().height());
    setMinimumWidth(content->minimumSizeHint().width() + scrollBar);
    resize(content->sizeHint() + QSize(scrollBar, 0));
}

// Start-up filled the controls (the drop-down is as wide as its longest entry): the first show
// takes the design size anew and centres it. Once a window manager has framed the window, its
// frame is known, and the window is fitted again so that the title bar and the bottom row stay
// on the screen.
void Form1::showEvent(QShowEvent* event) {
    if (!event->spontaneous() && !shownBefore_) {
        shownBefore_ = true;
        shownAt_.start();
        // The frame may come without an event of its own: it is looked for until it has settled.
        settling_.setInterval(100);
        connect(&settling_, &QTimer::timeout, this, &Form1::fitWithFrame);
        settling_.start();
        sizeToDesign();
        CentreWindow(this);
        // The first keys typed go to the Live ID, or, when a remembered sign-in has filled the
        // boxes, to "1. Connect".
        const bool remembered = Check1->isChecked() && !Text1->text().isEmpty();
        (remembered ? static_cast<QWidget*>(PushButton5) : Text1)->setFocus();
    }
    QWidget::showEvent(event);
    QTimer::singleShot(0, this, [this] {
        if (!FrameKnown(this)) {
            if (const QScreen* shown = screen())
                FitToArea(this, shown->availableGeometry());
        } else {
            fitWithFrame();
        }
    });
}

// A window manager frames the window after it is shown, and may place it as it likes: until the
// window has settled inside the screen with its frame, it is fitted again with the real frame, so
// that the title bar stays on the screen. Later moves are the user's.
void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    fitWithFrame();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitWithFrame();
}

void Form1::fitWithFrame() {
    // A window that cannot fit (its minimum larger than the screen) is not fought over for ever.
    constexpr qint64 settling = 15000;
    constexpr int settledChecks = 5;
    const QScreen* shown = screen();
    if (settled_ || !shownAt_.isValid() || shownAt_.elapsed() > settling) {
        settling_.stop();
        return;
    }
    if (!shown || !FrameKnown(this))
        return;
    const QRect area = shown->availableGeometry();
    const QRect frame = frameGeometry();
    if (fittedToFrame_ && area.contains(frame)) {
        // Inside for a while: the window manager has done with it.
        if (++insideChecks_ >= settledChecks) {
            settled_ = true;
            settling_.stop();
        }
        return;
    }
    insideChecks_ = 0;
    const QSize design = scrollArea_->widget()->sizeHint() +
                         QSize(style()->pixelMetric(QStyle::PM_ScrollBarExtent), 0);
    if (!fittedToFrame_ || frame.height() > area.height() || frame.width() > area.width()) {
        fittedToFrame_ = true;
        // The title bar assumed before may have been taller than the real one.
        FitToArea(this, area, design);
        return;
    }
    // Some window managers take the position asked for as the client's, not the frame's: the
    // client is moved by what the frame lacks.
    QPoint shift;
    if (frame.left() < area.left())
        shift.setX(area.left() - frame.left());
    else if (frame.right() > area.right())
        shift.setX(area.right() - frame.right());
    if (frame.top() < area.top())
        shift.setY(area.top() - frame.top());
    else if (frame.bottom() > area.bottom())
        shift.setY(area.bottom() - frame.bottom());
    setGeometry(geometry().translated(shift));
}

// Names a person would say for the controls whose caption does not say it already.
void Form1::nameForScreenReaders() {
    Text1->setAccessibleName(QStringLiteral("Live ID"));
    Combo1->setAccessibleName(QStringLiteral("Account suffix"));
    Text2->setAccessibleName(QStringLiteral("Password"));
    txtSearch->setAccessibleName(QStringLiteral("Filter"));
    ListView1->setAccessibleName(QStringLiteral("Messages"));
    Text3->setAccessibleName(QStringLiteral("Save folder"));
    PushButton1->setAccessibleName(QStringLiteral("Choose folder"));
    ProgressBar1->setAccessibleName(QStringLiteral("Status"));
}

void Form1::connectHandlers() {
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(Text3, &QLineEdit::textChanged, this, &Form1::Text3_Change);
    for (QLineEdit* box : {Text1, Text2, Text3})
        box->installEventFilter(this);
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);
    connect(Check2, &QCheckBox::toggled, this, &Form1::Check2_Click);
    connect(Check3, &QCheckBox::toggled, this, &Form1::Check3_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form1::Combo1_Click);
    // Return in the login boxes connects, as a click on "1. Connect" does.
    connect(Text1, &QLineEdit::returnPressed, PushButton5, &QPushButton::click);
    connect(Text2, &QLineEdit::returnPressed, PushButton5, &QPushButton::click);

    const auto onSelect = [this](QRadioButton* option, void (Form1::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool selected) {
            if (selected)
                (this->*handler)();
        });
    };
    onSelect(Option1, &Form1::Option1_Click);
    onSelect(Option2, &Form1::Option2_Click);
    onSelect(Option3, &Form1::Option3_Click);
    onSelect(Option5, &Form1::Option5_Click);
    onSelect(Option6, &Form1::Option6_Click);
    onSelect(Option7, &Form1::Option7_Click);
    onSelect(Option9, &Form1::Option9_Click);

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
    connect(PushButton10, &QPushButton::clicked, this, &Form1::PushButton10_Click);
    connect(PushButton11, &QPushButton::clicked, this, &Form1::PushButton11_Click);
    connect(PushButton12, &QPushButton::clicked, this, &Form1::PushButton12_Click);
    connect(ListView1, &MessageListView::ItemCheck, this, &Form1::ListView1_ItemCheck);
}

void Form1::attachPointerHandlers() {
    for (QPushButton* button :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7,
          PushButton8, PushButton9, PushButton11, PushButton12})
        pointer_->attachHand(button);
    pointer_->attachHand(PushButton10, true);
    for (QWidget* surface : std::initializer_list<QWidget*>{
             this, Frame1, Frame2, Frame3, Frame5, Frame6, Label2, lblLabels[0], lblLabels[1],
             ListView1, Option1, Option2, Option7, Text1, Text2, Text3, txtSearch})
        pointer_->attachNormal(surface);
    for (QWidget* control :
         std::initializer_list<QWidget*>{Label1, Check1, Check2, Check3, Combo1, Option3, Option5,
                                         Option6, Option9, ProgressBar1})
        pointer_->attachNothing(control);
}

MailImap& Form1::mailComponent() {
    if (!component_)
        component_ = createComponent();
    return *component_;
}

MessageListModel& Form1::ownedList() {
    return ListView1->list();
}

void Form1::setProgressText(const QString& text) {
    ProgressBar1->setStatusText(text, StatusLine::Pace::Progress);
    emit statusTextChanged(text);
}

void Form1::setStatusText(const QString& text) {
    ProgressBar1->setStatusText(text);
    emit statusTextChanged(text);
}

QString Form1::statusText() const {
    return ProgressBar1->statusText();
}

void Form1::setMousePointer(MousePointer code) {
    pointer_->setCode(code);
}

MousePointer Form1::mousePointer() const {
    return pointer_->code();
}

QUrl Form1::makerAddress() {
    return QUrl(QStringLiteral("https://www.vantrello.com/"));
}

void Form1::bindSession(const std::shared_ptr<clsMailIMAP>& session) {
    // Events reach the window only while the session is the window's current one.
    clsMailIMAP* raw = session.get();
    raw->SetPlainBodiesInUtf8(true); // the body store keeps them in UTF-8
    connect(raw, &clsMailIMAP::MailExtractListing, this,
            [this, raw](const QString& From, const QString& FromName, const QString& FromAddress,
                        const QString& Subject, const QString& ReceivedDate,
                        const QString& PlainTextBody, const QString& HTMLTextBody, qint32 uID) {
                if (oMail.get() != raw)
                    return;
                listedOrigin_ = job::listedOrigin(*raw, FromAddress);
                listedPlainTextUtf8_ = raw->ListedPlainTextUtf8();
                oMail_MailExtractListing(From, FromName, FromAddress, Subject, ReceivedDate,
                                         PlainTextBody, HTMLTextBody, uID);
                listedOrigin_ = {};
                listedPlainTextUtf8_.clear();
            });
    connect(raw, &clsMailIMAP::ScrapProgress, this, [this, raw](qint32 percent) {
        if (oMail.get() == raw)
            oMail_ScrapProgress(percent);
    });
    connect(raw, &clsMailIMAP::ErrorLogUnwritable, this, [this](const QString& reason) {
        setStatusText(QStringLiteral("errorlog.txt cannot be written (%1); listing goes on "
                                     "without it.")
                          .arg(reason));
    });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        // After the click that gave the focus has placed the cursor.
        if (watched == Text1)
            QTimer::singleShot(0, this, &Form1::Text1_GotFocus);
        else if (watched == Text2)
            QTimer::singleShot(0, this, &Form1::Text2_GotFocus);
        else if (watched == Text3)
            QTimer::singleShot(0, this, &Form1::Text3_GotFocus);
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Text1_GotFocus() {
    Text1->selectAll();
}

void Form1::Text2_GotFocus() {
    Text2->selectAll();
}

void Form1::Text3_GotFocus() {
    Text3->selectAll();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Running commands stop at their next check; every setting is already stored.
    StopDownloadRequested = true;
    abortRetrievals();
    closing_ = true;
    if (signIn_)
        signIn_->cancel();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->isVisible())
            window->close();
    }
    event->accept();
    emit closed();
}
