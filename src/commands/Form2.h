#pragma once

#include <QDialog>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class PointerControl;
class clsMailIMAP;

// The range dialog of "Get Some Emails": asks for the first and the last message number, checks
// them against the folder's message count and writes the accepted range into the session as
// CurrentLocation and MaxRecord. RangeAccepted tells the caller whether a range was accepted;
// SkipDoneMessage is set whenever the dialog closes.
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget* owner);

    qint32 MaxMessage() const { return maxMessage_; }
    void setMaxMessage(qint32 value) { maxMessage_ = value; }
    const std::shared_ptr<clsMailIMAP>& MailIMAP() const { return mailIMAP_; }
    void setMailIMAP(std::shared_ptr<clsMailIMAP> session) { mailIMAP_ = std::move(session); }

    // Loads the dialog, shows it modally through the current prompter and unloads it.
    int showModal();

    std::array<QLabel*, 2> Label1{};    // "From:", "To (Max of N)"
    std::array<QLineEdit*, 2> Text1{};  // first and last message number
    QPushButton* PushButton1 = nullptr; // "Continue"
    QPushButton* Command1 = nullptr;    // the default button, outside the visible area

    void Form_Load();
    void PushButton1_Click();
    void Command1_Click() { PushButton1_Click(); }
    void Form_Unload();

private:
    qint32 maxMessage_ = 0;
    PointerControl* pointer_ = nullptr;
    std::shared_ptr<clsMailIMAP> mailIMAP_;
};
