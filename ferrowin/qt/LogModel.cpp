#include "ferrowin/qt/LogModel.h"

namespace uhf {

LogModel::LogModel(QObject* parent) : QAbstractTableModel(parent) {}

int LogModel::Append(const QString& time, const QString& message) {
    const int row = static_cast<int>(lines_.size());
    beginInsertRows(QModelIndex(), row, row);
    lines_.append({time, message});
    endInsertRows();
    return row;
}

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int LogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= lines_.size()) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignCenter);
    }
    const Line& line = lines_[index.row()];
    if (role == Qt::ToolTipRole) {
        // The columns cut long messages; the tip shows the whole line.
        return line.time + QLatin1Char(' ') + line.message;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    return index.column() == kTime ? line.time : line.message;
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    return section == kTime ? QStringLiteral("Time") : QStringLiteral("Message");
}

}  // namespace uhf
