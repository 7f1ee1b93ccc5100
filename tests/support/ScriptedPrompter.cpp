#include "ScriptedPrompter.h"

#include <QDialog>

ScriptedPrompter::ScriptedPrompter() {
    Prompter::install(this);
}

ScriptedPrompter::~ScriptedPrompter() {
    Prompter::install(nullptr);
}

void ScriptedPrompter::message(QWidget*, const BoxContent& box) {
    boxes.append(box);
    if (onMessage)
        onMessage(box);
}

std::optional<QString> ScriptedPrompter::input(QWidget*, const QString& prompt, const QString&) {
    inputPrompts.append(prompt);
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.dequeue();
}

QString ScriptedPrompter::browseForFolder(QWidget*, const QString& title,
                                          const QString& startFolder) {
    folderTitles.append(title);
    folderStarts.append(startFolder);
    return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
}

int ScriptedPrompter::showModal(QDialog& dialog) {
    dialog.setResult(QDialog::Rejected);
    if (!dialogDrivers.isEmpty()) {
        dialog.show();
        dialogDrivers.dequeue()(dialog);
    }
    if (dialog.isVisible())
        dialog.close();
    return dialog.result();
}

QStringList ScriptedPrompter::texts() const {
    QStringList result;
    for (const BoxContent& box : boxes)
        result.append(box.text);
    return result;
}

void ScriptedPrompter::clear() {
    boxes.clear();
    inputPrompts.clear();
    folderTitles.clear();
    folderStarts.clear();
}
