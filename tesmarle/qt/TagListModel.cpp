#include "tesmarle/qt/TagListModel.h"

#include <utility>

namespace uhf {

TagListModel::TagListModel(CellText cellText, QObject* parent)
    : QAbstractTableModel(parent), cellText_(std::move(cellText)) {}

int TagListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TagListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TagListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    return cellText_(index.row(), index.column());
}

QVariant TagListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    return section == 0 ? QStringLiteral("NO.") : QStringLiteral("Tag Data");
}

void TagListModel::RowsAppended(int first, int count) {
    if (count <= 0 || first != rows_) {
        return;
    }
    beginInsertRows(QModelIndex(), first, first + count - 1);
    rows_ += count;
    endInsertRows();
}

void TagListModel::RowsCleared() {
    beginResetModel();
    rows_ = 0;
    endResetModel();
}

}  // namespace uhf
