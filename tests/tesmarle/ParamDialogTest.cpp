#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "fakes/PtyReaderPeer.h"
#include "fakes/QtWaitFor.h"
#include "fakes/ReadersimProcess.h"
#include "fakes/RecordingNotifier.h"
#include "fakes/TempFolder.h"
#include "tesmarle/TesmarleTemplates.h"
#include "tesmarle/qt/AboutBox.h"
#include "tesmarle/qt/ParamDialog.h"
#include "tesmarle/qt/TagDialog.h"
#include "ui/qt/DialogUnits.h"

namespace uhf {
namespace {

using test::PtyReaderPeer;

// Reader memory addresses of the fields the window shows.
enum Address {
    kPower = 101,
    kTimeDistance = 113,
    kConnectPort = 114,
    kProtocol = 115,
    kPulseWidth = 116,
    kPulsePeriods = 117,
    kExportTime = 118,
    kExportDistance = 119,
    kIdBorder = 123,
    kCardMode = 135,
    kLockedFrequency = 144,
};

ParameterMemory Memory(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
    ParameterMemory memory;
    for (const auto& [address, value] : bytes) {
        memory.Write(address, &value, 1);
    }
    return memory;
}

// A reader that is quick with its tag reports, so the tag tests need not wait long.
SimConfig QuickReader() {
    SimConfig config;
    config.tagRate = 40;
    return config;
}

// What "Connnect" says with no port to name.
const QString kOpenFailNoName =
    QStringLiteral("Open Fail!\nthe port name is not a valid port name");

// Stop and the seven block reads of a connect.
constexpr int kFramesOfConnect = 8;

// Notes the time of every paint of the widget it watches.
class PaintClock : public QObject {
  public:
    void Reset() {
        count = 0;
        longest = 0;
        last.start();
    }
    qint64 LongestGap() const { return std::max(longest, last.elapsed()); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && last.isValid()) {
            longest = std::max(longest, last.restart());
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }

    int count = 0;
    qint64 longest = 0;
    QElapsedTimer last;
};

class ParamDialogTest : public testing::Test {
  protected:
    void Open(SimConfig config = QuickReader(), ParameterMemory memory = {}) {
        reader.emplace(std::move(config), memory);
        ASSERT_TRUE(reader->Ok());
        const std::string path = reader->Path();
        OpenWithPorts({path});
    }

    void OpenWithPorts(std::vector<std::string> ports) {
        std::vector<PortInfo> list;
        for (const std::string& port : ports) {
            list.push_back(PortInfo{port});
        }
        dialog = std::make_unique<ParamDialog>(std::make_unique<ReaderLink>(), notifier,
                                               [list] { return list; });
    }

    void Connect() {
        Button(kConnectButton)->click();
        ASSERT_EQ(notifier.messages, QStringList{})
            << "connect failed: " << ToString(dialog->Link().LastError());
    }

    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(dialog->Control(id)); }
    QComboBox* Combo(int id) const { return qobject_cast<QComboBox*>(dialog->Control(id)); }
    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(dialog->Control(id)); }
    QRadioButton* Radio(int id) const { return qobject_cast<QRadioButton*>(dialog->Control(id)); }
    QCheckBox* Check() const { return qobject_cast<QCheckBox*>(dialog->Control(kIdBorderCheck)); }

    // Picks an item the way the user does, so the window sees a selection change.
    void Choose(int id, int index) {
        Combo(id)->setCurrentIndex(index);
        emit Combo(id)->activated(index);
    }

    void ExpectConnectedButtons(bool connected) const {
        EXPECT_EQ(Button(kConnectButton)->isEnabled(), !connected);
        for (int id :
             {kDisconnectButton, kSetButton, kRefreshButton, kReadButton, kIdentifyButton}) {
            EXPECT_EQ(Button(id)->isEnabled(), connected) << "button " << id;
        }
    }

    bool WiegandGroupEnabled() const {
        int enabled = 0;
        for (int id : {kProtocolList, kExportTimeCombo, kExportDistanceList, kPulseWidthEdit,
                       kPulsePeriodsEdit}) {
            enabled += dialog->Control(id)->isEnabled() ? 1 : 0;
        }
        EXPECT_TRUE(enabled == 0 || enabled == 5) << "the five go on and off together";
        return enabled == 5;
    }

