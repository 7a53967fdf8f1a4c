#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "fakes/FakeDialogView.h"
#include "fakes/FakeReaderLink.h"
#include "fakes/FakeTaskRunner.h"
#include "fakes/FakeTimerService.h"
#include "tesmarle/ParamPresenter.h"
#include "tesmarle/TesmarleControlIds.h"

namespace uhf {
namespace {

using test::FakeDialogView;
using test::FakeTaskRunner;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

constexpr int kConnectedButtons[] = {kDisconnectButton, kSetButton, kRefreshButton, kReadButton,
                                     kIdentifyButton};

class ParamPresenterTest : public testing::Test, protected test::FakeReaderLink {
  protected:
    ParamPresenterTest() {
        // The lists the window's template fills.
        view.controls[kConnectPortList].items = {"RS-485", "Wiegand"};
        view.controls[kProtocolList].items = {"Wiegand26", "Wiegand34", "Wiegand32", "Wiegand40"};
        view.controls[kExportTimeCombo].items = {"1", "2", "3", "4", "5"};
        view.controls[kExportDistanceList].items = {"100ms", "200ms", "300ms", "400ms", "500ms"};
        presenter = std::make_unique<ParamPresenter>(view, *link, runner);
        presenter->Initialise([this] { return ports; });
    }

    void ExpectConnected(bool connected) const {
        EXPECT_EQ(view.At(kConnectButton).enabled, !connected);
        for (int id : kConnectedButtons) {
            EXPECT_EQ(view.At(id).enabled, connected) << "control " << id;
        }
    }

