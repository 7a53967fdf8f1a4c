#include "ui/qt/VirtualListView.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace uhf {

namespace {

// Pixel positions of far rows, kept within int and well outside any viewport.
int ClampPixels(qint64 pixels) {
    return static_cast<int>(std::clamp<qint64>(pixels, -(1 << 24), 1 << 24));
}

}  // namespace

VirtualListView::VirtualListView(QWidget* parent)
    : QAbstractItemView(parent),
      header_(new QHeaderView(Qt::Horizontal, this)),
      rowHeight_(fontMetrics().height() + 2) {
    connect(header_, &QHeaderView::sectionResized, this, &VirtualListView::Relayout);
    connect(header_, &QHeaderView::sectionCountChanged, this, &VirtualListView::Relayout);
    connect(header_, &QHeaderView::geometriesChanged, this, &VirtualListView::Relayout);
}

VirtualListView::~VirtualListView() {
    // The header outlives this part of the view, and speaks as it goes.
    header_->disconnect(this);
}

void VirtualListView::setModel(QAbstractItemModel* model) {
    QAbstractItemView::setModel(model);
    header_->setModel(model);
}

int VirtualListView::Rows() const {
    return model() != nullptr ? model()->rowCount(rootIndex()) : 0;
}

int VirtualListView::RowsInSight() const {
    return std::max(1, viewport()->height() / rowHeight_);
}

int VirtualListView::FirstRow() const {
    return verticalScrollBar()->value();
}

int VirtualListView::RowAt(int y) const {
    if (y < 0) {
        return -1;
    }
    return static_cast<int>(std::min<qint64>(INT_MAX, qint64{FirstRow()} + y / rowHeight_));
}

QRect VirtualListView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex() ||
        header_->isSectionHidden(index.column())) {
        return {};
    }
    const qint64 top = qint64{index.row() - FirstRow()} * rowHeight_;
    return {header_->sectionViewportPosition(index.column()), ClampPixels(top),
            header_->sectionSize(index.column()), rowHeight_};
}

void VirtualListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.parent() != rootIndex()) {
        return;
    }
    const int row = index.row();
    const int sight = RowsInSight();
    QScrollBar* bar = verticalScrollBar();
    switch (hint) {
        case PositionAtTop:
            bar->setValue(row);
            break;
        case PositionAtBottom:
            bar->setValue(row - sight + 1);
            break;
        case PositionAtCenter:
            bar->setValue(row - sight / 2);
            break;
        case EnsureVisible:
            if (row < FirstRow()) {
                bar->setValue(row);
            } else if (row - FirstRow() >= sight) {
                bar->setValue(row - sight + 1);
            }
            break;
    }
    const int left = header_->sectionPosition(index.column());
    QScrollBar* columns = horizontalScrollBar();
    const int right = left + header_->sectionSize(index.column());
    if (left < columns->value()) {
        columns->setValue(left);
    } else if (right > columns->value() + viewport()->width()) {
        columns->setValue(right - viewport()->width());
    }
}

QModelIndex VirtualListView::indexAt(const QPoint& point) const {
    const int row = RowAt(point.y());
    const int column = header_->logicalIndexAt(point.x());
    if (row < 0 || row >= Rows() || column < 0) {
        return {};
    }
    return model()->index(row, column, rootIndex());
}

QModelIndex VirtualListView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = Rows();
    if (rows == 0) {
        return {};
    }
    const QModelIndex current = currentIndex();
    int row = current.isValid() ? current.row() : -1;
    switch (action) {
        case MoveUp:
        case MovePrevious:
            --row;
            break;
        case MoveDown:
        case MoveNext:
            ++row;
            break;
        case MovePageUp:
            row -= RowsInSight();
            break;
        case MovePageDown:
            row = static_cast<int>(std::min<qint64>(INT_MAX, qint64{row} + RowsInSight()));
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
        case MoveLeft:
        case MoveRight:
            break;
    }
    return model()->index(std::clamp(row, 0, rows - 1), current.isValid() ? current.column() : 0,
                          rootIndex());
}