    std::optional<PtyReaderPeer> reader;
    RecordingNotifier notifier;
    std::unique_ptr<ParamDialog> dialog;
};

TEST_F(ParamDialogTest, StartsDisconnectedWithPortsBaudRatesAndEmptyControls) {
    OpenWithPorts({"/dev/ttyS1", "/dev/ttyUSB0"});
    EXPECT_EQ(dialog->windowTitle(), "Tesmarle");
    ASSERT_EQ(Combo(kPortList)->count(), 2);
    EXPECT_EQ(Combo(kPortList)->itemText(1), "/dev/ttyUSB0");
    EXPECT_EQ(Combo(kPortList)->currentText(), "/dev/ttyS1");
    EXPECT_EQ(Combo(kBaudList)->count(), 5);
    EXPECT_EQ(Combo(kBaudList)->itemText(4), "115200");
    EXPECT_EQ(Combo(kBaudList)->currentText(), "9600");
    EXPECT_EQ(Combo(kFrequencyList)->count(), 50);
    EXPECT_EQ(Combo(kFrequencyList)->currentIndex(), -1);
    EXPECT_EQ(Combo(kConnectPortList)->currentText(), "RS-485");
    for (int id : {kProtocolList, kExportTimeCombo, kExportDistanceList}) {
        EXPECT_EQ(Combo(id)->currentIndex(), -1) << id;
    }
    EXPECT_EQ(Combo(kExportTimeCombo)->itemText(0), "1");
    ASSERT_NE(Combo(kExportTimeCombo)->lineEdit(), nullptr);
    EXPECT_EQ(Combo(kExportTimeCombo)->lineEdit()->font(), dialog->font())
        << "the edit field of Export time writes in the dialog font";
    EXPECT_EQ(Combo(kExportDistanceList)->itemText(9), "1000ms");
    EXPECT_EQ(Combo(kProtocolList)->itemText(2), "Wiegand32");
    for (int id :
         {kSingleCardRadio, kMultiCardsRadio, kJumpFrequencyRadio, kLockedFrequencyRadio}) {
        EXPECT_FALSE(Radio(id)->isChecked()) << id;
    }
    EXPECT_FALSE(Check()->isChecked());
    EXPECT_TRUE(Edit(kPowerEdit)->text().isEmpty());
    EXPECT_EQ(Edit(kPowerEdit)->maxLength(), 3);
    EXPECT_EQ(Button(kConnectButton)->text(), "Connnect");
    ExpectConnectedButtons(false);
    EXPECT_FALSE(WiegandGroupEnabled());
    EXPECT_TRUE(notifier.messages.isEmpty());

    const DialogUnits units(dialog->font());
    EXPECT_EQ(dialog->size(), QSize(units.ToPixelsX(285), units.ToPixelsY(229)));
    EXPECT_EQ(Button(kIdentifyButton)->geometry(), units.ToPixels(214, 208, 50, 14));
    QDir().mkpath(UHF_RENDER_DIR);
    EXPECT_TRUE(dialog->grab().save(UHF_RENDER_DIR "/param-dialog-disconnected.png"));
}

