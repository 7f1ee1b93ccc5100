#include "list/RecordStore.h"

#include "base/Failure.h"

#include <algorithm>

void RecordStore::recreate(int maxRecord) {
    records_.clear();
    bodies_.clear();
    size_ = std::max(maxRecord, 0);
}

StoredRecord& RecordStore::made(int position) {
    records_.growTo(static_cast<std::size_t>(position));
    return records_[static_cast<std::size_t>(position - 1)];
}

StoredRecord& RecordStore::at(int position) {
    if (position < 1 || position > size())
        throw Failure::subscriptOutOfRange();
    return made(position);
}

const StoredRecord& RecordStore::at(int position) const {
    if (position < 1 || position > size())
        throw Failure::subscriptOutOfRange();
    static const StoredRecord empty;
    return static_cast<std::size_t>(position) <= records_.size()
               ? records_[static_cast<std::size_t>(position - 1)]
               : empty;
}

StoredRecord& RecordStore::slot(int position) {
    if (position < 1)
        throw Failure::subscriptOutOfRange();
    size_ = std::max(size_, position);
    return made(position);
}

void RecordStore::setPlainTextBody(int position, const QString& text) {
    StoredRecord& record = slot(position);
    record.PlainTextBody = bodies_.append(text);
    reportStoreFailure();
}

void RecordStore::setPlainTextUtf8(int position, const QByteArray& text) {
    StoredRecord& record = slot(position);
    record.PlainTextBody = bodies_.appendUtf8(text);
    reportStoreFailure();
}

void RecordStore::setHTMLTextBody(int position, const QString& text) {
    StoredRecord& record = slot(position);
    record.HTMLTextBody = bodies_.append(text);
    reportStoreFailure();
}

void RecordStore::reportStoreFailure() {
    if (std::optional<QString> failure = bodies_.takeFailure())
        throw Failure(*failure);
}

QString RecordStore::plainTextBody(int position) const {
    return bodies_.read(at(position).PlainTextBody);
}

QString RecordStore::htmlTextBody(int position) const {
    return bodies_.read(at(position).HTMLTextBody);
}

MessageRecord RecordStore::message(int position) const {
    const StoredRecord& record = at(position);
    return {record.From,
            record.FromName,
            record.FromAddress,
            record.Subject,
            record.ReceivedDate,
            bodies_.read(record.PlainTextBody),
            bodies_.read(record.HTMLTextBody)};
}

MessageRecord RecordStore::messageToSave(int position) const {
    const StoredRecord& record = at(position);
    return {record.From,    record.FromName,     record.FromAddress,
            record.Subject, record.ReceivedDate, bodies_.read(record.PlainTextBody),
            QString()};
}

RecordStore& messageRecords() {
    static RecordStore store;
    return store;
}
