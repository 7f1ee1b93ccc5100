#include "list/ListCounters.h"

#include "list/ListOwner.h"
#include "list/MessageListModel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>

namespace {

void setCaption(QLabel* label, const QString& caption) {
    if (label)
        label->setText(caption);
}

} // namespace

namespace ListCounters {

void update(ListOwner& owner, bool showZero) {
    if (showZero) {
        setCaption(owner.totalLabel(), QStringLiteral("Total Number Of Emails: 0"));
        setCaption(owner.selectedLabel(), QStringLiteral("Selected Emails: 0"));
        return;
    }
    setCaption(owner.totalLabel(),
               QStringLiteral("Total Number Of Emails: %1").arg(owner.ownedList().count()));
    const QPointer<QLabel> selected = owner.selectedLabel();
    const qint32 checked = countChecked(owner);
    if (selected)
        selected->setText(QStringLiteral("Selected Emails: %1").arg(checked));
}

// The count is the list's own tally of checked rows, which changes with every check mark, so it
// equals a walk over the rows whenever nothing runs in between. The count still lets pending
// window events run first, once: clicks queued while a command runs (a check box, Clear List,
// another command) complete before the result is taken, so the result describes the list as it
// is after them — the same as a walk whose yields let those clicks run before the rows they
// touch are read — and a list emptied meanwhile simply counts 0. One yield instead of one per row
// keeps a recount cheap at 100,000 rows. An empty list has no row to walk, so it does not yield:
// the larger view counts its new, empty list while the main window is not yet blocked behind it.
qint32 countChecked(ListOwner& owner) {
    if (owner.ownedList().rowCount() == 0)
        return 0;
    QCoreApplication::processEvents();
    return owner.ownedList().checkedCount();
}

} // namespace ListCounters
