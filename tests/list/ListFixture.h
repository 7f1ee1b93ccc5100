#pragma once

#include "list/ListOwner.h"
#include "list/MessageListView.h"

#include <QLabel>
#include <QStringList>
#include <QWidget>

// A window owning a list, its counters and its flag, as the selection commands expect one.
class ListWindow : public QWidget, public ListOwner {
public:
    ListWindow()
        : view(new MessageListView(this)), total(new QLabel(this)), selected(new QLabel(this)) {}

    QWidget* listWindow() override { return this; }
    MessageListModel& ownedList() override { return view->list(); }
    QLabel* totalLabel() override { return total; }
    QLabel* selectedLabel() override { return selected; }
    bool& checkSearchActive() override { return searchActive; }

    // Appends a row with the given From, Subject and Received Date and the other columns filled.
    int addRow(const QString& from, const QString& subject = {}, const QString& date = {}) {
        MessageListModel& list = view->list();
        const int p = list.appendRow(from);
        list.setText(p, 2, from + QStringLiteral(" name"));
        list.setText(p, 3, QStringLiteral("address@example.org"));
        list.setText(p, 4, subject);
        list.setText(p, 5, date);
        return p;
    }

    QList<int> checkedPositions() const {
        QList<int> result;
        for (int p = 1; p <= view->list().count(); ++p)
            if (view->list().isChecked(p))
                result.append(p);
        return result;
    }

    QStringList counters() const { return {total->text(), selected->text()}; }

    MessageListView* view;
    QLabel* total;
    QLabel* selected;
    bool searchActive = false;
};