TEST_F(ParamDialogTest, ConnectShowsTheReadersRecordAndDisconnectReversesTheButtons) {
    Open(QuickReader(), Memory({{kPower, 27},
                                {kCardMode, 1},
                                {kTimeDistance, 9},
                                {kIdBorder, 1},
                                {kConnectPort, 2},
                                {kProtocol, 2},
                                {kExportTime, 3},
                                {kExportDistance, 10},
                                {kPulseWidth, 40},
                                {kPulsePeriods, 200},
                                {kLockedFrequency, 7}}));
    Connect();
    ExpectConnectedButtons(true);
    EXPECT_TRUE(dialog->Link().IsOpen());
    EXPECT_EQ(reader->Received("Stop"), 1) << "the reader is stopped before the first read";
    EXPECT_EQ(Edit(kPowerEdit)->text(), "27");
    EXPECT_TRUE(Radio(kMultiCardsRadio)->isChecked());
    EXPECT_FALSE(Radio(kSingleCardRadio)->isChecked());
    EXPECT_EQ(Edit(kTimeDistanceEdit)->text(), "9");
    EXPECT_TRUE(Check()->isChecked());
    EXPECT_EQ(Combo(kConnectPortList)->currentText(), "Wiegand");
    EXPECT_TRUE(WiegandGroupEnabled());
    EXPECT_EQ(Combo(kProtocolList)->currentText(), "Wiegand34");
    EXPECT_EQ(Combo(kExportTimeCombo)->currentText(), "3");
    EXPECT_EQ(Combo(kExportDistanceList)->currentText(), "1000ms");
    EXPECT_EQ(Edit(kPulseWidthEdit)->text(), "40");
    EXPECT_EQ(Edit(kPulsePeriodsEdit)->text(), "200");
    EXPECT_TRUE(Radio(kLockedFrequencyRadio)->isChecked());
    EXPECT_EQ(Combo(kFrequencyList)->currentText(), "905.5 MHz");

    QDir().mkpath(UHF_RENDER_DIR);
    EXPECT_TRUE(dialog->grab().save(UHF_RENDER_DIR "/param-dialog-connected.png"));

    Button(kDisconnectButton)->click();
    ExpectConnectedButtons(false);
    EXPECT_FALSE(dialog->Link().IsOpen());
    EXPECT_TRUE(notifier.messages.isEmpty());
}

TEST_F(ParamDialogTest, ConnectToAMissingPortSaysOpenFailAndStaysDisconnected) {
    OpenWithPorts({"/dev/no-such-serial-port"});
    Button(kConnectButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{"Open Fail!\nno such device"});
    EXPECT_FALSE(dialog->Link().IsOpen());
    ExpectConnectedButtons(false);
}

TEST_F(ParamDialogTest, ConnectToAPortInUseSaysOpenFailAndThatItIsBusy) {
    Open();
    ReaderLink other;
    ASSERT_TRUE(other.Open(reader->Path(), 9600));
    Button(kConnectButton)->click();
    EXPECT_EQ(notifier.messages,
              QStringList{"Open Fail!\nthe port is busy (another program has it open)"});
    ExpectConnectedButtons(false);
}

TEST_F(ParamDialogTest, PortPathShowsWhollyInItsTooltipAndChannelListScrollsADozenAtATime) {
    const std::string longPath = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    OpenWithPorts({longPath, "/dev/ttyS0"});
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    EXPECT_EQ(Combo(kPortList)->toolTip().toStdString(), longPath);
    Combo(kPortList)->setCurrentIndex(1);
    EXPECT_EQ(Combo(kPortList)->toolTip(), "/dev/ttyS0");

    QComboBox* channels = Combo(kFrequencyList);
    channels->showPopup();
    QAbstractItemView* list = channels->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 5000));
    const int rowHeight = list->sizeHintForRow(0);
    ASSERT_GT(rowHeight, 0);
    const int shown = list->viewport()->height() / rowHeight;
    EXPECT_GE(shown, 10);
    EXPECT_LE(shown, 13);
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0) << "the rest is a scroll away";
    channels->hidePopup();
}

TEST_F(ParamDialogTest, WindowKeepsPaintingWhileASlowReaderAnswersSet) {
    SimConfig config;
    config.tagRate = 0;  // tag reports would end each reply read long before a slow reply
    // Slow enough that Set takes over a second, yet a third of the link's reply window, so that
    // a loaded machine (sanitizers, parallel tests) does not push a reply past it.
    config.faults.delayMs = 100;
    Open(config);
    Connect();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));

    // Asks for a repaint every 10 ms and notes when each one is drawn.
    PaintClock paints;
    dialog->installEventFilter(&paints);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, dialog.get(), [this] { dialog->update(); });
    repaint.start(10);
    QTest::qWait(50);
    paints.Reset();
    QTimer::singleShot(0, [this] {
        // A second press while Set runs must not start another call.
        Button(kSetButton)->click();
        Button(kReadButton)->click();
    });
    Button(kSetButton)->click();
    const qint64 longestGap = paints.LongestGap();
    repaint.stop();
    EXPECT_EQ(notifier.messages, QStringList{"The parameters is set into the device successfully"});
    EXPECT_GT(paints.count, 20) << "Set takes seconds; the window painted all along";
    EXPECT_LT(longestGap, 250) << "longest gap between paints: " << longestGap << " ms";
    RecordProperty("longest_paint_gap_ms", static_cast<int>(longestGap));
    std::printf("longest gap between paints during Set: %lld ms over %d paints\n",
                static_cast<long long>(longestGap), paints.count);
}

