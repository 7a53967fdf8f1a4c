#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

namespace uhf {

// The lines of the download log: a time column and a message column. Lines are only ever
// appended, one row insertion each, so a view redraws the new row and not the whole list.
class LogModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kTime = 0, kMessage = 1 };

    explicit LogModel(QObject* parent = nullptr);

    // Appends a line and returns its row.
    int Append(const QString& time, const QString& message);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    struct Line {
        QString time;
        QString message;
    };
    QVector<Line> lines_;
};

}  // namespace uhf
