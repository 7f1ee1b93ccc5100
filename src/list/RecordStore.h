#pragma once

#include "list/MessageRecord.h"

#include <vector>

// The texts of the listed messages, one record per list position counted from 1. A retrieval
// re-creates the store for the positions it is about to list. The positions are promised, not
// allocated: the server's message count may be anything, so records are made as they are filled
// and only a bounded number is reserved ahead.
class RecordStore {
public:
    // Empties the store and gives it positions 1 to maxRecord (none when maxRecord < 1).
    void recreate(int maxRecord);
    int size() const { return size_; }
    // The record at position; Subscript out of range outside 1..size(). A position never filled
    // holds empty texts.
    MessageRecord& at(int position);
    const MessageRecord& at(int position) const;
    // The record to fill for the row at position. A listing that started inside another one's
    // yield keeps appending rows after the other listing has re-created a smaller store, so the
    // store grows to hold them rather than lose their texts. Subscript out of range below 1.
    MessageRecord& slot(int position);

private:
    MessageRecord& made(int position);

    std::vector<MessageRecord> records_;
    int size_ = 0;
};

// The program's one store, beside the main window's list.
RecordStore& messageRecords();
