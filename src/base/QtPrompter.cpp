#include "base/QtPrompter.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

QMessageBox::Icon toQt(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Exclamation:
        return QMessageBox::Warning;
    case BoxIcon::Critical:
        return QMessageBox::Critical;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtPrompter::message(QWidget* parent, const BoxContent& box) {
    QMessageBox messageBox(toQt(box.icon), box.title, box.text, QMessageBox::Ok, parent);
    // Texts carry folder names and system messages: shown as written, never read as markup.
    messageBox.setTextFormat(Qt::PlainText);
    if (!box.detail.isEmpty())
        messageBox.setDetailedText(box.detail);
    messageBox.exec();
}

std::optional<QString> QtPrompter::input(QWidget* parent, const QString& prompt,
                                         const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, {}, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

QString QtPrompter::browseForFolder(QWidget* parent, const QString& title,
                                    const QString& startFolder) {
    return QFileDialog::getExistingDirectory(parent, title, startFolder, QFileDialog::ShowDirsOnly);
}

int QtPrompter::showModal(QDialog& dialog) {
    return dialog.exec();
}
