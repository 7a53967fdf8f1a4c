#pragma once

#include <QAbstractItemView>
#include <QHeaderView>

namespace uhf {

// A report view for lists that grow without limit: one row per model row, every row as high as
// a line of the font, columns under a horizontal header. Qt's table and tree views keep a record
// per row (8 bytes or more, in arrays that double); this view keeps nothing per row, so a row
// costs only what the model behind it keeps, and it paints only the rows in sight. The vertical
// scroll bar counts rows.
class VirtualListView : public QAbstractItemView {
    Q_OBJECT

  public:
    explicit VirtualListView(QWidget* parent = nullptr);
    ~VirtualListView() override;

    QHeaderView* horizontalHeader() const { return header_; }
    int RowHeight() const { return rowHeight_; }

    void setModel(QAbstractItemModel* model) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void reset() override;

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int Rows() const;
    // Rows wholly in sight, at least 1.
    int RowsInSight() const;
    int FirstRow() const;
    // The row under viewport position y, which may lie past the last row.
    int RowAt(int y) const;
    void Relayout();

    QHeaderView* header_;
    int rowHeight_ = 0;
    bool laying_ = false;
};

}  // namespace uhf
