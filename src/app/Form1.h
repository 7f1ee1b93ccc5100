#pragma once

#include "base/MousePointer.h"
#include "base/StatusLine.h"
#include "commands/RetrievalOwner.h"
#include "list/ListOwner.h"
#include "list/MessageOrigin.h"
#include "mail/AccessTokenSource.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class BrowserSignInBox;
class DeviceCodeBox;
class MailImap;
class MessageListView;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class StatusLine;
class clsMailIMAP;

namespace auth {
class SignIn;
class TokenStore;
} // namespace auth

// The main window: log in, choose a folder, list its messages, check them and save them as text.
// Controls carry the names of the window design, as object names too. The handlers are named after
// control and event; each command's logic lives in the folder of the subsystem that owns it.
class Form1 : public QWidget, public ListOwner, public RetrievalOwner {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Row 1: login.
    QGroupBox* Frame5 = nullptr;
    std::array<QLabel*, 2> lblLabels{};
    QLineEdit* Text1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QCheckBox* Check2 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton8 = nullptr;
    // Row 2: folder.
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option5 = nullptr;
    QRadioButton* Option6 = nullptr;
    QRadioButton* Option7 = nullptr;
    QRadioButton* Option9 = nullptr;
    // Row 3: filter.
    QGroupBox* Frame6 = nullptr;
    QLineEdit* txtSearch = nullptr;
    // Rows 4 and 5: retrieval and the larger view.
    QPushButton* PushButton10 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton12 = nullptr;
    // Rows 6 and 7: the list and its counters.
    MessageListView* ListView1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    // Rows 8 to 10: selection commands.
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QPushButton* PushButton11 = nullptr;
    QPushButton* PushButton3 = nullptr;
    // Row 11: save method.
    QGroupBox* Frame3 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QCheckBox* Check3 = nullptr; // "Skip emails already saved to this folder"
    // Row 12: output folder.
    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* PushButton1 = nullptr;
    // Rows 13 and 14: download and status.
    QPushButton* PushButton7 = nullptr;
    StatusLine* ProgressBar1 = nullptr;

    QButtonGroup* saveMethodGroup = nullptr;
    QButtonGroup* folderGroup = nullptr;

    // The current mail session, or none. Only the session held here delivers its events to the
    // window: a session that was dropped stops feeding the list and the progress bar.
    std::shared_ptr<clsMailIMAP> oMail;
    bool CheckSearchActive = false;
    bool StopDownloadRequested = false;
    // A download is walking the list.
    bool downloadRunning() const override { return downloadRunning_; }
    // The sessions of the retrieval runs in progress, each held by its command; a run may start
    // inside another's yield, and a Disconnect may have dropped oMail meanwhile.
    QList<clsMailIMAP*> runningSessions;
    // Stop: every run in progress ends after its next fetched message.
    void abortRetrievals();

    // The window's IMAP component, created by Form_Load.
    MailImap& mailComponent();
    // Builds the component in Form_Load; tests may replace it before.
    std::function<std::unique_ptr<MailImap>()> createComponent;

    // A new session on the window's component, with the server and the login of the window.
    std::shared_ptr<clsMailIMAP> newSession() override;
    // The Live ID: Text1, followed by Combo1's text when that begins with "@".
    QString liveId() const;
    // OAuth2 sign-in (AuthMethod=oauth2): the window's one sign-in and keyring store, made on first
    // use from the stored settings; prepareSignIn, when set, adjusts the sign-in then (tests give
    // it a simulated browser). browserSignInBox() and deviceCodeBox() are the boxes of a browser
    // and of a device-code sign-in while it waits.
    static bool usesOAuth2();
    auth::SignIn& signIn();
    std::function<void(auth::SignIn&)> prepareSignIn;
    BrowserSignInBox* browserSignInBox() const;
    DeviceCodeBox* deviceCodeBox() const;

    // The one-line text shown on the progress bar.
    void setStatusText(const QString& text) override;
    // A text of a run's progress: screen readers hear it at a pace, not at every change.
    void setProgressText(const QString& text);
    QString statusText() const;

