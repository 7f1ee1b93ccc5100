#pragma once

#include "base/Prompter.h"

// The prompter that shows real Qt dialogs.
class QtPrompter final : public Prompter {
public:
    void message(QWidget* parent, const BoxContent& box) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt,
                                 const QString& title) override;
    QString browseForFolder(QWidget* parent, const QString& title,
                            const QString& startFolder) override;
    int showModal(QDialog& dialog) override;
};
