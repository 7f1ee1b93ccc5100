#include "commands/RetrievalButtons.h"

#include "base/Twips.h"

#include <QPushButton>

namespace RetrievalButtons {

void showRunning(QPushButton* getAll, QPushButton* getSome) {
    getSome->setText(QString::fromLatin1(stopCaption));
    getAll->setText(QString::fromLatin1(stopCaption));
    // A screen reader says what the one button stops.
    getAll->setAccessibleName(QStringLiteral("Stop listing messages"));
    getAll->setFixedWidth(Twips::toPixels(7800));
    getSome->setVisible(false);
}

void showIdle(QPushButton* getAll, QPushButton* getSome) {
    getAll->setText(QStringLiteral("2a. Get All Emails"));
    getSome->setText(QStringLiteral("2b. Get Some Emails"));
    getAll->setAccessibleName(QString());
    getAll->setFixedWidth(Twips::toPixels(3840));
    getSome->setVisible(true);
}

bool isRunning(const QPushButton* getAll) {
    return getAll->text() == QLatin1String(stopCaption);
}

} // namespace RetrievalButtons
