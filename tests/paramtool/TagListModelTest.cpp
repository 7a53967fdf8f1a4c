#include <gtest/gtest.h>

#include <QSignalSpy>

#include "paramtool/TagListModel.h"

namespace uhf {
namespace {

QString Cell(const TagListModel& model, int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

TEST(TagListModelTest, NumbersRowsOnAcrossBatchesAndKeepsRepeats) {
    TagListModel model;
    model.AppendRows({"AA ", "BB "});
    model.AppendRows({"AA "});
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(Cell(model, 0, 0), "1");
    EXPECT_EQ(Cell(model, 2, 0), "3");
    EXPECT_EQ(Cell(model, 2, 1), "AA ");
    EXPECT_EQ(Cell(model, 0, 1), "AA ");
}

TEST(TagListModelTest, AppendsABatchInOneInsertion) {
    TagListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QStringList batch;
    for (int i = 0; i < 450; ++i) {
        batch.append(QString::number(i));
    }
    model.AppendRows(batch);
    model.AppendRows({});
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 449);
}

TEST(TagListModelTest, ClearStartsTheNumberingAgainAtOne) {
    TagListModel model;
    model.AppendRows({"A", "B", "C"});
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    model.AppendRows({"D"});
    EXPECT_EQ(Cell(model, 0, 0), "1");
    EXPECT_EQ(Cell(model, 0, 1), "D");
}

TEST(TagListModelTest, HeadersAreNumberAndTagDataCentred) {
    TagListModel model;
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "NO.");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Tag Data");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::Alignment(Qt::AlignCenter));
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_FALSE(model.data(model.index(5, 0), Qt::DisplayRole).isValid());
}

}  // namespace
}  // namespace uhf
