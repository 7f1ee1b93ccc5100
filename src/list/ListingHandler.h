#pragma once

#include "list/MessageOrigin.h"
#include "list/MessageRecord.h"

#include <functional>

class MessageListModel;
class QLineEdit;
class QWidget;
class RecordStore;

// Turns one listed message into one row of the main list: applies the filter of filterBox, appends
// the row, stores the seven texts and the message's origin at the row's position, fills the other
// columns with the date key last, then yields once. Guarded under the listing handler's location;
// nothing is counted here.
void addListedMessage(QWidget* window, const QLineEdit& filterBox, MessageListModel& list,
                      RecordStore& records, const MessageRecord& message,
                      const MessageOrigin& origin = {});
// The same with the filter from filterText.
void addListedMessage(QWidget* window, const std::function<QString()>& filterText,
                      MessageListModel& list, RecordStore& records, const MessageRecord& message,
                      const MessageOrigin& origin);

// The filter test: filter occurs in From, FromName, FromAddress, ReceivedDate or PlainTextBody
// exactly, or in Subject ignoring letter case. HTMLTextBody is never searched.
bool passesFilter(const QString& filter, const MessageRecord& message);
