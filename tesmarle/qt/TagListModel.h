#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>

namespace uhf {

// The rows of the tag list: column 0 the row number from 1, column 1 the tag text. The model
// holds no text: it asks for a cell's text when a view draws the cell. Rows are only ever
// appended, a batch at a time, or all removed.
class TagListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    using CellText = std::function<QString(int row, int column)>;

    explicit TagListModel(CellText cellText, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The store behind the model has gained rows [first, first + count), in one insertion.
    void RowsAppended(int first, int count);
    // The store behind the model has been emptied.
    void RowsCleared();

  private:
    CellText cellText_;
    int rows_ = 0;
};

}  // namespace uhf
