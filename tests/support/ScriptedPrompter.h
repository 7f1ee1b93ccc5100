#pragma once

#include "base/Prompter.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

// A prompter for tests: records every box it is asked to show and answers from queues. A modal
// dialog is handed to the next queued driver, which may fill fields and click buttons; with no
// driver queued the dialog is rejected. While it lives it is the installed prompter.
class ScriptedPrompter final : public Prompter {
public:
    using DialogDriver = std::function<void(QDialog&)>;

    ScriptedPrompter();
    ~ScriptedPrompter() override;

    void message(QWidget* parent, const BoxContent& box) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt,
                                 const QString& title) override;
    QString browseForFolder(QWidget* parent, const QString& title,
                            const QString& startFolder) override;
    int showModal(QDialog& dialog) override;

    // What was shown, in order.
    QList<BoxContent> boxes;
    QStringList inputPrompts;
    QStringList folderTitles;
    QStringList folderStarts;

    // Answers, taken in order; no text, or an empty queue, answers like Cancel.
    QQueue<std::optional<QString>> inputAnswers;
    QQueue<QString> folderAnswers;
    QQueue<DialogDriver> dialogDrivers;

    // Runs when a message box is shown (for example to click Stop while a listing runs).
    std::function<void(const BoxContent&)> onMessage;

    QStringList texts() const;
    void clear();
};
