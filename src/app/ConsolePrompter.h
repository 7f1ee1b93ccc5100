#pragma once

#include "base/Prompter.h"

#include <functional>

// The prompter of the command line: each box becomes lines on standard error ("quentaril: " and
// its text, then its detail), and nothing is ever asked: an input box or a folder browser gives
// nothing, a modal window is closed at once.
class ConsolePrompter final : public Prompter {
public:
    void message(QWidget* parent, const BoxContent& box) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt,
                                 const QString& title) override;
    QString browseForFolder(QWidget* parent, const QString& title,
                            const QString& startFolder) override;
    int showModal(QDialog& dialog) override;

    // Called before a message is written, so a progress line in the way can be cleared.
    std::function<void()> beforeWriting;
};
