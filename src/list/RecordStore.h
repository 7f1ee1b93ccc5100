#pragma once

#include "list/BlockList.h"
#include "list/BodyStore.h"
#include "list/MessageOrigin.h"
#include "list/MessageRecord.h"

// What the store keeps in memory for one listed message: the five header texts, where its two
// bodies lie in the body store, and where it came from.
struct StoredRecord {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;
    BodyStore::Span PlainTextBody;
    BodyStore::Span HTMLTextBody;
    MessageOrigin Origin;
};

// The texts of the listed messages, one record per list position counted from 1. A retrieval
// re-creates the store for the positions it is about to list. The positions are promised, not
// allocated: the server's message count may be anything, so records are made as they are filled,
// a block at a time. The bodies live on disk (BodyStore) and are read back on demand.
class RecordStore {
public:
    // Empties the store, deleting its bodies, and gives it positions 1 to maxRecord (none when
    // maxRecord < 1).
    void recreate(int maxRecord);
    int size() const { return size_; }
    // The record at position; Subscript out of range outside 1..size(). A position never filled
    // holds empty texts.
    StoredRecord& at(int position);
    const StoredRecord& at(int position) const;
    // The record to fill for the row at position. A listing that started inside another one's
    // yield keeps appending rows after the other listing has re-created a smaller store, so the
    // store grows to hold them rather than lose their texts. Subscript out of range below 1.
    StoredRecord& slot(int position);

    // Write a body into the slot at position. The body is kept whatever happens; a Failure, once
    // per listing, when the body store cannot be written and bodies go to memory instead.
    void setPlainTextBody(int position, const QString& text);
    void setHTMLTextBody(int position, const QString& text);
    // The same for a plain body in UTF-8.
    void setPlainTextUtf8(int position, const QByteArray& text);
    // Read a body back; Subscript out of range outside 1..size().
    QString plainTextBody(int position) const;
    QString htmlTextBody(int position) const;
    // The seven texts of the record at position, bodies read back from disk.
    MessageRecord message(int position) const;
    // The same without the HTML body, which nothing saved holds: one read from disk, not two.
    MessageRecord messageToSave(int position) const;

private:
    StoredRecord& made(int position);
    void reportStoreFailure();

    BlockList<StoredRecord> records_;
    int size_ = 0;
    BodyStore bodies_;
};

// The program's one store, beside the main window's list.
RecordStore& messageRecords();