TEST_F(ParamDialogTest, ConnectWithNoPortsSaysOpenFail) {
    OpenWithPorts({});
    EXPECT_EQ(Combo(kPortList)->count(), 0);
    Button(kConnectButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{kOpenFailNoName});
    ExpectConnectedButtons(false);
}

TEST_F(ParamDialogTest, ConnectToASilentReaderSaysOpenFailAndClosesThePort) {
    SimConfig config = QuickReader();
    config.faults.silentAfter = 0;
    Open(config);
    Button(kConnectButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{"Open Fail!"});
    EXPECT_FALSE(dialog->Link().IsOpen());
    ExpectConnectedButtons(false);
    EXPECT_GE(reader->Received("ReadBlock"), 1) << "the port was open and a read was tried";
}

TEST_F(ParamDialogTest, ConnectPassesTheWholePortNameAndTheChosenRate) {
    Open();
    ASSERT_GT(reader->Path().size(), 9U);
    Combo(kBaudList)->setCurrentIndex(4);
    Button(kConnectButton)->setFocus();
    Connect();
    EXPECT_EQ(Combo(kPortList)->currentText().toStdString(), reader->Path());
    ExpectConnectedButtons(true);
    // "Connnect" disables itself: the focus goes on to the next control that takes it, as in
    // the Win32 window.
    EXPECT_EQ(dialog->focusWidget(), Combo(kConnectPortList));
}

TEST_F(ParamDialogTest, ReadShowsTheReadersRecordOverWhatTheUserTyped) {
    Open(QuickReader(), Memory({{kPower, 27}, {kIdBorder, 0}}));
    Connect();
    Check()->setChecked(true);
    Edit(kPowerEdit)->setText("99");
    Button(kReadButton)->click();
    EXPECT_TRUE(notifier.messages.isEmpty());
    EXPECT_FALSE(Check()->isChecked());
    EXPECT_EQ(Edit(kPowerEdit)->text(), "27");
    ExpectConnectedButtons(true);
}

TEST_F(ParamDialogTest, FailedReadSaysSoAndLeavesControlsAndStateAlone) {
    SimConfig config = QuickReader();
    config.faults.silentAfter = kFramesOfConnect;
    Open(config, Memory({{kPower, 27}}));
    Connect();
    Edit(kPowerEdit)->setText("99");
    Button(kReadButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{"It is fail to refresh the parameters"});
    EXPECT_EQ(Edit(kPowerEdit)->text(), "99");
    ExpectConnectedButtons(true);
    EXPECT_TRUE(dialog->Link().IsOpen());
}

TEST_F(ParamDialogTest, SetWritesTheShownFieldsAndKeepsWiegandFieldsWhenRs485IsChosen) {
    Open(QuickReader(), Memory({{kConnectPort, 1},
                                {kProtocol, 3},
                                {kExportTime, 2},
                                {kExportDistance, 5},
                                {kPulseWidth, 40},
                                {kPulsePeriods, 20},
                                {kLockedFrequency, 12}}));
    const std::uint8_t carried[] = {reader->At(100), reader->At(112), reader->At(132),
                                    reader->At(137)};
    Connect();
    // What the disabled Wiegand controls show must not reach the reader, nor stop the write.
    Combo(kProtocolList)->setCurrentIndex(0);
    Combo(kExportTimeCombo)->setCurrentIndex(0);
    Combo(kExportDistanceList)->setCurrentIndex(0);
    Edit(kPulseWidthEdit)->setText("abc");
    Edit(kPulsePeriodsEdit)->setText("2");
    Edit(kPowerEdit)->setText("255");
    Radio(kMultiCardsRadio)->setChecked(true);
    Edit(kTimeDistanceEdit)->setText("7");
    Check()->setChecked(true);
    Radio(kJumpFrequencyRadio)->setChecked(true);

    Button(kSetButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{"The parameters is set into the device successfully"});
    EXPECT_EQ(reader->At(kPower), 255);
    EXPECT_EQ(reader->At(kCardMode), 1);
    EXPECT_EQ(reader->At(kTimeDistance), 7);
    EXPECT_EQ(reader->At(kIdBorder), 1);
    EXPECT_EQ(reader->At(kConnectPort), 1);
    EXPECT_EQ(reader->At(kLockedFrequency), 0);
    EXPECT_EQ(reader->At(kProtocol), 3);
    EXPECT_EQ(reader->At(kExportTime), 2);
    EXPECT_EQ(reader->At(kExportDistance), 5);
    EXPECT_EQ(reader->At(kPulseWidth), 40);
    EXPECT_EQ(reader->At(kPulsePeriods), 20);
    EXPECT_EQ(reader->At(100), carried[0]);
    EXPECT_EQ(reader->At(112), carried[1]);
    EXPECT_EQ(reader->At(132), carried[2]);
    EXPECT_EQ(reader->At(137), carried[3]);
    // The controls keep what the user entered.
    EXPECT_EQ(Edit(kPowerEdit)->text(), "255");
    EXPECT_EQ(Combo(kProtocolList)->currentIndex(), 0);
}

