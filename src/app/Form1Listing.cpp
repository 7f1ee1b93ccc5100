#include "app/Form1.h"
#include "list/ListCounters.h"
#include "list/ListingHandler.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"

void Form1::oMail_MailExtractListing(const QString& From, const QString& FromName,
                                     const QString& FromAddress, const QString& Subject,
                                     const QString& ReceivedDate, const QString& PlainTextBody,
                                     const QString& HTMLTextBody, qint32) {
    addListedMessage(this, *txtSearch, ListView1->list(), messageRecords(),
                     {From, FromName, FromAddress, Subject, ReceivedDate, PlainTextBody,
                      HTMLTextBody, listedPlainTextUtf8_},
                     listedOrigin_);
}

void Form1::ListView1_ItemCheck(int) {
    UpdateCounters(false);
}

void Form1::UpdateCounters(bool ShowZero) {
    ListCounters::update(*this, ShowZero);
}

qint32 Form1::CountChecked() {
    return ListCounters::countChecked(*this);
}
