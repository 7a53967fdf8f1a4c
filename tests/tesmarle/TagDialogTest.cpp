#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <optional>

#include "fakes/PtyReaderPeer.h"
#include "tesmarle/qt/TagDialog.h"
#include "tesmarle/TesmarleTemplates.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/VirtualListView.h"

namespace uhf {
namespace {

using test::PtyReaderPeer;

constexpr int kWaitMs = 10000;  // only catches hangs
// Reports further apart than the link's 50 ms byte gap end each of its reads at once.
constexpr int kTagRate = 10;

class TagDialogTest : public testing::Test {
  protected:
    void SetUp() override { StartReader(kTagRate); }

    void StartReader(int tagRate, int silentAfter = -1) {
        SimConfig config;
        config.tagRate = tagRate;
        config.tags = {TagId{0x30, 0, 0, 0, 0, 0, 0, 0xFF},
                       TagId{0x01, 0x02, 0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D}};
        config.faults.silentAfter = silentAfter;
        dialog.reset();
        link.reset();
        reader.reset();
        reader.emplace(config);
        ASSERT_TRUE(reader->Ok());
        link = std::make_unique<ReaderLink>();
        ASSERT_TRUE(link->Open(reader->Path(), 9600));
        dialog = std::make_unique<TagDialog>(*link);
    }

    void TearDown() override {
        dialog.reset();
        link.reset();
        reader.reset();
    }

    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(dialog->Control(id)); }
    QString Status() const { return qobject_cast<QLabel*>(dialog->Control(kStatusLine))->text(); }
    int Rows() const { return dialog->Model().rowCount(); }
    QString Cell(int row, int column) const {
        return dialog->Model().data(dialog->Model().index(row, column), Qt::DisplayRole).toString();
    }

    bool WaitForRows(int atLeast) const {
        return QTest::qWaitFor([&] { return Rows() >= atLeast; }, kWaitMs);
    }

    void ExpectRowsNumberedFromOne() const {
        static const QRegularExpression tagText("^([0-9A-F]{2} ){8}$");
        for (int row = 0; row < Rows(); ++row) {
            ASSERT_EQ(Cell(row, 0), QString::number(row + 1));
            ASSERT_TRUE(tagText.match(Cell(row, 1)).hasMatch()) << Cell(row, 1).toStdString();
        }
    }

    std::optional<PtyReaderPeer> reader;
    std::unique_ptr<ReaderLink> link;
    std::unique_ptr<TagDialog> dialog;
};

TEST_F(TagDialogTest, OpensIdleWithItsColumnsAndSendsNothing) {
    EXPECT_TRUE(dialog->windowTitle().trimmed().isEmpty());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_NE(dialog->minimumSize(), dialog->maximumSize()) << "the frame is resizable";
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(Status().isEmpty());
    EXPECT_FALSE(dialog->IsTicking());
    EXPECT_TRUE(Button(kBackButton)->isDefault());
    EXPECT_EQ(Button(kBackButton)->text(), "Back");

    auto* view = qobject_cast<VirtualListView*>(dialog->Control(kTagList));
    ASSERT_NE(view, nullptr);
    const int w = view->frameGeometry().width();
    EXPECT_EQ(view->horizontalHeader()->sectionSize(0), w / 9);
    EXPECT_EQ(view->horizontalHeader()->sectionSize(1), w - w / 9 - 22);
    const DialogUnits units(dialog->font());
    EXPECT_EQ(view->geometry(), units.ToPixels(11, 11, 216, 130));
    EXPECT_EQ(dialog->size(), QSize(units.ToPixelsX(238), units.ToPixelsY(174)));
    QTest::qWait(100);
    EXPECT_EQ(reader->Received("Stop") + reader->Received("Resume"), 0);
}

TEST_F(TagDialogTest, RowsAreNumberedOnAcrossStopAndStart) {
    Button(kStartButton)->click();
    EXPECT_EQ(Status(), "Identifying tags...");
    EXPECT_TRUE(dialog->IsTicking());
    ASSERT_TRUE(WaitForRows(3));

    Button(kStopButton)->click();
    EXPECT_EQ(Status(), "Stop identifying...");
    EXPECT_FALSE(dialog->IsTicking());
    EXPECT_EQ(reader->Mode(), ReaderSimulator::Mode::Stopped);
    const int afterStop = Rows();
    QTest::qWait(3 * TagDialog::kTickMilliseconds);
    EXPECT_EQ(Rows(), afterStop) << "nothing is added while stopped";

    Button(kStartButton)->click();
    ASSERT_TRUE(WaitForRows(afterStop + 3));
    ExpectRowsNumberedFromOne();
}

TEST_F(TagDialogTest, ClearDuringIdentificationRestartsTheNumberingAtOne) {
    Button(kStartButton)->click();
    ASSERT_TRUE(WaitForRows(2));
    Button(kClearButton)->click();
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(Status().isEmpty());
    EXPECT_TRUE(dialog->IsTicking()) << "clearing does not stop identification";
    ASSERT_TRUE(WaitForRows(2));
    ExpectRowsNumberedFromOne();
    EXPECT_EQ(reader->Mode(), ReaderSimulator::Mode::Working);
}

TEST_F(TagDialogTest, BackSendsTheStopCommandAndCloses) {
    dialog->show();
    Button(kStartButton)->click();
    ASSERT_TRUE(WaitForRows(1));
    const int stops = reader->Received("Stop");
    Button(kBackButton)->click();
    EXPECT_EQ(reader->Received("Stop"), stops + 1);
    EXPECT_EQ(reader->Mode(), ReaderSimulator::Mode::Stopped);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->IsTicking());
}

