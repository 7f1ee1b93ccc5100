#include "list/MessageListModel.h"

#include "base/Failure.h"

#include <algorithm>

namespace {

Failure indexOutOfBounds() {
    return Failure(QStringLiteral("Index out of bounds"));
}

const std::array<QString, MessageListModel::columns>& headers() {
    static const std::array<QString, MessageListModel::columns> texts = {
        QStringLiteral("From"),    QStringLiteral("From Name"),     QStringLiteral("From Address"),
        QStringLiteral("Subject"), QStringLiteral("Received Date"), QStringLiteral("RecDate")};
    return texts;
}

} // namespace

MessageListModel::MessageListModel(QObject* parent) : QAbstractTableModel(parent) {
    publishTimer_.setSingleShot(true);
    connect(&publishTimer_, &QTimer::timeout, this, &MessageListModel::publishPendingRows);
}

int MessageListModel::appendRow(const QString& fromText) {
    Row added;
    added.texts[0] = fromText;
    rows_.append(std::move(added));
    if (!publishTimer_.isActive()) {
        publishRows();
        startPublishTimer();
    }
    return count();
}

void MessageListModel::startPublishTimer() {
    publishTimer_.start(
        std::clamp(count() / rowsPerMillisecond, publishInterval, longestPublishInterval));
}

void MessageListModel::publishRows() {
    if (published_ == count())
        return;
    beginInsertRows({}, published_, count() - 1);
    published_ = count();
    endInsertRows();
}

void MessageListModel::publishPendingRows() {
    if (published_ == count())
        return;
    publishRows();
    startPublishTimer();
}

QString MessageListModel::text(int position, int column) const {
    return row(position).texts[columnIndex(column)];
}

void MessageListModel::setText(int position, int column, const QString& value) {
    const int index = columnIndex(column);
    row(position).texts[index] = value;
    notifyChanged(position, index, Qt::DisplayRole);
}

bool MessageListModel::isChecked(int position) const {
    return row(position).checked;
}

void MessageListModel::setChecked(int position, bool checked) {
    if (row(position).checked == checked)
        return;
    storeCheck(position, checked);
}

void MessageListModel::clear() {
    publishTimer_.stop();
    beginResetModel();
    rows_.clear();
    published_ = 0;
    checkedCount_ = 0;
    endResetModel();
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : published_;
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row& shown = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return shown.texts[static_cast<std::size_t>(index.column())];
    if (role == Qt::CheckStateRole && index.column() == 0)
        return shown.checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool MessageListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int position = index.row() + 1;
    const bool checked = value.value<Qt::CheckState>() == Qt::Checked;
    if (rows_[static_cast<std::size_t>(index.row())].checked != checked)
        storeCheck(position, checked);
    emit checkToggled(position);
    return true;
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < columns)
        return headers()[static_cast<std::size_t>(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
}

MessageListModel::Row& MessageListModel::row(int position) {
    if (position < 1 || position > count())
        throw indexOutOfBounds();
    return rows_[static_cast<std::size_t>(position - 1)];
}

const MessageListModel::Row& MessageListModel::row(int position) const {
    if (position < 1 || position > count())
        throw indexOutOfBounds();
    return rows_[static_cast<std::size_t>(position - 1)];
}

int MessageListModel::columnIndex(int column) {
    if (column < 1 || column > columns)
        throw indexOutOfBounds();
    return column - 1;
}

void MessageListModel::storeCheck(int position, bool checked) {
    row(position).checked = checked;
    checkedCount_ += checked ? 1 : -1;
    notifyChanged(position, 0, Qt::CheckStateRole);
}

void MessageListModel::notifyChanged(int position, int index, int role) {
    if (position > published_)
        return; // the views learn of the row with its current texts when it is published
    if (batches_ > 0) {
        if (changedLastRow_ < 0) {
            changedFirstRow_ = changedLastRow_ = position - 1;
            changedFirstColumn_ = changedLastColumn_ = index;
        }
        changedFirstRow_ = std::min(changedFirstRow_, position - 1);
        changedLastRow_ = std::max(changedLastRow_, position - 1);
        changedFirstColumn_ = std::min(changedFirstColumn_, index);
        changedLastColumn_ = std::max(changedLastColumn_, index);
        (role == Qt::CheckStateRole ? changedChecks_ : changedTexts_) = true;
        return;
    }
    const QModelIndex changed = createIndex(position - 1, index);
    emit dataChanged(changed, changed, {role});
}

MessageListModel::ChangeBatch::ChangeBatch(MessageListModel& list) : list_(list) {
    ++list_.batches_;
}

MessageListModel::ChangeBatch::~ChangeBatch() {
    if (--list_.batches_ == 0)
        list_.sendBatchedChanges();
}

void MessageListModel::sendBatchedChanges() {
    // The list may have been cleared meanwhile (a click in a box shown during the batch).
    const int last = std::min(changedLastRow_, published_ - 1);
    if (changedFirstRow_ <= last) {
        QList<int> roles;
        if (changedTexts_)
            roles.append(Qt::DisplayRole);
        if (changedChecks_)
            roles.append(Qt::CheckStateRole);
        emit dataChanged(createIndex(changedFirstRow_, changedFirstColumn_),
                         createIndex(last, changedLastColumn_), roles);
    }
    changedLastRow_ = -1;
    changedTexts_ = false;
    changedChecks_ = false;
}
