#include <gtest/gtest.h>

#include <QAbstractTableModel>
#include <QApplication>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTest>
#include <algorithm>
#include <functional>
#include <set>

#include "ui/qt/VirtualListView.h"

namespace uhf {
namespace {

class CountingModel : public QAbstractTableModel {
  public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        return role == Qt::DisplayRole ? QVariant(index.row()) : QVariant();
    }
    void Append(int count) {
        beginInsertRows({}, rows, rows + count - 1);
        rows += count;
        endInsertRows();
    }
    void Clear() {
        beginResetModel();
        rows = 0;
        endResetModel();
    }
    int rows = 0;
};

// Remembers the rows that the view asked to paint.
class PaintedRows : public QStyledItemDelegate {
  public:
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        rows.insert(index.row());
        QStyledItemDelegate::paint(painter, option, index);
    }
    mutable std::set<int> rows;
};

class VirtualListViewTest : public testing::Test {
  protected:
    void SetUp() override {
        view.setItemDelegate(&painted);
        view.setSelectionMode(QAbstractItemView::SingleSelection);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setModel(&model);
        view.resize(240, 200);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    int First() const { return view.verticalScrollBar()->value(); }
    int Sight() const { return view.viewport()->height() / view.RowHeight(); }
    // The rows painted when the whole viewport is drawn again.
    std::set<int> Paint() {
        painted.rows.clear();
        view.viewport()->repaint();
        return painted.rows;
    }

    CountingModel model;
    PaintedRows painted;
    VirtualListView view;
};

// Wherever the list stands, a row's rectangle, the row under a point, a click and the painted
// rows agree with each other and with the scroll bar, a million rows in.
TEST_F(VirtualListViewTest, RowsPixelsClicksAndPaintAgreeWhereverTheListIsScrolled) {
    constexpr int kRows = 1'000'000;
    model.Append(kRows);
    struct Case {
        const char* name;
        std::function<void()> scroll;
        int first;  // expected top row; -1: rows - sight
    };
    const Case cases[] = {
        {"top", [&] { view.scrollToTop(); }, 0},
        {"centre",
         [&] { view.scrollTo(model.index(500'000, 1), VirtualListView::PositionAtCenter); },
         500'000 - Sight() / 2},
        {"bottom", [&] { view.scrollToBottom(); }, -1},
        {"ensure visible from below", [&] { view.scrollTo(model.index(10, 0)); }, 10},
        {"ensure visible, already in sight", [&] { view.scrollTo(model.index(12, 0)); }, 10},
        {"end key", [&] { QTest::keyClick(view.viewport(), Qt::Key_End); }, -1},
    };
    ASSERT_GT(Sight(), 3);
    const int h = view.RowHeight();
    const int x = view.horizontalHeader()->sectionViewportPosition(1) + 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.scroll();
        const int first = c.first >= 0 ? c.first : kRows - Sight();
        ASSERT_EQ(First(), first);
        EXPECT_EQ(view.indexAt(QPoint(x, 0)), model.index(first, 1));
        EXPECT_EQ(view.indexAt(QPoint(x, Sight() * h - 1)), model.index(first + Sight() - 1, 1));
        EXPECT_EQ(view.visualRect(model.index(first + 2, 1)).top(), 2 * h);
        EXPECT_FALSE(view.indexAt(QPoint(x, -1)).isValid());

        const std::set<int> rows = Paint();
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(*rows.begin(), first);
        EXPECT_GE(*rows.rbegin(), first + Sight() - 1);
        EXPECT_LE(*rows.rbegin(), std::min(kRows - 1, first + Sight()));

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.visualRect(model.index(first + 1, 0)).center());
        ASSERT_EQ(view.selectionModel()->selectedRows().size(), 1);
        EXPECT_EQ(view.selectionModel()->selectedRows()[0].row(), first + 1);
        EXPECT_EQ(view.currentIndex().row(), first + 1);
    }
    EXPECT_EQ(view.visualRect(model.index(kRows - 1, 0)).bottom(), Sight() * h - 1)
        << "the last row is whole at the bottom";
}

TEST_F(VirtualListViewTest, AppendedRowsWidenTheScrollRangeAndClearingEmptiesIt) {
    model.Append(2);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(Paint(), (std::set<int>{0, 1}));

    model.Append(Sight() + 450);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), model.rows - Sight())
        << "known at once, so that the newest row can be scrolled to in the same tick";
    view.scrollToBottom();
    EXPECT_EQ(First(), model.rows - Sight());
    EXPECT_TRUE(Paint().count(model.rows - 1));

    model.Clear();
    QApplication::processEvents();
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(First(), 0);
    EXPECT_TRUE(Paint().empty());
    EXPECT_FALSE(view.indexAt(QPoint(5, 5)).isValid());
}

}  // namespace
}  // namespace uhf
