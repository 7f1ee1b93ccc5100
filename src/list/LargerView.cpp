#include "list/LargerView.h"

#include "base/Guard.h"
#include "list/Form4.h"
#include "list/ListCounters.h"
#include "list/MessageListView.h"

#include <QScopeGuard>

#include <memory>

namespace {
bool viewOpen = false; // one larger view at a time
} // namespace

// The view is up and modal before anything in it yields (its counters do): a click on the main
// window queued meanwhile cannot change the list that is being copied, and a second open is
// ignored while one is open.
void showListInLargerView(ListOwner& main, QWidget* owner) {
    if (viewOpen)
        return;
    viewOpen = true;
    const auto closed = qScopeGuard([] { viewOpen = false; });
    Guard guard(owner, QStringLiteral("in Brastovel2/19/2015.Form1.PushButton12_Click "));
    std::unique_ptr<Form4> form;
    const auto larger = [&]() -> Form4& {
        if (!form) {
            form = std::make_unique<Form4>(main, owner);
            form->setWindowModality(Qt::ApplicationModal);
            form->show();
            form->Form_Load();
        }
        return *form;
    };
    const MessageListModel& source = main.ownedList();
    int n = 0;
    guard(100, [&] {
        larger();
        n = source.count();
    });
    const auto copies = [&]() -> MessageListModel& { return larger().ListView1->list(); };
    for (int i = 1; i <= n; ++i) {
        guard(102, [&] { copies(); });
        guard(104, [&] { copies().appendRow(source.text(i, 1)); });
        for (int column = 2; column <= MessageListModel::columns; ++column) {
            guard(102 + 2 * column, [&] {
                MessageListModel& target = copies();
                target.setText(target.count(), column, source.text(i, column));
            });
        }
        guard(116, [&] {
            MessageListModel& target = copies();
            target.setChecked(target.count(), source.isChecked(i));
        });
    }
    // The view is already shown: its resize may come later, so it counts its copies now, and
    // shows them all at once rather than when its list next tells it of new rows.
    guard(118, [&] {
        copies().publishRows();
        larger().setWindowState(Qt::WindowMaximized);
        ListCounters::update(larger(), false);
    });
    guard(120, [&] { larger().showModal(); });
    guard(122, [&] { ListCounters::update(main, false); });
}
