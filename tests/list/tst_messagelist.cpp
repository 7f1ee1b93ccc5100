#include "base/Failure.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

class MessageListTest : public QObject {
    Q_OBJECT
private slots:
    void modelStaysConsistentAndCountsCheckedRows();
    void positionsCountFromOneAndOutOfRangeFails();
    void userToggleRaisesItemCheckWithPosition();
    void viewsLearnOfNewRowsInBatches();
    void longListingArrivesWholeAndInOrder();
    void viewShowsHeadersAndWidthsInTwips();
    void zeroWidthLastColumnOpensFromItsDivider();
    void recordStoreRecreatesGrowsAndFailsOutOfRange();
};

void MessageListTest::modelStaysConsistentAndCountsCheckedRows() {
    MessageListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 5; ++i)
        model.setText(model.appendRow(QStringLiteral("from %1").arg(i)), 4, QStringLiteral("s"));
    model.publishRows();
    model.setChecked(1, true);
    model.setChecked(1, true); // no double count
    model.setChecked(3, true);
    model.setChecked(2, false);
    QVERIFY(model.setData(model.index(3, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model.setData(model.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(model.checkedCount(), 2);
    model.clear();
    QCOMPARE(model.checkedCount(), 0);
    model.appendRow(QStringLiteral("again"));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 6);
}

void MessageListTest::positionsCountFromOneAndOutOfRangeFails() {
    MessageListModel model;
    QCOMPARE(model.appendRow(QStringLiteral("a")), 1);
    QCOMPARE(model.appendRow(QStringLiteral("a")), 2); // duplicates stay
    model.setText(2, 6, QStringLiteral("42055"));
    model.publishRows();
    QCOMPARE(model.text(1, 1), QStringLiteral("a"));
    QCOMPARE(model.text(2, 6), QStringLiteral("42055"));
    QCOMPARE(model.data(model.index(1, 5), Qt::DisplayRole).toString(), QStringLiteral("42055"));
    QVERIFY(!model.isChecked(1));
    QVERIFY_THROWS_EXCEPTION(Failure, model.text(0, 1));
    QVERIFY_THROWS_EXCEPTION(Failure, model.text(3, 1));
    QVERIFY_THROWS_EXCEPTION(Failure, model.text(1, 7));
    QVERIFY_THROWS_EXCEPTION(Failure, model.setChecked(3, true));
    QVERIFY_THROWS_EXCEPTION(Failure, model.setText(1, 0, {}));
}

void MessageListTest::userToggleRaisesItemCheckWithPosition() {
    MessageListView view;
    view.list().appendRow(QStringLiteral("one"));
    view.list().appendRow(QStringLiteral("two"));
    QSignalSpy spy(&view, &MessageListView::ItemCheck);
    view.list().setChecked(1, true); // the program's own changes are silent
    QCOMPARE(spy.count(), 0);

    view.list().publishRows();
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QModelIndex second = view.list().index(1, 0);
    view.setCurrentIndex(second);
    QTest::keyClick(view.viewport(), Qt::Key_Space);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
    QVERIFY(view.list().isChecked(2));
    QCOMPARE(view.list().checkedCount(), 2);
}

void MessageListTest::viewsLearnOfNewRowsInBatches() {
    MessageListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.appendRow(QStringLiteral("first")); // the first of a burst shows at once
    QCOMPARE(model.rowCount(), 1);
    for (int i = 0; i < 50; ++i) {
        const int p = model.appendRow(QStringLiteral("later"));
        model.setText(p, 4, QStringLiteral("subject"));
        model.setChecked(p, i % 2 == 0);
    }
    QCOMPARE(model.count(), 51);
    QCOMPARE(model.text(51, 4), QStringLiteral("subject"));
    QCOMPARE(model.rowCount(), 1);
    QTRY_COMPARE(model.rowCount(), 51);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(model.data(model.index(50, 3), Qt::DisplayRole).toString(), QStringLiteral("subject"));
    QCOMPARE(model.data(model.index(1, 0), Qt::CheckStateRole).value<Qt::CheckState>(),
             Qt::Checked);
    QCOMPARE(model.checkedCount(), 25);
    model.appendRow(QStringLiteral("pending"));
    model.clear(); // drops rows the views never saw
    QCOMPARE(model.rowCount(), 0);
    QTest::qWait(2 * MessageListModel::publishInterval);
    QCOMPARE(model.rowCount(), 0);
}

// A long listing, yielding after each row, past the count where batches are spaced further apart:
// every batch follows the one before, and each row shows its own texts.
void MessageListTest::longListingArrivesWholeAndInOrder() {
    MessageListModel model;
    QList<std::pair<int, int>> batches;
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex&, int first, int last) {
                batches.append({first, last});
            });
    const int rows = 2 * MessageListModel::rowsPerMillisecond * MessageListModel::publishInterval;
    for (int i = 0; i < rows; ++i) {
        const int p = model.appendRow(QString::number(i));
        model.setText(p, 4, QStringLiteral("subject %1").arg(i));
        if (i % 500 == 0)
            QTest::qWait(1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), rows, 2 * MessageListModel::longestPublishInterval);
    QVERIFY(batches.size() > 1);
    int next = 0;
    for (const auto& [first, last] : batches) {
        QCOMPARE(first, next);
        next = last + 1;
    }
    QCOMPARE(next, rows);
    for (int row = 0; row < rows; row += 997) {
        QCOMPARE(model.data(model.index(row, 0), Qt::DisplayRole).toString(), QString::number(row));
        QCOMPARE(model.data(model.index(row, 3), Qt::DisplayRole).toString(),
                 QStringLiteral("subject %1").arg(row));
    }
}

