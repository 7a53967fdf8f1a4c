#include "ferrowin/DownloadPresenter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/PortConfig.h"
#include "fakes/FakeCommControl.h"
#include "fakes/FakeDialogView.h"
#include "fakes/FakeFileChooser.h"
#include "fakes/FakeTimerService.h"
#include "fakes/ManualClock.h"
#include "fakes/TempFolder.h"
#include "ferrowin/DownloadControlIds.h"
#include "protocol/FrameCodec.h"
#include "upgrade/FakeTransferHost.h"

namespace uhf {
namespace {

using Ids = DownloadControlIds;
using test::FakeDialogView;
using test::TempFolder;

constexpr int kInputs[] = {Ids::kPortList, Ids::kDeviceBaudList, Ids::kDownloadBaudList,
                           Ids::kFileButton, Ids::kDownloadButton};

// The presenter over a fake window whose baud-rate lists hold their five rates, settings in a
// temporary folder, a fake port, and timers on a manual clock. Log lines are stamped 07:05:09.
class DownloadPresenterTest : public testing::Test {
  protected:
    DownloadPresenterTest() {
        for (const char* rate : {"9600", "19200", "38400", "57600", "115200"}) {
            view.AddItem(Ids::kDeviceBaudList, rate);
            view.AddItem(Ids::kDownloadBaudList, rate);
        }
    }

    DownloadPresenter& Open() {
        config = std::make_unique<PortConfig>(folder.Dir(), [this] { return ports; });
        presenter = std::make_unique<DownloadPresenter>(view, *config, comm, timers, files, [] {
            std::tm t{};
            t.tm_hour = 7;
            t.tm_min = 5;
            t.tm_sec = 9;
            return t;
        });
        presenter->Initialise();
        return *presenter;
    }
    void Store(const std::string& key, const std::string& value) {
        PortConfig(folder.Dir(), [] { return std::vector<std::string>{}; }).WriteValue(key, value);
    }
    std::vector<std::string> Logs() const {
        std::vector<std::string> lines;
        for (int row = 0; row < presenter->LogCount(); ++row) {
            lines.push_back(presenter->Log(row).message);
        }
        return lines;
    }
    bool InputsEnabled() const {
        const bool on = view.At(Ids::kPortList).enabled;
        for (const int id : kInputs) {
            EXPECT_EQ(view.At(id).enabled, on) << id;
        }
        return on;
    }
    // A firmware file of `size` bytes, shown in the path box as "File" would show it.
    void ChooseImage(int size) {
        folder.Write("fw.bin", std::string(static_cast<std::size_t>(size), '\x5a'));
        files.answer = folder.PathOf("fw.bin");
        presenter->ChooseFile();
    }
    // The reader's answer E4 03 cmd 00 to the last request frame written.
    void AnswerLastRequest() {
        comm.FinishOpen();
        const std::vector<std::uint8_t>& frame = comm.writes.back().bytes;
        ASSERT_EQ(frame[0], 0xA0);
        const auto cmd = frame[2];
        comm.Deliver(EncodeUpgradeAnswer(cmd));
    }

