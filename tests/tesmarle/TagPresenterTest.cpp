#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeDialogView.h"
#include "fakes/FakeReader.h"
#include "fakes/FakeReaderLink.h"
#include "fakes/FakeTaskRunner.h"
#include "fakes/FakeTimerService.h"
#include "tesmarle/TagPresenter.h"
#include "tesmarle/TesmarleControlIds.h"

namespace uhf {
namespace {

using test::FakeDialogView;
using test::FakeReader;
using test::FakeTaskRunner;
using test::FakeTimerService;
using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

const std::array<std::uint8_t, 8> kTagA{0x30, 0, 0, 0, 0, 0, 0, 0xFF};
const std::array<std::uint8_t, 8> kTagB{0x01, 0x02, 0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D};

class TagPresenterTest : public testing::Test, protected test::FakeReaderLink {
  protected:
    TagPresenterTest() : FakeReaderLink(milliseconds(5)) {
        presenter =
            std::make_unique<TagPresenter>(view, *link, runner, timers, [this] { return clock; });
    }

    void SetUp() override { ASSERT_TRUE(link->Open("/dev/ttyUSB0", 115200)); }

    // Sends these reports and ticks until they are all rows (two seconds at most).
    void Report(const std::vector<std::array<std::uint8_t, 8>>& tags) {
        const int wanted = presenter->RowCount() + static_cast<int>(tags.size());
        for (const auto& tag : tags) {
            port->PushAfterGap(FakeReader::TagFrame(tag));
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (presenter->RowCount() < wanted && std::chrono::steady_clock::now() < deadline) {
            timers.Fire(TagPresenter::kTickTimer);
            std::this_thread::sleep_for(milliseconds(2));
        }
        ASSERT_EQ(presenter->RowCount(), wanted);
    }

    int Stops() const {
        int stops = 0;
        for (const Bytes& written : port->Writes()) {
            stops += written.size() > 2 && written[2] == 0xFE ? 1 : 0;
        }
        return stops;
    }

    FakeDialogView view;
    FakeTaskRunner runner;
    FakeTimerService timers;
    TagPresenter::Clock::time_point clock{};  // moves only when a test moves it
    std::unique_ptr<TagPresenter> presenter;
};

TEST_F(TagPresenterTest, TicksTurnReportsIntoNumberedRowsAndFollowOnlyAtTheEnd) {
    presenter->Start();
    EXPECT_EQ(view.Text(kStatusLine), "Identifying tags...");
    ASSERT_TRUE(timers.IsRunning(TagPresenter::kTickTimer));
    EXPECT_EQ(timers.timers[TagPresenter::kTickTimer].period, milliseconds(500));

    Report({kTagA, kTagB, kTagA});
    EXPECT_EQ(presenter->RowText(0, 0), "1");
    EXPECT_EQ(presenter->RowText(0, 1), "30 00 00 00 00 00 00 FF ");
    EXPECT_EQ(presenter->RowText(1, 1), "01 02 03 04 0A 0B 0C 0D ");
    EXPECT_EQ(presenter->RowText(2, 0), "3");
    EXPECT_EQ(presenter->RowText(2, 1), "30 00 00 00 00 00 00 FF ");
    EXPECT_EQ(view.rows, 3);
    EXPECT_EQ(view.scrolledTo, 2);

    // Scrolled up: the rows still come, the view stays where the user put it.
    view.scrolledToEnd = false;
    Report({kTagB});
    EXPECT_EQ(view.rows, 4);
    EXPECT_EQ(view.scrolledTo, 2);
    view.scrolledToEnd = true;
    Report({kTagB});
    EXPECT_EQ(view.scrolledTo, 4);

    const int before = static_cast<int>(view.appended.size());
    timers.Fire(TagPresenter::kTickTimer);
    EXPECT_EQ(static_cast<int>(view.appended.size()), before)
        << "a tick without reports adds nothing";
}

// The status line counts the reports and the distinct tags, and gives the reports a second over
// the last second of ticks, which falls back to 0 when the tags go away.
TEST_F(TagPresenterTest, StatusLineCountsTagsAndSaysTheCurrentRate) {
    presenter->Start();
    timers.Fire(TagPresenter::kTickTimer);  // nothing yet: the rate counts from here
    EXPECT_EQ(view.Text(kStatusLine), "Identifying tags...");
    clock += milliseconds(500);
    Report({kTagA, kTagB, kTagA});
    EXPECT_EQ(view.Text(kStatusLine), "Identifying tags... 3 reads, 2 tags, 6.0/s");
    clock += milliseconds(2100);
    timers.Fire(TagPresenter::kTickTimer);
    EXPECT_EQ(view.Text(kStatusLine), "Identifying tags... 3 reads, 2 tags, 0.0/s");

    presenter->Clear();
    timers.Fire(TagPresenter::kTickTimer);
    EXPECT_EQ(view.Text(kStatusLine), "") << "counted afresh, from the next report on";
}

TEST_F(TagPresenterTest, ClearEmptiesListAndStatusAndNumbersAgainFromOne) {
    presenter->Start();
    Report({kTagA, kTagB});
    presenter->Clear();
    EXPECT_EQ(presenter->RowCount(), 0);
    EXPECT_EQ(view.rows, 0);
    EXPECT_EQ(view.Text(kStatusLine), "");
    EXPECT_TRUE(presenter->IsTicking()) << "clearing does not stop identification";
    Report({kTagB});
    EXPECT_EQ(presenter->RowText(0, 0), "1");
}

TEST_F(TagPresenterTest, TicksDuringAStopLeaveTheReportsForLater) {
    presenter->Start();
    Report({kTagA});
    runner.hold = true;
    presenter->Stop();
    EXPECT_TRUE(view.busy);
    presenter->Start();
    presenter->Clear();
    timers.Fire(TagPresenter::kTickTimer);
    EXPECT_EQ(runner.calls, 2) << "Start and Clear are ignored while Stop runs";
    EXPECT_EQ(presenter->RowCount(), 1);
    EXPECT_EQ(view.Text(kStatusLine), "Identifying tags... 1 reads, 1 tags, 0.0/s");
    ASSERT_TRUE(runner.Finish());
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(presenter->IsTicking());
    EXPECT_EQ(view.Text(kStatusLine), "Stop identifying...");
}

TEST_F(TagPresenterTest, FailedStartSaysSoAndKeepsARunningTimer) {
    presenter->Start();
    ASSERT_TRUE(presenter->IsTicking());
    reader.silent = true;
    presenter->Start();
    EXPECT_EQ(view.Text(kStatusLine), "Fail to identify 6B tag");
    EXPECT_TRUE(presenter->IsTicking());
    EXPECT_EQ(timers.starts, 1);
}

TEST_F(TagPresenterTest, ClosingSendsTheStopCommandFirst) {
    for (const bool accepted : {true, false}) {
        view.closed.reset();
        presenter->Start();
        const int stops = Stops();
        runner.hold = true;
        presenter->Close(accepted);
        EXPECT_FALSE(view.closed.has_value()) << "the window waits for the stop command";
        ASSERT_TRUE(runner.Finish());
        runner.hold = false;
        EXPECT_EQ(Stops(), stops + 1);
        ASSERT_TRUE(view.closed.has_value());
        EXPECT_EQ(*view.closed, accepted);
        EXPECT_FALSE(presenter->IsTicking());
    }
}

}  // namespace
}  // namespace uhf
