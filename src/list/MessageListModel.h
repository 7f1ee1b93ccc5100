#pragma once

#include "list/BlockList.h"

#include <QAbstractTableModel>
#include <QString>
#include <QTimer>

#include <array>

// The rows of a message list: six column texts and a check mark per row. Rows are only ever
// appended, never sorted or reordered, and are addressed by their position counted from 1; the
// record store and the larger view's write-back rely on that. Positions and columns out of range
// throw Failure, so a guarded command reports them.
//
// The position API sees a row the moment it is appended. Views are told of new rows at most every
// publishInterval milliseconds (the first of a burst at once): a listing appends one row per
// message and yields after each, and a view that relays out and repaints for every single row
// would make a long listing crawl. A tree view lays out all its rows again for each batch, so past
// rowsPerMillisecond * publishInterval rows the batches are spaced by the row count, up to
// longestPublishInterval, and that work stays a small share of the window's time.
class MessageListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int columns = 6;
    static constexpr int publishInterval = 100;
    static constexpr int longestPublishInterval = 500;
    static constexpr int rowsPerMillisecond = 400;

    explicit MessageListModel(QObject* parent = nullptr);

    int count() const { return static_cast<int>(rows_.size()); }
    // Appends an unchecked row whose column 1 is fromText; returns its position.
    int appendRow(const QString& fromText);
    // column counts from 1 ("From") to 6 ("RecDate").
    QString text(int position, int column) const;
    void setText(int position, int column, const QString& value);
    bool isChecked(int position) const;
    void setChecked(int position, bool checked);
    // The number of checked rows, kept up to date with every change of a check mark.
    int checkedCount() const { return checkedCount_; }
    void clear();
    // Tells the views of every row appended so far.
    void publishRows();

    // While one lives, the views are not told of each changed row: when the last one ends, they
    // are told once of all the rows between the first and the last changed. A command that
    // changes every row (Check All) costs the views one change, not one per row.
    class ChangeBatch {
    public:
        explicit ChangeBatch(MessageListModel& list);
        ~ChangeBatch();
        ChangeBatch(const ChangeBatch&) = delete;
        ChangeBatch& operator=(const ChangeBatch&) = delete;

    private:
        MessageListModel& list_;
    };

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // The user toggled the check box of the row at position (not emitted for setChecked).
    void checkToggled(int position);

private:
    struct Row {
        std::array<QString, columns> texts;
        bool checked = false;
    };

    Row& row(int position);
    const Row& row(int position) const;
    static int columnIndex(int column);
    void storeCheck(int position, bool checked);
    void notifyChanged(int position, int index, int role);
    void publishPendingRows();
    void startPublishTimer();
    void sendBatchedChanges();

    BlockList<Row> rows_;
    int published_ = 0; // rows the views know of
    int checkedCount_ = 0;
    QTimer publishTimer_;

    // The changes a ChangeBatch holds back: rows and columns (0-based) and the roles.
    int batches_ = 0;
    int changedFirstRow_ = 0;
    int changedLastRow_ = -1;
    int changedFirstColumn_ = 0;
    int changedLastColumn_ = -1;
    bool changedTexts_ = false;
    bool changedChecks_ = false;
};
