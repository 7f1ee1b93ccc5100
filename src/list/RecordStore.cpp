#include "list/RecordStore.h"

#include "base/Failure.h"

#include <algorithm>

namespace {
// Records reserved ahead of a listing, however many the server announces.
constexpr int reservedAhead = 4096;
} // namespace

void RecordStore::recreate(int maxRecord) {
    records_.clear();
    records_.shrink_to_fit();
    size_ = std::max(maxRecord, 0);
    records_.reserve(static_cast<std::size_t>(std::min(size_, reservedAhead)));
}

MessageRecord& RecordStore::made(int position) {
    if (static_cast<std::size_t>(position) > records_.size())
        records_.resize(static_cast<std::size_t>(position));
    return records_[static_cast<std::size_t>(position - 1)];
}

MessageRecord& RecordStore::at(int position) {
    if (position < 1 || position > size())
        throw Failure::subscriptOutOfRange();
    return made(position);
}

const MessageRecord& RecordStore::at(int position) const {
    if (position < 1 || position > size())
        throw Failure::subscriptOutOfRange();
    static const MessageRecord empty;
    return static_cast<std::size_t>(position) <= records_.size()
               ? records_[static_cast<std::size_t>(position - 1)]
               : empty;
}

MessageRecord& RecordStore::slot(int position) {
    if (position < 1)
        throw Failure::subscriptOutOfRange();
    size_ = std::max(size_, position);
    return made(position);
}

RecordStore& messageRecords() {
    static RecordStore store;
    return store;
}
