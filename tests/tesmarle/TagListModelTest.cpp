#include <gtest/gtest.h>

#include <QSignalSpy>

#include "tesmarle/qt/TagListModel.h"

namespace uhf {
namespace {

QString Cell(const TagListModel& model, int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

TagListModel::CellText Texts() {
    return [](int row, int column) { return QStringLiteral("%1:%2").arg(row).arg(column); };
}

TEST(TagListModelTest, AsksForTheTextOfEachCellItShows) {
    TagListModel model(Texts());
    model.RowsAppended(0, 2);
    model.RowsAppended(2, 1);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(Cell(model, 2, 0), "2:0");
    EXPECT_EQ(Cell(model, 0, 1), "0:1");
    EXPECT_FALSE(model.data(model.index(3, 0), Qt::DisplayRole).isValid());
}

TEST(TagListModelTest, AppendsABatchInOneInsertion) {
    TagListModel model(Texts());
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.RowsAppended(0, 450);
    model.RowsAppended(450, 0);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 449);
}

TEST(TagListModelTest, ClearEmptiesTheList) {
    TagListModel model(Texts());
    model.RowsAppended(0, 3);
    model.RowsCleared();
    EXPECT_EQ(model.rowCount(), 0);
    model.RowsAppended(0, 1);
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(TagListModelTest, HeadersAreNumberAndTagDataCentred) {
    TagListModel model(Texts());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "NO.");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Tag Data");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::Alignment(Qt::AlignCenter));
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_FALSE(model.data(model.index(5, 0), Qt::DisplayRole).isValid());
}

}  // namespace
}  // namespace uhf
