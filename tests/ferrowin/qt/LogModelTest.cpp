#include <gtest/gtest.h>

#include <QSignalSpy>

#include "ferrowin/qt/LogModel.h"

namespace uhf {
namespace {

TEST(LogModelTest, AppendInsertsExactlyOneRowAndTouchesNoOtherRow) {
    LogModel log;
    log.Append("10:00:00", "first");
    QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&log, &QAbstractItemModel::modelReset);
    QSignalSpy layout(&log, &QAbstractItemModel::layoutChanged);
    QSignalSpy changed(&log, &QAbstractItemModel::dataChanged);

    EXPECT_EQ(log.Append("10:00:01", "second"), 1);

    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 1);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(layout.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(log.rowCount(), 2);
}

TEST(LogModelTest, ColumnsHoldTimeThenMessageWithCentredText) {
    LogModel log;
    log.Append("12:34:56", "Change baud rate.");
    EXPECT_EQ(log.columnCount(), 2);
    EXPECT_EQ(log.headerData(0, Qt::Horizontal).toString(), "Time");
    EXPECT_EQ(log.headerData(1, Qt::Horizontal).toString(), "Message");
    EXPECT_EQ(log.data(log.index(0, 0)).toString(), "12:34:56");
    EXPECT_EQ(log.data(log.index(0, 1)).toString(), "Change baud rate.");
    EXPECT_EQ(log.data(log.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignCenter);
    EXPECT_EQ(log.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignCenter);
    EXPECT_FALSE(log.data(log.index(1, 0)).isValid());
}

TEST(LogModelTest, TipShowsTheWholeLineOnEitherColumn) {
    LogModel log;
    const QString message = QStringLiteral("Reason: ") + QString(300, QLatin1Char('x'));
    log.Append("12:34:56", message);
    const QString whole = QStringLiteral("12:34:56 ") + message;
    EXPECT_EQ(log.data(log.index(0, LogModel::kTime), Qt::ToolTipRole).toString(), whole);
    EXPECT_EQ(log.data(log.index(0, LogModel::kMessage), Qt::ToolTipRole).toString(), whole);
}

}  // namespace
}  // namespace uhf
