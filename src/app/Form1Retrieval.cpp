#include "app/Form1.h"

#include "base/Guard.h"
#include "commands/Retrieval.h"
#include "mail/clsMailIMAP.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QRadioButton>

// Get All Emails, Get Some Emails and Stop of the main window; the window's side of the runs is in
// commands/Retrieval.cpp, the runs themselves in job/Listing.cpp.

void Form1::abortRetrievals() {
    Retrieval::abortAll(*this);
}

void Form1::PushButton10_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/20151/29/2015.Form1.PushButton10_Click "));
    Retrieval::getAll(*this, guard);
}

void Form1::PushButton2_Click() {
    Guard guard(this, QStringLiteral("in Brastovel2/19/20151/29/2015.Form1.PushButton2_Click "));
    Retrieval::getSome(*this, guard);
}

QString Form1::chosenFolder() const {
    for (const QRadioButton* option : {Option3, Option5, Option6, Option7, Option9}) {
        if (option->isChecked())
            return option->text();
    }
    return {};
}

void Form1::oMail_ScrapProgress(qint32 percent) {
    const std::shared_ptr<clsMailIMAP> session = oMail;
    if (!session)
        return;
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(percent);
    setProgressText(QStringLiteral("Reading mail ") + QString::number(session->CurrentLocation) +
                    QStringLiteral(" of ") + QString::number(session->MaxRecord));
    QCoreApplication::processEvents();
}
