#include "paramtool/TagListModel.h"

namespace uhf {

TagListModel::TagListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TagListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(tagTexts_.size());
}

int TagListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TagListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= tagTexts_.size()) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    // Rows are never removed singly, so a row's number is its place in the list.
    return index.column() == 0 ? QString::asprintf("%d", index.row() + 1) : tagTexts_[index.row()];
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

void TagListModel::AppendRows(const QStringList& tagTexts) {
    if (tagTexts.isEmpty()) {
        return;
    }
    const int first = static_cast<int>(tagTexts_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(tagTexts.size()) - 1);
    tagTexts_.append(tagTexts);
    endInsertRows();
}

void TagListModel::Clear() {
    beginResetModel();
    tagTexts_.clear();
    endResetModel();
}

}  // namespace uhf