TEST_F(ParamDialogTest, SetWithWiegandChosenWritesTheWiegandControlsAndTheLockedChannel) {
    Open(QuickReader(), Memory({{kConnectPort, 1}}));
    Connect();
    Choose(kConnectPortList, 1);
    Combo(kProtocolList)->setCurrentIndex(3);
    Combo(kExportTimeCombo)->setCurrentIndex(1);
    Combo(kExportDistanceList)->setCurrentIndex(6);
    Edit(kPulseWidthEdit)->setText("26");
    Edit(kPulsePeriodsEdit)->setText("15");
    Radio(kLockedFrequencyRadio)->setChecked(true);
    Combo(kFrequencyList)->setCurrentIndex(49);
    Edit(kPowerEdit)->setText("0");

    Button(kSetButton)->click();
    EXPECT_EQ(notifier.Last(), "The parameters is set into the device successfully");
    EXPECT_EQ(reader->At(kConnectPort), 2);
    EXPECT_EQ(reader->At(kProtocol), 4);
    EXPECT_EQ(reader->At(kExportTime), 2);
    EXPECT_EQ(reader->At(kExportDistance), 7);
    EXPECT_EQ(reader->At(kPulseWidth), 26);
    EXPECT_EQ(reader->At(kPulsePeriods), 15);
    EXPECT_EQ(reader->At(kLockedFrequency), 50);
    EXPECT_EQ(reader->At(kPower), 0);
}

// A number box that holds no number, or one out of its field's range, stops Set before anything
// reaches the reader, with a message that names the box.
TEST_F(ParamDialogTest, SetRefusesANumberBoxOutOfRangeOrNotANumberAndSendsNothing) {
    struct Box {
        int id;
        const char* label;
    };
    const Box boxes[] = {{kPowerEdit, "Power"},
                         {kTimeDistanceEdit, "Time distance"},
                         {kPulseWidthEdit, "Pulse width"},
                         {kPulsePeriodsEdit, "Pulse periods"}};
    Open(QuickReader(), Memory({{kPower, 30}}));
    Connect();
    Choose(kConnectPortList, 1);  // Wiegand: the pulse boxes count
    const int reads = reader->Received("ReadBlock");
    for (const Box& box : boxes) {
        for (const char* text : {"300", "abc"}) {
            SCOPED_TRACE(std::string(box.label) + " " + text);
            const QString shown = Edit(box.id)->text();
            Edit(box.id)->setText(text);
            notifier.messages.clear();
            Button(kSetButton)->click();
            EXPECT_EQ(notifier.messages,
                      QStringList{QString(box.label) +
                                  " must be a number from 0 to 255; nothing was written"});
            EXPECT_EQ(reader->Received("ReadBlock"), reads) << "nothing is sent";
            EXPECT_EQ(reader->Received("WriteBlock"), 0);
            ExpectConnectedButtons(true);
            Edit(box.id)->setText(shown);
        }
    }
    // Mended, the record is read, written whole and read back.
    Edit(kPowerEdit)->setText("255");
    notifier.messages.clear();
    Button(kSetButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{"The parameters is set into the device successfully"});
    EXPECT_EQ(reader->Received("WriteBlock"), 7);
    EXPECT_EQ(reader->Received("ReadBlock"), reads + 14);
    EXPECT_EQ(reader->At(kPower), 255);
}

