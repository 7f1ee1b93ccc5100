#include "commands/Form2.h"

#include "base/Conversions.h"
#include "base/FocusMarker.h"
#include "base/Guard.h"
#include "base/MousePointer.h"
#include "base/Prompter.h"
#include "base/ShellUtilities.h"
#include "commands/RequireSession.h"
#include "commands/RetrievalFlags.h"
#include "mail/clsMailIMAP.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Form2::Form2(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Get Some Emails"));

    auto* layout = new QGridLayout(this);
    const std::array<QString, 2> captions{QStringLiteral("From:"),
                                          QStringLiteral("To (Max of 0):")};
    for (int i = 0; i < 2; ++i) {
        Label1[i] = new QLabel(captions[i], this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Text1[i] = new QLineEdit(QStringLiteral("1"), this);
        Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        Label1[i]->setBuddy(Text1[i]);
        layout->addWidget(Label1[i], 0, i);
        layout->addWidget(Text1[i], 1, i);
    }
    PushButton1 = new QPushButton(QStringLiteral("Continue"), this);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setAutoDefault(false);
    layout->addWidget(PushButton1, 2, 0, 1, 2);

    // Enter in either field clicks the default button, which sits where it cannot be seen.
    Command1 = new QPushButton(QStringLiteral("Command1"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command1->setFocusPolicy(Qt::NoFocus);
    Command1->setGeometry(-1000, -1000, 10, 10);

    pointer_ = new PointerControl(this);
    pointer_->attachHand(PushButton1);
    pointer_->attachNormal(this);
    new FocusMarker(this);

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

int Form2::showModal() {
    Form_Load();
    const int result = Prompter::current().showModal(*this);
    Form_Unload();
    return result;
}

void Form2::Form_Load() {
    ApplyDialogColours(this);
    adjustSize();
    CentreWindow(this);
    if (const auto hand = loadCursorFile(ProgramFolder() + QStringLiteral("/HAND-M.CUR")))
        pointer_->setCustomCursor(*hand);

    RangeAccepted = false;
    const QString maximum = QString::number(maxMessage_);
    Text1[1]->setText(maximum);
    Label1[1]->setText(QStringLiteral("To (Max of ") + maximum + u')');

    setTabOrder(Text1[1], Text1[0]);
    setTabOrder(Text1[0], PushButton1);
    Text1[1]->setFocus();
    // The whole text selected with the caret at its start, so that typing replaces it.
    Text1[1]->setSelection(static_cast<int>(maximum.size()), -static_cast<int>(maximum.size()));
}

void Form2::PushButton1_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/2015.Form3.PushButton1_Click "));
    if (guard.test(100, [&] { return !(Conversions::readNumber(Text1[0]->text()) > 0); })) {
        guard(102, [&] {
            showMessage(this, QStringLiteral("Please input a value greater than zero!"),
                        BoxIcon::Exclamation);
        });
        return;
    }
    if (guard.test(104, [&] {
            const double last = Conversions::readNumber(Text1[1]->text());
            return !(last > 0) || last > maxMessage_;
        })) {
        guard(106, [&] {
            showMessage(this,
                        QStringLiteral("Please input max value greater than zero (0) and less than "
                                       "or equal to ") +
                            QString::number(maxMessage_) + u'!',
                        BoxIcon::Exclamation);
        });
        return;
    }
    guard(108, [&] {
        requireSession(mailIMAP_).CurrentLocation =
            Conversions::roundToInt32(Conversions::readNumber(Text1[0]->text()));
    });
    guard(110, [&] {
        requireSession(mailIMAP_).MaxRecord =
            Conversions::roundToInt32(Conversions::readNumber(Text1[1]->text()));
    });
    guard(112, [&] { RangeAccepted = true; });
    guard(114, [&] { accept(); });
}

void Form2::Form_Unload() {
    SkipDoneMessage = true;
}