    TempFolder folder;
    std::vector<std::string> ports{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS4"};
    FakeDialogView view;
    FakeCommControl comm;
    ManualClock clock;
    FakeTransferHost timers{clock};
    FakeFileChooser files;
    std::unique_ptr<PortConfig> config;
    std::unique_ptr<DownloadPresenter> presenter;
};

struct StoredChoices {
    const char* name;
    std::map<std::string, std::string> stored;  // settings an earlier run left; none: no file
    std::vector<std::string> ports;
    int deviceSelected;
    int downSelected;
    int portSelected;
    std::string path;
    std::vector<std::string> messages;
};

class RestoreTest : public DownloadPresenterTest,
                    public testing::WithParamInterface<StoredChoices> {};

TEST_P(RestoreTest, InitialisationRestoresTheStoredChoices) {
    const StoredChoices& c = GetParam();
    for (const auto& [key, value] : c.stored) {
        Store(key, value);
    }
    ports = c.ports;
    Open();

    EXPECT_EQ(view.At(Ids::kDeviceBaudList).selected, c.deviceSelected);
    EXPECT_EQ(view.At(Ids::kDownloadBaudList).selected, c.downSelected);
    EXPECT_EQ(view.At(Ids::kPortList).items, c.ports);
    EXPECT_EQ(view.At(Ids::kPortList).selected, c.portSelected);
    EXPECT_EQ(view.At(Ids::kPathBox).text, c.path);
    EXPECT_EQ(view.messages, c.messages);
    EXPECT_EQ(view.At(Ids::kProgressBar).range, std::make_pair(1, 100));
    EXPECT_TRUE(InputsEnabled());
    // A settings file exists afterwards, the defaults written where anything was missing.
    EXPECT_TRUE(folder.Exists("System.ini"));
}

const std::vector<std::string> kThreePorts{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS4"};

INSTANTIATE_TEST_SUITE_P(
    Settings, RestoreTest,
    testing::Values(StoredChoices{"FirstStart", {}, kThreePorts, -1, -1, 0, "", {}},
                    StoredChoices{"AllStored",
                                  {{"Port", "2"},
                                   {"DeviceBaud", "3"},
                                   {"DownBaud", "1"},
                                   {"DownloadFilePath", "/srv/images/reader.bin"}},
                                  kThreePorts,
                                  3,
                                  1,
                                  2,
                                  "/srv/images/reader.bin",
                                  {}},
                    StoredChoices{"PortBeyondTheList",
                                  {{"Port", "7"}, {"DeviceBaud", "0"}, {"DownBaud", "0"}},
                                  kThreePorts,
                                  0,
                                  0,
                                  0,
                                  "",
                                  {}},
                    StoredChoices{"NegativePort",
                                  {{"Port", "-1"}, {"DeviceBaud", "0"}, {"DownBaud", "0"}},
                                  kThreePorts,
                                  0,
                                  0,
                                  0,
                                  "",
                                  {}},
                    StoredChoices{"BaudIndexOutsideTheList",
                                  {{"Port", "1"}, {"DeviceBaud", "4"}, {"DownBaud", "9"}},
                                  kThreePorts,
                                  4,
                                  -1,
                                  1,
                                  "",
                                  {}},
                    StoredChoices{"NoPorts", {}, {}, -1, -1, -1, "", {"本电脑没有可用的串口!"}}),
    [](const testing::TestParamInfo<StoredChoices>& info) { return info.param.name; });

TEST_F(DownloadPresenterTest, EveryChoiceIsWrittenAtOnceAndACancelledChooserChangesNothing) {
    Store("DownloadFilePath", "/srv/old.bin");
    Open();
    const auto stored = [this] {
        PortConfig next(folder.Dir(), [this] { return ports; });
        int device = -1;
        int down = -1;
        int port = -1;
        std::string path;
        next.ReadBaudIndexes(device, down);
        next.ReadPortIndex(port);
        next.ReadFilePath(path);
        return std::make_tuple(port, device, down, path);
    };
    files.answer.reset();
    presenter->ChooseFile();
    EXPECT_EQ(files.asked, 1);
    EXPECT_EQ(view.At(Ids::kPathBox).text, "/srv/old.bin");
    EXPECT_EQ(stored(), std::make_tuple(0, 0, 0, std::string("/srv/old.bin")));

    presenter->SelectionChanged(Ids::kPortList, 2);
    presenter->SelectionChanged(Ids::kDeviceBaudList, 4);
    presenter->SelectionChanged(Ids::kDownloadBaudList, 3);
    files.answer = "/home/bench/fw 5.0.bin";
    presenter->ChooseFile();
    EXPECT_EQ(view.At(Ids::kPathBox).text, "/home/bench/fw 5.0.bin");
    EXPECT_EQ(stored(), std::make_tuple(2, 4, 3, std::string("/home/bench/fw 5.0.bin")));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(DownloadPresenterTest, PortListFollowsTheAdaptersKeepingTheChoiceAndStoringNothing) {
    Store("Port", "1");
    PortInfo ftdi{"/dev/ttyUSB2"};
    ftdi.manufacturer = "FTDI";
    ftdi.vendorId = "0403";
    ftdi.productId = "6001";
    ftdi.driver = "ftdi_sio";
    std::vector<PortInfo> adapters{PortInfo{"/dev/ttyUSB0"}, PortInfo{"/dev/ttyUSB1"}};
    config = std::make_unique<PortConfig>(folder.Dir(), [this] { return ports; });
    presenter = std::make_unique<DownloadPresenter>(view, *config, comm, timers, files);
    presenter->Initialise([&adapters] { return adapters; });
    test::FakeTimerService portTimers;
    presenter->WatchPorts(portTimers);
    ASSERT_EQ(portTimers.timers[DownloadPresenter::kPortWatchTimer].period.count(), 500);
    ASSERT_EQ(view.Text(Ids::kPortList), "/dev/ttyUSB1");
    const std::string settings = folder.Read("System.ini");

    struct Step {
        std::vector<PortInfo> ports;
        std::vector<std::string> items;
        std::string chosen;
        std::string toolTip;
    };
    const Step steps[] = {
        // An FTDI adapter plugged in: listed, the choice stays.
        {{PortInfo{"/dev/ttyUSB0"}, PortInfo{"/dev/ttyUSB1"}, ftdi},
         {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"},
         "/dev/ttyUSB1",
         "/dev/ttyUSB1"},
        // One before it pulled out: the choice moves with its entry.
        {{PortInfo{"/dev/ttyUSB1"}, ftdi},
         {"/dev/ttyUSB1", "/dev/ttyUSB2"},
         "/dev/ttyUSB1",
         "/dev/ttyUSB1"},
        // The chosen one pulled out: the first takes its place, and names its adapter.
        {{ftdi}, {"/dev/ttyUSB2"}, "/dev/ttyUSB2", "/dev/ttyUSB2\n" + ftdi.Describe()},
        {{}, {}, "", ""},
    };
    for (const Step& step : steps) {
        adapters = step.ports;
        portTimers.Fire(DownloadPresenter::kPortWatchTimer);
        EXPECT_EQ(view.At(Ids::kPortList).items, step.items);
        EXPECT_EQ(view.Text(Ids::kPortList), step.chosen);
        EXPECT_EQ(view.At(Ids::kPortList).toolTip, step.toolTip);
    }
    // The user's own choice: the tooltip follows it, naming the adapter where one is known.
    adapters = {PortInfo{"/dev/ttyUSB1"}, ftdi};
    portTimers.Fire(DownloadPresenter::kPortWatchTimer);
    for (const auto& [index, tip] :
         {std::pair<int, std::string>{1, "/dev/ttyUSB2\n" + ftdi.Describe()},
          {0, "/dev/ttyUSB1"}}) {
        view.SelectIndex(Ids::kPortList, index);
        presenter->PortChosen();
        EXPECT_EQ(view.At(Ids::kPortList).toolTip, tip);
    }
    EXPECT_EQ(folder.Read("System.ini"), settings) << "a refresh is not the user's choice";
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(Logs().empty());
}

TEST_F(DownloadPresenterTest, LogLinesAreStampedWithTheTimeOfDayAndTheNewestIsMarkedAndShown) {
    Open();
    for (int i = 1; i <= 20; ++i) {
        presenter->AddLog("line " + std::to_string(i));
    }
    ASSERT_EQ(presenter->LogCount(), 20);
    EXPECT_EQ(presenter->Log(19).time, "07:05:09");
    EXPECT_EQ(presenter->Log(19).message, "line 20");
    EXPECT_EQ(view.appended.back(), std::make_pair(19, 1));
    EXPECT_EQ(view.rows, 20);
    EXPECT_EQ(view.At(Ids::kLogList).selected, 19);
    EXPECT_EQ(view.scrolledTo, 19);
}

TEST_F(DownloadPresenterTest, DownloadRunsTheWholeTransferWithProgressLogAndTheInputsRule) {
    Store("Port", "1");
    Store("DeviceBaud", "4");
    Store("DownBaud", "2");
    Open();
    presenter->Download();  // nothing in the path box yet
    EXPECT_EQ(Logs(), std::vector<std::string>{"Please select one firmware."});
    EXPECT_TRUE(comm.opens.empty());

    ChooseImage(128);
    presenter->Download();
    ASSERT_EQ(comm.opens.size(), 1u);
    EXPECT_EQ(comm.opens[0].portName, "/dev/ttyUSB1");
    EXPECT_EQ(comm.opens[0].baudRate, 115200);
    EXPECT_FALSE(InputsEnabled());
    EXPECT_TRUE(view.At(Ids::kExistButton).enabled);
    presenter->Download();  // ignored while one runs
    EXPECT_EQ(comm.opens.size(), 1u);
    EXPECT_TRUE(comm.writes.empty()) << "nothing is sent before the port has opened";
    comm.FinishOpen();

    // Every frame is answered; an answer that sends nothing waits for the next expiry.
    for (int step = 0; step < 20 && !view.At(Ids::kDownloadButton).enabled; ++step) {
        const std::size_t writes = comm.writes.size();
        if (comm.writes.back().bytes[0] == 0xA0) {
            AnswerLastRequest();
        } else {
            comm.Deliver({0xE4, 0x03, 0x69, 0x00, 0xB0});  // the alternate probe's answer
        }
        if (comm.writes.size() == writes) {
            timers.FireNext(clock.Now() + 500);
            comm.FinishOpen();
        }
    }
    EXPECT_TRUE(InputsEnabled()) << "the transfer has ended";
    EXPECT_EQ(Logs(), (std::vector<std::string>{"Please select one firmware.", "Change baud rate.",
                                                "Start sending upgrade firmware.",
                                                "Upgrade file transferred successfully."}));
    // The baud-rate frame names the download rate by its place in the list: 2 for 38400.
    ASSERT_EQ(comm.opens.size(), 3u);
    EXPECT_EQ(comm.opens[2].baudRate, 38400);
    EXPECT_EQ(comm.writes[2].bytes, (std::vector<std::uint8_t>{0xA0, 0x03, 0x64, 0x02, 0xF7}));
    EXPECT_EQ(view.At(Ids::kProgressBar).range, std::make_pair(1, 2));
    EXPECT_EQ(view.At(Ids::kProgressBar).positions, (std::vector<int>{0, 1}));
    EXPECT_TRUE(InputsEnabled());
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(DownloadPresenterTest, MissingAcknowledgementIsAMessageBoxAndGivesTheInputsBack) {
    Store("DeviceBaud", "0");
    Store("DownBaud", "0");
    Open();
    ChooseImage(200);
    presenter->Download();
    comm.Deliver({0xE4, 0x03, 0x69, 0x00, 0xB0});
    timers.FireNext(clock.Now() + 500);  // to 9600, baud-rate frame
    AnswerLastRequest();
    timers.FireNext(clock.Now() + 300);  // size frame
    AnswerLastRequest();                 // first data frame, timer 2 armed
    ASSERT_EQ(comm.writes.back().bytes[2], 0x67);
    EXPECT_FALSE(InputsEnabled());
    timers.FireNext(clock.Now() + 1000);

    EXPECT_EQ(view.messages, std::vector<std::string>{"文件发送失败，请重试!"});
    EXPECT_TRUE(InputsEnabled());
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(DownloadPresenterTest, ExitInTheMiddleOfAProbeClosesThePortTheWindowAndTheTimers) {
    Store("DeviceBaud", "0");
    Store("DownBaud", "0");
    Open();
    ChooseImage(10);
    presenter->Download();
    comm.FinishOpen();
    ASSERT_TRUE(comm.IsOpen());
    ASSERT_TRUE(clock.IsArmed(0));

    presenter->Exit();
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(view.closed, std::optional<bool>(true));
    EXPECT_FALSE(clock.NextDeadline().has_value());
    const std::size_t writes = comm.writes.size();
    timers.Expire(0);  // a late timer message changes nothing
    EXPECT_EQ(comm.writes.size(), writes);
}

}  // namespace
}  // namespace uhf
