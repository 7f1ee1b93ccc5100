#include "list/SelectionCommands.h"

#include "base/Guard.h"
#include "base/Prompter.h"
#include "list/ListCounters.h"
#include "list/ListOwner.h"
#include "list/MessageListModel.h"

#include <QLocale>

namespace SelectionCommands {

namespace {

// Columns searched by the two search commands: "From", "Subject", "Received Date".
constexpr int searchedColumns[] = {1, 4, 5};

bool rowMatches(const MessageListModel& list, int position, const QString& x, Search search) {
    bool found = false;
    for (int column : searchedColumns)
        found = found || containsText(list.text(position, column), x);
    return search == Search::Containing ? found : !found;
}

} // namespace

bool containsText(const QString& text, const QString& x) {
    if (text.isEmpty())
        return false;
    const QLocale locale;
    return locale.toLower(text).contains(locale.toLower(x));
}

void checkAll(ListOwner& owner, const QString& location) {
    Guard guard(owner.listWindow(), location);
    MessageListModel& list = owner.ownedList();
    int n = 0;
    guard(110, [&] { n = list.count(); });
    {
        const MessageListModel::ChangeBatch batch(list);
        for (int p = 1; p <= n; ++p)
            guard(114, [&] { list.setChecked(p, true); });
    }
    guard(118, [&] { ListCounters::update(owner, false); });
    guard(120, [&] { owner.checkSearchActive() = false; });
}

void uncheckAll(ListOwner& owner, const QString& location) {
    Guard guard(owner.listWindow(), location);
    MessageListModel& list = owner.ownedList();
    int n = 0;
    guard(100, [&] { n = list.count(); });
    {
        const MessageListModel::ChangeBatch batch(list);
        for (int p = 1; p <= n; ++p)
            guard(102, [&] { list.setChecked(p, false); });
    }
    guard(106, [&] { ListCounters::update(owner, false); });
    guard(108, [&] { owner.checkSearchActive() = false; });
}

void clearList(ListOwner& owner, const QString& location) {
    Guard guard(owner.listWindow(), location);
    guard(100, [&] { owner.ownedList().clear(); });
    guard(102, [&] { ListCounters::update(owner, true); });
}

void checkMatching(ListOwner& owner, Search search, const QString& location) {
    Guard guard(owner.listWindow(), location);
    MessageListModel& list = owner.ownedList();
    // The row count and the walk are 32-bit: lists longer than 32,767 rows are searched too.
    int n = 0;
    guard(110, [&] { n = list.count(); });
    std::optional<QString> answer;
    guard(112, [&] {
        answer = Prompter::current().input(owner.listWindow(), QStringLiteral("Enter X:"),
                                           applicationTitle());
    });
    // A cancelled box changes nothing; an empty text confirmed with OK searches for "".
    if (!answer)
        return;
    const QString x = *answer;
    // Whether this run only adds check marks is decided by the flag as the run starts: a match in
    // this run sets the flag for the runs after it, so that the first run after a reset leaves
    // exactly its own matches checked, whatever was checked before.
    const bool adding = owner.checkSearchActive();
    {
        const MessageListModel::ChangeBatch batch(list);
        for (int p = 1; p <= n; ++p) {
            if (guard.test(116, [&] { return !adding; }))
                guard(116, [&] { list.setChecked(p, false); });
            if (guard.test(118, [&] { return rowMatches(list, p, x, search); })) {
                guard(120, [&] { list.setChecked(p, true); });
                guard(122, [&] { owner.checkSearchActive() = true; });
            }
        }
    }
    guard(126, [&] { ListCounters::update(owner, false); });
}

} // namespace SelectionCommands