// readersim acknowledges the write of the block at 100 but keeps its old values: the window reads
// the record back and names the field it wanted changed instead of saying all went well.
TEST_F(ParamDialogTest, SetNamesTheFieldThatReadersimAcknowledgedButDidNotKeep) {
    test::ReadersimProcess sim;
    ASSERT_TRUE(sim.Start(READERSIM_PATH, {"--ignore-write", "100"}));
    OpenWithPorts({sim.Port()});
    Connect();
    const QString power = Edit(kPowerEdit)->text();
    Edit(kPowerEdit)->setText(power == "17" ? "18" : "17");
    Button(kSetButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{"The device did not keep Power"});
    ExpectConnectedButtons(true);
    Button(kReadButton)->click();
    EXPECT_EQ(Edit(kPowerEdit)->text(), power) << "the reader holds its old power";
    EXPECT_EQ(notifier.messages.size(), 1);
}

TEST_F(ParamDialogTest, ConnectPortThreeShowsNoChoiceAndSetIsRefused) {
    Open(QuickReader(), Memory({{kConnectPort, 3}, {kPower, 5}}));
    Connect();
    EXPECT_EQ(Combo(kConnectPortList)->currentIndex(), -1);
    EXPECT_FALSE(WiegandGroupEnabled());
    const int writesBefore = reader->Received("WriteBlock");
    Edit(kPowerEdit)->setText("6");
    Button(kSetButton)->click();
    EXPECT_EQ(notifier.messages, QStringList{"It is fail to set the parameters into the device"});
    EXPECT_EQ(reader->Received("WriteBlock"), writesBefore) << "a refused record sends nothing";
    EXPECT_EQ(reader->At(kConnectPort), 3);
    EXPECT_EQ(reader->At(kPower), 5);
    ExpectConnectedButtons(true);
}

TEST_F(ParamDialogTest, SetSaysSoWhenTheCurrentRecordCannotBeRead) {
    SimConfig config = QuickReader();
    config.faults.silentAfter = kFramesOfConnect;
    Open(config);
    Connect();
    Button(kSetButton)->click();
    EXPECT_EQ(notifier.messages,
              QStringList{"Setting Error:It is fail to get the parameters from the device"});
    EXPECT_EQ(reader->Received("WriteBlock"), 0);
    ExpectConnectedButtons(true);
}

TEST_F(ParamDialogTest, RefreshDataSendsResumeAndReportsTheOutcome) {
    SimConfig config = QuickReader();
    config.faults.silentAfter = kFramesOfConnect + 1;
    Open(config);
    Connect();
    Button(kRefreshButton)->click();
    EXPECT_EQ(notifier.Last(), "The device resumes successfully");
    EXPECT_EQ(reader->Mode(), ReaderSimulator::Mode::Working);
    Button(kRefreshButton)->click();
    EXPECT_EQ(notifier.Last(), "The device is fail to resume");
    EXPECT_EQ(notifier.messages.size(), 2);
    ExpectConnectedButtons(true);
}

TEST_F(ParamDialogTest, WiegandGroupFollowsTheConnectPortChoiceKeepingItsContents) {
    OpenWithPorts({});
    Edit(kPulseWidthEdit)->setText("12");
    Choose(kConnectPortList, 1);
    EXPECT_TRUE(WiegandGroupEnabled());
    Choose(kConnectPortList, 0);
    EXPECT_FALSE(WiegandGroupEnabled());
    EXPECT_EQ(Edit(kPulseWidthEdit)->text(), "12");
}

// Notes whether the wait cursor was up when each message came.
class CursorCheckingNotifier : public Notifier {
  public:
    void Notify(const QString& text) override {
        messages.append(text);
        waitCursorAtMessage.append(QApplication::overrideCursor() != nullptr);
    }
    QStringList messages;
    QList<bool> waitCursorAtMessage;
};