    // Pointer codes of this window (default, hourglass, the custom hand).
    void setMousePointer(MousePointer code) override;
    MousePointer mousePointer() const;
    PointerControl& pointerControl() { return *pointer_; }

    // The start-up draw: a whole number from 1 to 100; a 7 offers the maker's web site, opened by
    // openAddress. Both can be replaced; with no opener nothing is opened.
    std::function<int()> startupDraw;
    std::function<void(const QUrl&)> openAddress;
    static QUrl makerAddress();

    // Handlers.
    void Form_Load();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void PushButton11_Click();
    void PushButton12_Click();
    void oMail_MailExtractListing(const QString& From, const QString& FromName,
                                  const QString& FromAddress, const QString& Subject,
                                  const QString& ReceivedDate, const QString& PlainTextBody,
                                  const QString& HTMLTextBody, qint32 uID);
    void oMail_ScrapProgress(qint32 percent);
    void ListView1_ItemCheck(int position);
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text1_GotFocus();
    void Text2_GotFocus();
    void Text3_GotFocus();
    void Check1_Click();
    void Check2_Click();
    void Check3_Click();
    void Combo1_Click();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option5_Click();
    void Option6_Click();
    void Option7_Click();
    void Option9_Click();

    void UpdateCounters(bool ShowZero) override;
    qint32 CountChecked();

    // ListOwner
    QWidget* listWindow() override { return this; }
    MessageListModel& ownedList() override;
    QLabel* totalLabel() override { return Label1; }
    QLabel* selectedLabel() override { return Label2; }
    bool& checkSearchActive() override { return CheckSearchActive; }

    // RetrievalOwner
    QWidget* retrievalWindow() override { return this; }
    QPushButton* connectButton() override { return PushButton5; }
    QPushButton* getAllButton() override { return PushButton10; }
    QPushButton* getSomeButton() override { return PushButton2; }
    QProgressBar* progressBar() override { return ProgressBar1; }
    MessageListView* messageList() override { return ListView1; }
    QString chosenFolder() const override;
    std::shared_ptr<clsMailIMAP>& currentSession() override { return oMail; }
    QList<clsMailIMAP*>& retrievalRuns() override { return runningSessions; }

signals:
    // The window was closed: the program ends.
    void closed();
    void statusTextChanged(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void nameForScreenReaders();
    void connectHandlers();
    void attachPointerHandlers();
    void bindSession(const std::shared_ptr<clsMailIMAP>& session);
    void sizeToDesign();
    // Connect's sign-in: the only one that may open the sign-in page; with OAuth2 and no client
    // ID it shows the box that says so instead.
    bool connectSession(clsMailIMAP& session);
    AccessTokenSource tokenSource(const QString& user);
    void showBrowserSignIn(const QUrl& address);
    void showDeviceCode(const QString& userCode, const QUrl& address);
    void closeSignInBoxes();
    void applyAuthMethod();
    // Forgets the user's sign-in: the keyring's copy only, or (signing out) the session's too.
    void forgetSignIn(bool signOut);
    QString takeKeyringNotice();

    std::unique_ptr<MailImap> component_;
    PointerControl* pointer_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    bool shownBefore_ = false;
    bool fittedToFrame_ = false;
    int insideChecks_ = 0;
    bool settled_ = false; // inside the screen with its frame: later moves are the user's
    QElapsedTimer shownAt_;
    QTimer settling_;
    void fitWithFrame();
    // Form_Load is filling the password box before "Remember me" is restored: that change must
    // not store an empty password over the remembered one.
    bool restoring_ = false;
    std::unique_ptr<auth::TokenStore> tokenStore_;
    std::unique_ptr<auth::SignIn> signIn_;
    QPointer<BrowserSignInBox> browserBox_;
    QPointer<DeviceCodeBox> deviceCodeBox_;
    bool signInInteractive_ = false;
    bool downloadRunning_ = false;
    // The window was closed: a sign-in still waiting ends, and one that ends now gives no token.
    bool closing_ = false;
    QString keyringNotice_;
    // Where the message of the listing event being handled came from.
    MessageOrigin listedOrigin_;
    QByteArray listedPlainTextUtf8_; // its plain body, when it comes in UTF-8
};
