#include "list/RecordStore.h"

#include "base/Failure.h"

void RecordStore::recreate(int maxRecord) {
    records_.clear();
    records_.resize(static_cast<std::size_t>(maxRecord > 0 ? maxRecord : 0));
}

MessageRecord& RecordStore::at(int position) {
    if (position < 1 || position > size())
        throw Failure::subscriptOutOfRange();
    return records_[static_cast<std::size_t>(position - 1)];
}

const MessageRecord& RecordStore::at(int position) const {
    if (position < 1 || position > size())
        throw Failure::subscriptOutOfRange();
    return records_[static_cast<std::size_t>(position - 1)];
}

MessageRecord& RecordStore::slot(int position) {
    if (position < 1)
        throw Failure::subscriptOutOfRange();
    if (position > size())
        records_.resize(static_cast<std::size_t>(position));
    return records_[static_cast<std::size_t>(position - 1)];
}

RecordStore& messageRecords() {
    static RecordStore store;
    return store;
}