void MessageListTest::viewShowsHeadersAndWidthsInTwips() {
    MessageListView view;
    view.setColumnWidthsInTwips({1300, 1300, 1600, 1600, 1600, 0});
    const QStringList expected = {"From",    "From Name",     "From Address",
                                  "Subject", "Received Date", "RecDate"};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(view.model()->headerData(c, Qt::Horizontal).toString(), expected[c]);
    QCOMPARE(view.columnWidth(0), 87); // 1300 twips at 15 per pixel, rounded
    QCOMPARE(view.columnWidthInTwips(3), 1605);
    QCOMPARE(view.header()->sectionSize(5), 0);
}

void MessageListTest::zeroWidthLastColumnOpensFromItsDivider() {
    MessageListView view;
    view.setColumnWidthsInTwips({1300, 1300, 1600, 1600, 1600, 0});
    view.resize(700, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QHeaderView* header = view.header();
    const int dateWidth = header->sectionSize(4); // wide enough for a whole date
    QVERIFY(dateWidth >= 107);                    // 1600 twips at least
    QWidget* strip = header->viewport();
    const int divider = header->sectionViewportPosition(5) - 1; // the last pixel of column 5
    const int y = header->height() / 2;
    const auto drag = [&](int from, int to) {
        QTest::mousePress(strip, Qt::LeftButton, {}, {from, y});
        QTest::mouseMove(strip, {to, y});
        QTest::mouseRelease(strip, Qt::LeftButton, {}, {to, y});
    };

    QTest::mouseMove(strip, {divider + 3, y});
    QCOMPARE(header->cursor().shape(), Qt::SplitHCursor);
    drag(divider, divider + 60);
    QCOMPARE(header->sectionSize(5), 60);
    QCOMPARE(header->sectionSize(4), dateWidth);

    view.setColumnWidthInTwips(6, 0); // the program's widths still apply
    QCOMPARE(header->sectionSize(5), 0);
    drag(divider - 2, divider + 28);
    QCOMPARE(header->sectionSize(4), dateWidth + 30);
    QCOMPARE(header->sectionSize(5), 0);
}

void MessageListTest::recordStoreRecreatesGrowsAndFailsOutOfRange() {
    RecordStore store;
    QVERIFY_THROWS_EXCEPTION(Failure, store.at(1));
    store.recreate(3);
    store.at(3).Subject = QStringLiteral("old");
    QVERIFY_THROWS_EXCEPTION(Failure, store.at(4));
    QVERIFY_THROWS_EXCEPTION(Failure, store.at(0));
    store.recreate(2);
    QCOMPARE(store.size(), 2);
    QVERIFY(store.at(2).Subject.isEmpty());
    // A row that lands beyond the store grows it.
    store.slot(5).From = QStringLiteral("fifth");
    QCOMPARE(store.size(), 5);
    QCOMPARE(store.at(5).From, QStringLiteral("fifth"));
    QVERIFY_THROWS_EXCEPTION(Failure, store.slot(0));
    // Far beyond: the records between are empty, the earlier ones kept; a re-created store is
    // empty throughout.
    store.slot(3000).From = QStringLiteral("far");
    QCOMPARE(store.size(), 3000);
    QVERIFY(store.at(2999).From.isEmpty());
    QCOMPARE(store.at(5).From, QStringLiteral("fifth"));
    QCOMPARE(store.at(3000).From, QStringLiteral("far"));
    store.recreate(3000);
    QVERIFY(store.at(5).From.isEmpty());
    QVERIFY(store.at(3000).From.isEmpty());
}

QTEST_MAIN(MessageListTest)
#include "tst_messagelist.moc"
