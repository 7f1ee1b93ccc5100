#pragma once

#include <QtGlobal>

class ListOwner;

// The two counters under a message list: "Total Number Of Emails: " and "Selected Emails: ".
namespace ListCounters {

// With showZero both labels read 0 whatever the list holds; otherwise the total is shown first,
// then the number of checked rows.
void update(ListOwner& owner, bool showZero);

// The number of checked rows of the owner's list, after letting pending window events run.
qint32 countChecked(ListOwner& owner);

} // namespace ListCounters