int VirtualListView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int VirtualListView::verticalOffset() const {
    return ClampPixels(qint64{FirstRow()} * rowHeight_);
}

bool VirtualListView::isIndexHidden(const QModelIndex&) const {
    return false;
}

void VirtualListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (model() == nullptr || selectionModel() == nullptr) {
        return;
    }
    const QRect area = rect.normalized();
    const int first = std::max(0, RowAt(area.top()));
    const int last = std::min(Rows() - 1, RowAt(area.bottom()));
    QItemSelection selection;
    if (first <= last && model()->columnCount(rootIndex()) > 0) {
        selection.select(model()->index(first, 0, rootIndex()),
                         model()->index(last, model()->columnCount(rootIndex()) - 1, rootIndex()));
    }
    selectionModel()->select(selection, command);
}

QRegion VirtualListView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const int height = viewport()->height();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex()) {
            continue;
        }
        const qint64 top = std::max<qint64>(0, qint64{range.top() - FirstRow()} * rowHeight_);
        const qint64 bottom =
            std::min<qint64>(height, qint64{range.bottom() + 1 - FirstRow()} * rowHeight_);
        if (bottom > top) {
            region += QRect(0, static_cast<int>(top), viewport()->width(),
                            static_cast<int>(bottom - top));
        }
    }
    return region;
}

void VirtualListView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex()) {
        return;
    }
    // Only the scroll range changes; rows below the viewport need no paint.
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, Rows() - RowsInSight()));
    if (start - FirstRow() <= RowsInSight()) {
        viewport()->update();
    }
}

void VirtualListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    scheduleDelayedItemsLayout();
}

void VirtualListView::reset() {
    QAbstractItemView::reset();
    Relayout();
}

void VirtualListView::updateGeometries() {
    if (laying_) {
        return;
    }
    laying_ = true;
    const int headerHeight = header_->isHidden() ? 0 : header_->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);

    const int sight = RowsInSight();
    QScrollBar* rows = verticalScrollBar();
    rows->setSingleStep(1);
    rows->setPageStep(sight);
    rows->setRange(0, std::max(0, Rows() - sight));
    QScrollBar* columns = horizontalScrollBar();
    columns->setSingleStep(rowHeight_);
    columns->setPageStep(area.width());
    columns->setRange(0, std::max(0, header_->length() - area.width()));
    laying_ = false;
    QAbstractItemView::updateGeometries();
}

void VirtualListView::Relayout() {
    updateGeometries();
    viewport()->update();
}

void VirtualListView::scrollContentsBy(int dx, int) {
    if (dx != 0) {
        header_->setOffset(horizontalScrollBar()->value());
    }
    viewport()->update();
}

void VirtualListView::paintEvent(QPaintEvent* event) {
    const int rows = Rows();
    if (rows == 0) {
        return;
    }
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int first = std::max(0, RowAt(area.top()));
    const int last = std::min(rows - 1, RowAt(area.bottom()));
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    const QModelIndex current = currentIndex();
    for (int row = first; row <= last; ++row) {
        for (int column = 0; column < header_->count(); ++column) {
            const QModelIndex index = model()->index(row, column, rootIndex());
            option.rect = visualRect(index);
            if (!option.rect.isValid() || !option.rect.intersects(area)) {
                continue;
            }
            option.state = state;
            if (selectionModel() != nullptr && selectionModel()->isSelected(index)) {
                option.state |= QStyle::State_Selected;
            }
            if (index == current && hasFocus()) {
                option.state |= QStyle::State_HasFocus;
            }
            itemDelegateForIndex(index)->paint(&painter, option, index);
        }
    }
}

void VirtualListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        rowHeight_ = fontMetrics().height() + 2;
        Relayout();
    }
    QAbstractItemView::changeEvent(event);
}

}  // namespace uhf
