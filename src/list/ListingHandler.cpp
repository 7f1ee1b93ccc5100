#include "list/ListingHandler.h"

#include "base/Conversions.h"
#include "base/Guard.h"
#include "list/MessageListModel.h"
#include "list/RecordStore.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QLocale>

#include <utility>

namespace {

// Statement numbers of the path after the filter: with an empty filter the row is appended at 134,
// after a passed filter test at 106. (The statement before, 132 or 104, takes hold of the list and
// cannot fail here.) Every later statement works on the row that is last in the list, so a failed
// append leaves them working on whatever row is last.
struct Numbering {
    int append;
    int firstStore;
    int firstColumn;
    int dateKey;
};

constexpr Numbering unfiltered{134, 136, 150, 158};
constexpr Numbering filtered{106, 108, 122, 130};

void fillRow(Guard& guard, const Numbering& lines, MessageListModel& list, RecordStore& records,
             const MessageRecord& message, const MessageOrigin& origin) {
    guard(lines.append, [&] { list.appendRow(message.From); });

    // The five header texts and the origin stay in memory; the two bodies go to the body store on
    // disk. The origin goes with the first text.
    const std::pair<QString StoredRecord::*, QString MessageRecord::*> headers[] = {
        {&StoredRecord::From, &MessageRecord::From},
        {&StoredRecord::FromName, &MessageRecord::FromName},
        {&StoredRecord::FromAddress, &MessageRecord::FromAddress},
        {&StoredRecord::Subject, &MessageRecord::Subject},
        {&StoredRecord::ReceivedDate, &MessageRecord::ReceivedDate}};
    int line = lines.firstStore;
    for (const auto& header : headers) {
        guard(line, [&] {
            StoredRecord& record = records.slot(list.count());
            record.*header.first = message.*header.second;
            if (header.first == &StoredRecord::From)
                record.Origin = origin;
        });
        line += 2;
    }
    guard(line, [&] {
        if (message.PlainTextUtf8.isEmpty())
            records.setPlainTextBody(list.count(), message.PlainTextBody);
        else
            records.setPlainTextUtf8(list.count(), message.PlainTextUtf8);
    });
    guard(line + 2, [&] { records.setHTMLTextBody(list.count(), message.HTMLTextBody); });

    const QString* const columns[] = {&message.FromName, &message.FromAddress, &message.Subject,
                                      &message.ReceivedDate};
    line = lines.firstColumn;
    int column = 2;
    for (const QString* value : columns) {
        guard(line, [&] { list.setText(list.count(), column, *value); });
        line += 2;
        ++column;
    }
    guard(lines.dateKey,
          [&] { list.setText(list.count(), 6, Conversions::wholeDayKey(message.ReceivedDate)); });
}

} // namespace

bool passesFilter(const QString& filter, const MessageRecord& message) {
    const QLocale locale;
    return message.From.contains(filter) || message.FromName.contains(filter) ||
           message.FromAddress.contains(filter) ||
           locale.toLower(message.Subject).contains(locale.toLower(filter)) ||
           message.ReceivedDate.contains(filter) || message.PlainTextBody.contains(filter) ||
           (!message.PlainTextUtf8.isEmpty() && message.PlainTextUtf8.contains(filter.toUtf8()));
}

void addListedMessage(QWidget* window, const QLineEdit& filterBox, MessageListModel& list,
                      RecordStore& records, const MessageRecord& message,
                      const MessageOrigin& origin) {
    addListedMessage(
        window, [&filterBox] { return filterBox.text(); }, list, records, message, origin);
}

void addListedMessage(QWidget* window, const std::function<QString()>& filterText,
                      MessageListModel& list, RecordStore& records, const MessageRecord& message,
                      const MessageOrigin& origin) {
    Guard guard(window, QStringLiteral("in Brastovel2/19/2015.Form1.oMail_MailExtractListing "));
    QString filter;
    guard(100, [&] { filter = filterText(); });
    if (filter.isEmpty()) {
        fillRow(guard, unfiltered, list, records, message, origin);
    } else if (guard.test(102, [&] { return passesFilter(filter, message); })) {
        fillRow(guard, filtered, list, records, message, origin);
    }
    guard(160, [] { QCoreApplication::processEvents(); });
}