TEST_F(TagDialogTest, EscapeStopsTheCollectionAsBackDoes) {
    dialog->show();
    Button(kStartButton)->click();
    ASSERT_TRUE(WaitForRows(1));
    const int stops = reader->Received("Stop");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(reader->Received("Stop"), stops + 1);
    EXPECT_EQ(reader->Mode(), ReaderSimulator::Mode::Stopped);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TagDialogTest, StopWithoutStartStillSendsTheStopCommand) {
    Button(kStopButton)->click();
    EXPECT_EQ(reader->Received("Stop"), 1);
    EXPECT_EQ(Status(), "Stop identifying...");
}

TEST_F(TagDialogTest, FailedStartSaysSoInTheStatusLine) {
    StartReader(kTagRate, 0);
    Button(kStartButton)->click();
    EXPECT_EQ(Status(), "Fail to identify 6B tag");
    EXPECT_FALSE(dialog->IsTicking());
    EXPECT_FALSE(link->ReceiveThreadStarted());
}

TEST_F(TagDialogTest, FailedStartKeepsARunningTimer) {
    StartReader(kTagRate, 2);  // answers the first Stop and Resume, then nothing
    Button(kStartButton)->click();
    ASSERT_EQ(Status(), "Identifying tags...");
    Button(kStartButton)->click();
    EXPECT_EQ(Status(), "Fail to identify 6B tag");
    EXPECT_TRUE(dialog->IsTicking());
}

TEST_F(TagDialogTest, FollowsTheNewestRowOnlyWhileScrolledToTheEnd) {
    StartReader(15);
    dialog->show();
    auto* view = qobject_cast<QAbstractItemView*>(dialog->Control(kTagList));
    QScrollBar* bar = view->verticalScrollBar();
    Button(kStartButton)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 2; }, kWaitMs));
    ASSERT_TRUE(WaitForRows(Rows() + 1));
    EXPECT_EQ(bar->value(), bar->maximum()) << "the newest row is shown";

    bar->setValue(0);
    const int rows = Rows();
    ASSERT_TRUE(WaitForRows(rows + 2));
    EXPECT_EQ(bar->value(), 0) << "a user who scrolled up stays where they are";

    view->scrollToBottom();
    ASSERT_TRUE(WaitForRows(Rows() + 2));
    EXPECT_EQ(bar->value(), bar->maximum()) << "back at the end, the list follows again";
    Button(kBackButton)->click();
}

TEST_F(TagDialogTest, RendersWithRows) {
    dialog->show();
    Button(kStartButton)->click();
    ASSERT_TRUE(WaitForRows(12));
    QDir().mkpath(UHF_RENDER_DIR);
    EXPECT_TRUE(dialog->grab().save(UHF_RENDER_DIR "/tag-dialog-rows.png"));
    Button(kBackButton)->click();
}

}  // namespace
}  // namespace uhf