TEST_F(ParamDialogTest, MessagesComeAfterTheWaitCursorIsGone) {
    SimConfig config = QuickReader();
    config.faults.silentAfter = 0;
    reader.emplace(config);
    const std::string path = reader->Path();
    CursorCheckingNotifier cursorNotifier;
    ParamDialog silent(std::make_unique<ReaderLink>(), cursorNotifier,
                       [path] { return std::vector<PortInfo>{PortInfo{path}}; });
    qobject_cast<QPushButton*>(silent.Control(kConnectButton))->click();
    EXPECT_EQ(cursorNotifier.messages, QStringList{"Open Fail!"});
    EXPECT_EQ(cursorNotifier.waitCursorAtMessage, QList<bool>{false});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ParamDialogTest, EscapeClosesTheWindow) {
    OpenWithPorts({});
    dialog->show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(ParamDialogTest, EnterClicksTheFocusedButtonAndNeverEndsTheWindow) {
    OpenWithPorts({});
    dialog->show();
    Button(kConnectButton)->setFocus();
    QTest::keyClick(Button(kConnectButton), Qt::Key_Return);
    EXPECT_EQ(notifier.messages, QStringList{kOpenFailNoName}) << "Enter clicked \"Connnect\"";
    EXPECT_TRUE(dialog->isVisible());

    // Elsewhere, in an edit box above all, Enter would throw away what was typed.
    Choose(kConnectPortList, 1);  // the Wiegand controls take the focus
    Edit(kPowerEdit)->setText("17");
    QWidget* const places[] = {Edit(kPowerEdit), Edit(kPulseWidthEdit),
                               Combo(kExportTimeCombo)->lineEdit(), Combo(kPortList), Check()};
    for (QWidget* place : places) {
        SCOPED_TRACE(place->metaObject()->className());
        place->setFocus();
        QTest::keyClick(place, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
    }
    EXPECT_EQ(Edit(kPowerEdit)->text(), "17");
    EXPECT_EQ(notifier.messages.size(), 1);
}

TEST_F(ParamDialogTest, ACloseDuringSetClosesTheWindowOnceTheWholeRecordIsWritten) {
    SimConfig config;
    config.tagRate = 0;
    config.faults.delayMs = 60;  // a Set of about two seconds
    Open(config, Memory({{kPower, 30}}));
    Connect();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    Edit(kPowerEdit)->setText("17");
    bool busyAtClose = false;
    bool openAfterClose = false;
    // The close box while the reader answers: the close event comes inside the call.
    QTimer::singleShot(200, [&] {
        busyAtClose = dialog->IsBusy();
        dialog->close();
        openAfterClose = dialog->isVisible();
    });
    Button(kSetButton)->click();
    EXPECT_TRUE(busyAtClose);
    EXPECT_TRUE(openAfterClose) << "the window waits for the call";
    EXPECT_FALSE(dialog->isVisible()) << "and then closes without being asked again";
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(notifier.messages, QStringList{"The parameters is set into the device successfully"});
    EXPECT_EQ(reader->Received("WriteBlock"), 7);
    EXPECT_EQ(reader->At(kPower), 17);
}

struct FrequencyCase {
    std::uint8_t lockedFrequency;
    bool locked;
    int item;  // -1: no item selected
};

class FrequencyMappingTest : public ParamDialogTest,
                             public testing::WithParamInterface<FrequencyCase> {};

TEST_P(FrequencyMappingTest, ShowsTheLockedChannelOrHopping) {
    const FrequencyCase c = GetParam();
    Open(QuickReader(), Memory({{kLockedFrequency, c.lockedFrequency}}));
    Connect();
    EXPECT_EQ(Radio(kLockedFrequencyRadio)->isChecked(), c.locked);
    EXPECT_EQ(Radio(kJumpFrequencyRadio)->isChecked(), !c.locked);
    EXPECT_EQ(Combo(kFrequencyList)->currentIndex(), c.item);
}

INSTANTIATE_TEST_SUITE_P(Channels, FrequencyMappingTest,
                         testing::Values(FrequencyCase{1, true, 0}, FrequencyCase{50, true, 49},
                                         FrequencyCase{0, false, -1}, FrequencyCase{51, true, -1},
                                         FrequencyCase{255, true, -1}),
                         [](const testing::TestParamInfo<FrequencyCase>& info) {
                             return "LockedFrequency" + std::to_string(info.param.lockedFrequency);
                         });

TEST_F(ParamDialogTest, FrequencyItemsReadAsMegahertz) {
    OpenWithPorts({});
    EXPECT_EQ(Combo(kFrequencyList)->itemText(0), "902.5 MHz");
    EXPECT_EQ(Combo(kFrequencyList)->itemText(49), "927.0 MHz");
}

TEST_F(ParamDialogTest, HoppingLeavesTheChannelListAsItWasAndAboveFiftyIsWrittenAsHopping) {
    Open(QuickReader(), Memory({{kLockedFrequency, 60}}));
    Combo(kFrequencyList)->setCurrentIndex(3);
    Connect();
    EXPECT_EQ(Combo(kFrequencyList)->currentIndex(), -1);
    Button(kSetButton)->click();
    EXPECT_EQ(notifier.Last(), "The parameters is set into the device successfully");
    EXPECT_EQ(reader->At(kLockedFrequency), 0);

    Combo(kFrequencyList)->setCurrentIndex(3);
    Button(kReadButton)->click();
    EXPECT_TRUE(Radio(kJumpFrequencyRadio)->isChecked());
    EXPECT_EQ(Combo(kFrequencyList)->currentIndex(), 3) << "hopping leaves the list alone";
}

TEST_F(ParamDialogTest, IdentifyOpensTheTagWindowOnTheSameLink) {
    Open();
    Connect();
    bool sawTagWindow = false;
    QTimer::singleShot(0, [&] {
        auto* tags = qobject_cast<TagDialog*>(QApplication::activeModalWidget());
        sawTagWindow = tags != nullptr;
        if (tags != nullptr) {
            qobject_cast<QPushButton*>(tags->Control(kBackButton))->click();
        }
    });
    Button(kIdentifyButton)->click();
    EXPECT_TRUE(sawTagWindow);
    EXPECT_EQ(reader->Received("Stop"), 2) << "\"Back\" sends the stop command";
    ExpectConnectedButtons(true);
}

TEST_F(ParamDialogTest, AboutEntryOpensTheAboutBox) {
    OpenWithPorts({});
    ASSERT_NE(dialog->AboutAction(), nullptr);
    EXPECT_EQ(dialog->AboutAction()->text(), "Tesmarle(&A)...");
    EXPECT_TRUE(dialog->actions().contains(dialog->AboutAction()));
    EXPECT_EQ(dialog->contextMenuPolicy(), Qt::ActionsContextMenu);
    bool sawAbout = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
        sawAbout = about != nullptr;
        if (about != nullptr) {
            about->accept();
        }
    });
    dialog->AboutAction()->trigger();
    EXPECT_TRUE(sawAbout);
}