    FakeDialogView view;
    FakeTaskRunner runner;
    std::vector<PortInfo> ports{PortInfo{"/dev/ttyUSB0"}, PortInfo{"/dev/ttyS0"}};
    std::unique_ptr<ParamPresenter> presenter;
};

TEST_F(ParamPresenterTest, InitialisesTheListsAndTheDisconnectedState) {
    EXPECT_EQ(view.At(kPortList).items, (Strings{"/dev/ttyUSB0", "/dev/ttyS0"}));
    EXPECT_EQ(view.At(kPortList).selected, 0);
    EXPECT_EQ(view.At(kBaudList).items, (Strings{"9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(view.Text(kBaudList), "9600");
    ASSERT_EQ(view.At(kFrequencyList).items.size(), 50U);
    EXPECT_EQ(view.At(kFrequencyList).selected, -1);
    EXPECT_EQ(view.At(kConnectPortList).selected, 0);
    ExpectConnected(false);
    for (int id : {kExportDistanceList, kExportTimeCombo, kProtocolList, kPulsePeriodsEdit,
                   kPulseWidthEdit}) {
        EXPECT_FALSE(view.At(id).enabled) << id;
    }
    EXPECT_TRUE(port->Writes().empty()) << "nothing goes to the reader before Connnect";
}

struct OpenFailureCase {
    const char* name;
    SerialError error;
    const char* message;
};

class ConnectFailureTest : public ParamPresenterTest,
                           public testing::WithParamInterface<OpenFailureCase> {};

TEST_P(ConnectFailureTest, SaysOpenFailWithTheReasonOnASecondLine) {
    port->openResult = GetParam().error;
    view.controls[kBaudList].selected = 4;
    presenter->Connect();
    EXPECT_EQ(port->openedBaud, 115200);
    EXPECT_EQ(view.messages, Strings{GetParam().message});
    EXPECT_EQ(view.journal.front(), "busy");
    EXPECT_EQ(view.journal.at(1), "idle") << "the message comes after the wait cursor";
    EXPECT_FALSE(link->IsOpen());
    ExpectConnected(false);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, ConnectFailureTest,
    testing::Values(
        OpenFailureCase{"Missing", SerialError::NoSuchDevice, "Open Fail!\nno such device"},
        OpenFailureCase{"Busy", SerialError::Busy,
                        "Open Fail!\nthe port is busy (another program has it open)"},
        OpenFailureCase{"Forbidden", SerialError::PermissionDenied,
                        "Open Fail!\npermission denied (the user must be in the group that owns "
                        "the device, e.g. dialout)"}),
    [](const testing::TestParamInfo<OpenFailureCase>& info) { return info.param.name; });

TEST_F(ParamPresenterTest, ASilentReaderGivesOpenFailAloneAndClosesThePort) {
    reader.silent = true;
    presenter->Connect();
    EXPECT_EQ(view.messages, Strings{"Open Fail!"});
    EXPECT_FALSE(link->IsOpen());
    ExpectConnected(false);
}

TEST_F(ParamPresenterTest, WhileACallRunsTheWindowIsBusyAndEveryHandlerIsIgnored) {
    runner.hold = true;
    presenter->Connect();
    ASSERT_EQ(runner.pending.size(), 1U);
    EXPECT_TRUE(presenter->IsBusy());
    EXPECT_TRUE(view.busy);
    EXPECT_FALSE(presenter->CanIdentifyTags());

    presenter->Connect();
    presenter->Set();
    presenter->Read();
    presenter->Resume();
    presenter->Disconnect();
    presenter->ConnectPortChosen(1);
    EXPECT_EQ(runner.calls, 1) << "no second call starts";
    EXPECT_FALSE(view.At(kProtocolList).enabled);
    EXPECT_TRUE(port->Writes().empty()) << "the held call has not run yet";

    ASSERT_TRUE(runner.Finish());
    EXPECT_FALSE(presenter->IsBusy());
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(link->IsOpen());
    ExpectConnected(true);
    EXPECT_TRUE(view.messages.empty());
}

// One call reads the record, writes every block and reads it back, and reports once idle.
TEST_F(ParamPresenterTest, SetReadsWritesEveryBlockAndReadsBackInOneCall) {
    presenter->Connect();
    port->ClearWrites();
    runner.hold = true;
    view.controls[kPowerEdit].text = "40";
    presenter->Set();
    EXPECT_TRUE(view.busy);
    ASSERT_TRUE(runner.Finish());
    EXPECT_FALSE(runner.Finish()) << "no second call";
    EXPECT_EQ(view.messages, Strings{"The parameters is set into the device successfully"});
    EXPECT_EQ(reader.memory[101], 40);
    std::string wire;
    for (const Bytes& written : port->Writes()) {
        wire += written.at(2) == 0x63 ? 'r' : written.at(2) == 0x62 ? 'w' : '?';
    }
    EXPECT_EQ(wire, "rrrrrrrwwwwwwwrrrrrrr");
    const std::vector<std::string> tail(view.journal.end() - 3, view.journal.end());
    EXPECT_EQ(tail, (Strings{"busy", "idle",
                             "message The parameters is set into the device successfully"}));
}

TEST_F(ParamPresenterTest, FailedReadOfSetWritesNothing) {
    presenter->Connect();
    port->ClearWrites();
    reader.silent = true;
    presenter->Set();
    EXPECT_EQ(view.messages,
              Strings{"Setting Error:It is fail to get the parameters from the device"});
    for (const Bytes& written : port->Writes()) {
        EXPECT_NE(written.at(2), 0x62) << "no block is written";
    }
    EXPECT_FALSE(view.busy);
    ExpectConnected(true);
}

struct RefusedBoxCase {
    const char* name;
    int box;
    const char* label;
    const char* text;
};

void PrintTo(const RefusedBoxCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusedNumberBox : public ParamPresenterTest,
                         public testing::WithParamInterface<RefusedBoxCase> {};

// A box whose text is no number, or a number outside its field's range, stops Set before
// anything reaches the reader; the message names the box as the window labels it.
TEST_P(RefusedNumberBox, IsNamedWithItsRangeAndNothingIsSent) {
    presenter->Connect();
    view.SelectIndex(kConnectPortList, 1);  // Wiegand: the pulse boxes count
    view.controls[GetParam().box].text = GetParam().text;
    port->ClearWrites();
    presenter->Set();
    EXPECT_EQ(view.messages, Strings{std::string(GetParam().label) +
                                     " must be a number from 0 to 255; nothing was written"});
    EXPECT_TRUE(port->Writes().empty()) << "not even the read";
    EXPECT_FALSE(view.busy);
    ExpectConnected(true);
}

INSTANTIATE_TEST_SUITE_P(
    BoxesAndTexts, RefusedNumberBox,
    testing::Values(
        RefusedBoxCase{"Power300", kPowerEdit, "Power", "300"},
        RefusedBoxCase{"PowerLetters", kPowerEdit, "Power", "abc"},
        RefusedBoxCase{"TimeDistance300", kTimeDistanceEdit, "Time distance", "300"},
        RefusedBoxCase{"TimeDistanceLetters", kTimeDistanceEdit, "Time distance", "abc"},
        RefusedBoxCase{"PulseWidth300", kPulseWidthEdit, "Pulse width", "300"},
        RefusedBoxCase{"PulseWidthLetters", kPulseWidthEdit, "Pulse width", "abc"},
        RefusedBoxCase{"PulsePeriods300", kPulsePeriodsEdit, "Pulse periods", "300"},
        RefusedBoxCase{"PulsePeriodsLetters", kPulsePeriodsEdit, "Pulse periods", "abc"}),
    [](const testing::TestParamInfo<RefusedBoxCase>& info) { return info.param.name; });

struct SetOutcomeCase {
    const char* name;
    int ignoreWriteAt;  // acknowledged, not stored
    int failWriteAt;
    int answered;  // the requests of Set that the reader answers
    std::string wire;
    const char* message;
};

void PrintTo(const SetOutcomeCase& c, std::ostream* out) {
    *out << c.name;
}

class SetOutcomeTest : public ParamPresenterTest,
                       public testing::WithParamInterface<SetOutcomeCase> {};

// After its write Set reads the record back: success is said only when the reader kept every
// field, and a field it acknowledged but did not keep is named as the window labels it.
TEST_P(SetOutcomeTest, SaysWhatTheReaderKept) {
    const SetOutcomeCase& c = GetParam();
    presenter->Connect();
    ASSERT_EQ(view.At(kConnectPortList).selected, 1) << "Wiegand: the pulse boxes count";
    port->ClearWrites();
    int requests = 0;
    port->SetResponder([this, c, &requests](const Bytes& written) {
        std::lock_guard<std::mutex> lock(readerMutex);
        reader.ignoreWriteAt = c.ignoreWriteAt;
        reader.failWriteAt = c.failWriteAt;
        const Bytes answer = reader.Answer(written);
        return ++requests > c.answered || answer.empty() ? std::vector<Bytes>{}
                                                         : std::vector<Bytes>{answer};
    });
    view.controls[kTimeDistanceEdit].text = "6";
    view.controls[kPulseWidthEdit].text = "11";
    presenter->Set();
    EXPECT_EQ(view.messages, Strings{c.message});
    std::string wire;
    for (const Bytes& written : port->Writes()) {
        wire += written.at(2) == 0x63 ? 'r' : written.at(2) == 0x62 ? 'w' : '?';
    }
    EXPECT_EQ(wire, c.wire);
    EXPECT_FALSE(view.busy);
    ExpectConnected(true);
}

const std::string kSevenReads(7, 'r');
const std::string kSevenWrites(7, 'w');

INSTANTIATE_TEST_SUITE_P(
    Readers, SetOutcomeTest,
    testing::Values(SetOutcomeCase{"KeepsItsOldWiegandBlock", 112, -1, 1000,
                                   kSevenReads + kSevenWrites + kSevenReads,
                                   "The device did not keep Pulse width, Time distance"},
                    SetOutcomeCase{"RefusesTheThirdBlock", -1, 123, 1000, kSevenReads + "www",
                                   "It is fail to set the parameters into the device"},
                    SetOutcomeCase{"FallsSilentBeforeTheReadBack", -1, -1, 14,
                                   kSevenReads + kSevenWrites + "r",
                                   "It is fail to set the parameters into the device"}),
    [](const testing::TestParamInfo<SetOutcomeCase>& info) { return info.param.name; });

struct CloseCase {
    const char* name;
    bool connectFirst;
    void (ParamPresenter::*handler)();  // null: the window is idle
    int closeAfter;                     // reader calls that end before the close is asked for
    int calls;                          // reader calls the handler makes
    int blocksWritten;
    const char* message;  // the outcome, shown before the window closes; "" for none
};

class CloseDuringACallTest : public ParamPresenterTest,
                             public testing::WithParamInterface<CloseCase> {};

// A close asked for during a reader call is neither dropped nor does it cut the call short:
// the window closes once the handler's last call has ended and its outcome has been shown.
TEST_P(CloseDuringACallTest, ClosesOnceTheHandlersCallsHaveEndedWhole) {
    const CloseCase c = GetParam();
    if (c.connectFirst) {
        presenter->Connect();
        ASSERT_FALSE(view.closed.has_value());
    }
    port->ClearWrites();
    view.messages.clear();
    view.controls[kPowerEdit].text = "17";
    runner.hold = true;
    if (c.handler != nullptr) {
        (presenter.get()->*c.handler)();
    }
    for (int call = 0; call < c.calls; ++call) {
        if (call == c.closeAfter) {
            presenter->Close();
            presenter->Close();  // asked twice, closed once
        }
        EXPECT_FALSE(view.closed.has_value()) << "closed during call " << call;
        ASSERT_TRUE(runner.Finish());
    }
    if (c.handler == nullptr) {
        presenter->Close();
    }
    EXPECT_FALSE(runner.Finish()) << "no call is left over";
    EXPECT_EQ(view.closed, std::optional<bool>(false));
    EXPECT_EQ(std::count(view.journal.begin(), view.journal.end(), "close rejected"), 1);
    EXPECT_EQ(view.messages, c.message[0] != '\0' ? Strings{c.message} : Strings{});
    if (c.message[0] != '\0') {
        EXPECT_EQ(view.journal.end()[-2], std::string("message ") + c.message);
    }
    int blocks = 0;
    for (const Bytes& written : port->Writes()) {
        blocks += written.at(2) == 0x62 ? 1 : 0;
    }
    EXPECT_EQ(blocks, c.blocksWritten);
    if (c.blocksWritten > 0) {
        std::lock_guard<std::mutex> lock(readerMutex);
        EXPECT_EQ(reader.memory[101], 17) << "the record was written whole";
    }
    EXPECT_FALSE(view.busy);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, CloseDuringACallTest,
    testing::Values(CloseCase{"Idle", false, nullptr, 0, 0, 0, ""},
                    CloseCase{"Connect", false, &ParamPresenter::Connect, 0, 1, 0, ""},
                    CloseCase{"Read", true, &ParamPresenter::Read, 0, 1, 0, ""},
                    CloseCase{"Resume", true, &ParamPresenter::Resume, 0, 1, 0,
                              "The device resumes successfully"},
                    // Asked for while Set runs: the write and its read-back still end whole.
                    CloseCase{"Set", true, &ParamPresenter::Set, 0, 1, 7,
                              "The parameters is set into the device successfully"}),
    [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

// What a port list does as adapters come and go is the download window's presenter's test; here,
// that this window's list is one such: watched every half second, its tooltip following the choice.
TEST_F(ParamPresenterTest, PortListIsWatchedEveryHalfSecondAndItsTooltipFollowsTheChoice) {
    test::FakeTimerService timers;
    presenter->WatchPorts(timers);
    ASSERT_TRUE(timers.IsRunning(ParamPresenter::kPortWatchTimer));
    EXPECT_EQ(timers.timers[ParamPresenter::kPortWatchTimer].period.count(), 500);
    view.SelectIndex(kPortList, 1);  // the user's choice: /dev/ttyS0

    PortInfo ftdi{"/dev/ttyUSB1"};
    ftdi.driver = "ftdi_sio";
    ports = {PortInfo{"/dev/ttyS0"}, ftdi};
    timers.Fire(ParamPresenter::kPortWatchTimer);
    EXPECT_EQ(view.At(kPortList).items, (Strings{"/dev/ttyS0", "/dev/ttyUSB1"}));
    EXPECT_EQ(view.Text(kPortList), "/dev/ttyS0");
    view.SelectIndex(kPortList, 1);
    presenter->PortChosen();
    EXPECT_EQ(view.At(kPortList).toolTip, "/dev/ttyUSB1\n" + ftdi.Describe());
}

}  // namespace
}  // namespace uhf
