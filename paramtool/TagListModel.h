#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace uhf {

// The rows of the tag list: column 0 the row number from 1, column 1 the tag text. Rows are
// only ever appended, a batch at a time, or all removed.
class TagListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit TagListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends one row per text, numbered on from the last row, in one insertion.
    void AppendRows(const QStringList& tagTexts);
    // Removes every row; the next row is number 1 again.
    void Clear();

  private:
    QStringList tagTexts_;
};

}  // namespace uhf