using test::WaitFor;

TEST_F(ParamDialogTest, APortLinkCreatedAndRemovedWhileOpenComesAndGoesInTheList) {
    test::TempFolder folder;
    folder.Write("ttyS0", "");
    const std::string root = folder.Dir();
    dialog = std::make_unique<ParamDialog>(std::make_unique<ReaderLink>(), notifier, [root] {
        std::vector<PortInfo> ports;
        for (const auto& entry : std::filesystem::directory_iterator(root)) {
            ports.push_back(PortInfo{entry.path().string()});
        }
        std::sort(ports.begin(), ports.end(),
                  [](const PortInfo& a, const PortInfo& b) { return a.path < b.path; });
        return ports;
    });
    dialog->show();
    // Only that the window's timer drives the refresh: what a refresh keeps is the presenter's
    // test.
    const QString link = QString::fromStdString(folder.PathOf("ttyUSB0"));
    ASSERT_EQ(Combo(kPortList)->count(), 1);
    std::filesystem::create_symlink(folder.PathOf("ttyS0"), folder.PathOf("ttyUSB0"));
    EXPECT_TRUE(WaitFor([&] { return Combo(kPortList)->findText(link) >= 0; }));
    std::filesystem::remove(folder.PathOf("ttyUSB0"));
    EXPECT_TRUE(WaitFor([&] { return Combo(kPortList)->findText(link) < 0; }));
}

}  // namespace
}  // namespace uhf
