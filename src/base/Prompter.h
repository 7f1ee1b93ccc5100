#pragma once

#include <QString>

#include <optional>

class QDialog;
class QWidget;

// Every message box, input box, folder browser and modal show of the program goes through the
// current Prompter. The application installs the one that shows real dialogs; tests install a
// scripted one that records what was shown and answers from a queue.

enum class BoxIcon { None, Information, Exclamation, Critical };

// What one message box shows.
struct BoxContent {
    QString title;
    QString text;
    BoxIcon icon = BoxIcon::None;
    QString detail; // optional detailed text (for example the mail component's last error)
};

class Prompter {
public:
    virtual ~Prompter() = default;

    virtual void message(QWidget* parent, const BoxContent& box) = 0;
    // An input box with OK and Cancel; Cancel (or Escape, or the close box) gives no text.
    virtual std::optional<QString> input(QWidget* parent, const QString& prompt,
                                         const QString& title) = 0;
    // The folder browser, opened at startFolder; Cancel gives the empty string.
    virtual QString browseForFolder(QWidget* parent, const QString& title,
                                    const QString& startFolder) = 0;
    // Shows a dialog modally and returns its result code.
    virtual int showModal(QDialog& dialog) = 0;

    static Prompter& current();
    // Installs a prompter (not owned); nullptr puts the real dialogs back.
    static void install(Prompter* prompter);
};

// Title of every box that sets no title of its own.
QString applicationTitle();

// A plain box with OK and the application title, the common case.
void showMessage(QWidget* parent, const QString& text, BoxIcon icon = BoxIcon::None,
                 const QString& detail = {});
