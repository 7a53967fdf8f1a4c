#include <gtest/gtest.h>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPixmap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iostream>
#include <vector>

#include "DownloadDialogFixture.h"
#include "fakes/FakeSysfs.h"
#include "fakes/TempFolder.h"
#include "ferrowin/qt/QtCommControl.h"
#include "serial/LowLatencyMode.h"
#include "serial/NativeSerialPort.h"

namespace uhf {
namespace {

constexpr int kImageSize = 3000;  // 47 data frames, the last one of 56 bytes
constexpr int kPacketCount = (kImageSize + 63) / 64;

// Runs the event loop until `done` holds or `milliseconds` pass. Unlike QTest's waits, which
// sleep between turns, the loop wakes at each arrival as the program's own loop does.
bool RunUntil(const std::function<bool()>& done, int milliseconds) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    poll.start(20);
    loop.exec();
    return done();
}

// A whole download from the window to the simulated reader on a pseudo-terminal.
class DownloadToReaderSimTest : public DownloadDialogFixture {
  protected:
    void TearDown() override {
        DownloadDialogFixture::TearDown();
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            sim.waitForFinished(5000);
        }
        if (HasFailure()) {
            std::cerr << "readersim said:\n" << sim.readAllStandardError().toStdString();
        }
    }

    // Starts readersim with `faults` and returns the port it offers.
    std::string StartReader(const QStringList& faults) {
        QStringList args = {"-v", "--baud", "115200", "--firmware-out", ReceivedPath()};
        args += faults;
        sim.setProgram(QStringLiteral(READERSIM_PATH));
        sim.setArguments(args);
        sim.setProcessChannelMode(QProcess::SeparateChannels);
        sim.start();
        if (!sim.waitForStarted(5000)) {
            ADD_FAILURE() << "readersim did not start";
            return {};
        }
        while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {
        }
        return QString::fromUtf8(sim.readLine()).trimmed().toStdString();
    }

    // Presses "Download" from inside a running event loop, as a user does, so that the first
    // answers are read as they arrive; the inputs must be disabled when the press returns. A user
    // presses a window already drawn: its first paint (slow under the sanitizers) must not hold
    // up the probes that the press sends, and make the probing timer repeat one.
    void PressDownload() {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        bool disabled = false;
        bool pressed = false;
        QTimer::singleShot(0, dialog.get(), [&] {
            Button(DownloadTemplate::kDownloadButton)->click();
            disabled = !InputsEnabled();
            pressed = true;
        });
        RunUntil([&] { return pressed; }, 5000);
        EXPECT_TRUE(disabled);
    }

    QString ReceivedPath() const { return dir.filePath("received.bin"); }

    // readersim started with `faults`, the download prepared on its port, the window shown.
    void OpenOnReader(const QStringList& faults) {
        const std::string port = StartReader(faults);
        ASSERT_FALSE(port.empty());
        PrepareDownload(port);
        Open(comm);
        dialog->show();
    }

    // Runs the window's loop until the transfer has ended and "Download" is enabled again; false
    // after 30 s.
    bool RunToEnd() {
        return RunUntil([this] { return Button(DownloadTemplate::kDownloadButton)->isEnabled(); },
                        30000);
    }

    // A firmware file of random bytes, chosen as the stored path; both rates at 115200.
    void PrepareDownload(const std::string& port) {
        image.resize(kImageSize);
        for (char& byte : image) {
            byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
        }
        const QString path = dir.filePath("reader-5.0.bin");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(image);
        file.close();
        ports = {port};
        auto settings = Settings();
        settings->WriteValue("DeviceBaud", "4");
        settings->WriteValue("DownBaud", "4");
        settings->WriteValue("Port", "0");
        settings->WriteValue("DownloadFilePath", path.toStdString());
    }

    QProcess sim;
    QByteArray image;
    NativeSerialPort port;
    QtCommControl comm{port};
};

TEST_F(DownloadToReaderSimTest, WholeDownloadReachesTheReaderWithInputsDisabledMeanwhile) {
    ASSERT_NO_FATAL_FAILURE(OpenOnReader({}));

    // Watch every progress step: the inputs must stay disabled all through the streaming, and
    // halfway through the window is rendered for a person to look at.
    int steps = 0;
    int stepsWithInputsEnabled = 0;
    bool rendered = false;
    QObject::connect(Progress(), &QProgressBar::valueChanged, dialog.get(), [&](int value) {
        ++steps;
        if (PortList()->isEnabled() || Button(DownloadTemplate::kDownloadButton)->isEnabled()) {
            ++stepsWithInputsEnabled;
        }
        if (!rendered && value >= kPacketCount / 2) {
            rendered = true;
            const QString path =
                QDir(QStringLiteral(FERROWIN_RENDER_DIR)).filePath("ferrowin-download.png");
            EXPECT_TRUE(dialog->grab().save(path, "PNG"));
        }
    });

    PressDownload();
    EXPECT_TRUE(Button(DownloadTemplate::kExistButton)->isEnabled());

    EXPECT_TRUE(RunToEnd());

    EXPECT_TRUE(notifier.messages.isEmpty()) << notifier.Last().toStdString();
    EXPECT_EQ(LogMessages(), (QStringList{"Change baud rate.", "Start sending upgrade firmware.",
                                          "Upgrade file transferred successfully."}));
    EXPECT_TRUE(InputsEnabled());
    EXPECT_FALSE(comm.IsOpen());
    // Positions 0 and 1 both show as 1.
    EXPECT_EQ(steps, kPacketCount - 1);
    EXPECT_EQ(stepsWithInputsEnabled, 0);
    EXPECT_TRUE(rendered);
    // The bar stays at the final frame's position.
    EXPECT_EQ(Progress()->minimum(), 1);
    EXPECT_EQ(Progress()->maximum(), kPacketCount);
    EXPECT_EQ(Progress()->value(), kPacketCount - 1);

    // The reader kept exactly the bytes of the file.
    QFile received(ReceivedPath());
    EXPECT_TRUE(RunUntil([&] { return received.exists() && received.size() == kImageSize; }, 5000));
    ASSERT_TRUE(received.open(QIODevice::ReadOnly));
    EXPECT_TRUE(received.readAll() == image);
}

TEST_F(DownloadToReaderSimTest, ReaderFallingSilentAfterTheSizeAnswerFailsTheDownload) {
    // Two probe answers, the baud-rate answer and the size answer, then nothing.
    ASSERT_NO_FATAL_FAILURE(OpenOnReader({"--silent-after", "4"}));

    PressDownload();
    EXPECT_TRUE(RunToEnd());

    EXPECT_EQ(notifier.messages, QStringList{"文件发送失败，请重试!"});
    EXPECT_EQ(LogMessages(), (QStringList{"Change baud rate.", "Start sending upgrade firmware."}));
    EXPECT_TRUE(InputsEnabled());
    EXPECT_FALSE(comm.IsOpen());
    // The first data frame went out at position 0, shown at the range's start.
    EXPECT_EQ(Progress()->minimum(), 1);
    EXPECT_EQ(Progress()->maximum(), kPacketCount);
    EXPECT_EQ(Progress()->value(), 1);
    EXPECT_FALSE(QFile::exists(ReceivedPath()));
}

TEST_F(DownloadToReaderSimTest, ReaderGoneWhileStreamingIsNamedAsTheLostDevice) {
    ASSERT_NO_FATAL_FAILURE(OpenOnReader({}));
    // The reader's end of the line vanishes a third of the way through, as a pulled adapter does.
    QObject::connect(Progress(), &QProgressBar::valueChanged, dialog.get(), [this](int value) {
        if (value == kPacketCount / 3) {
            sim.kill();
        }
    });

    PressDownload();
    EXPECT_TRUE(RunToEnd());

    EXPECT_EQ(notifier.messages, QStringList{"文件发送失败，请重试!"});
    EXPECT_EQ(LogMessages(), (QStringList{"Change baud rate.", "Start sending upgrade firmware.",
                                          "Reason: the device was lost."}));
    EXPECT_TRUE(InputsEnabled());
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(DownloadToReaderSimTest, SlowUsbAdapterIsSaidOnceInTheLogAndTheDownloadGoesOn) {
    const std::string port = StartReader({});
    ASSERT_FALSE(port.empty());
    // The reader's pseudo-terminal stands for an FTDI adapter whose driver refuses low latency
    // and keeps its 16 ms latency timer.
    test::TempFolder root;
    test::FakeSysfs sysfs(root.Dir());
    test::FakeUsbAdapter ftdi = test::BenchAdapters()[0];
    ftdi.tty = std::filesystem::canonical(port).filename().string();
    sysfs.AddUsbAdapter(ftdi);
    std::vector<unsigned long> requests;
    LowLatencyMode mode(
        [&requests](int, unsigned long request, void* argument) {
            requests.push_back(request);
            if (request == TIOCGSERIAL) {
                *static_cast<serial_struct*>(argument) = serial_struct{};
                return 0;
            }
            errno = EPERM;
            return -1;
        },
        sysfs.UsbSerialDevices().string());
    NativeSerialPort slowPort(mode);
    QtCommControl slowComm(slowPort);
    PrepareDownload(port);
    Open(slowComm);
    dialog->Presenter().LogLatencyWarnings(mode);
    dialog->show();

    PressDownload();
    EXPECT_TRUE(RunToEnd());

    EXPECT_TRUE(notifier.messages.isEmpty()) << notifier.Last().toStdString();
    const QString warning =
        QString::fromStdString(LowLatencyMode::SlowDownloadWarning(ftdi.tty, 16));
    EXPECT_EQ(LogMessages(),
              (QStringList{warning, "Change baud rate.", "Start sending upgrade firmware.",
                           "Upgrade file transferred successfully."}));
    // Asked at each open (the working rate, 9600 for the rate change, the download rate); said
    // at the first only.
    EXPECT_EQ(requests, (std::vector<unsigned long>{TIOCGSERIAL, TIOCSSERIAL, TIOCGSERIAL,
                                                    TIOCSSERIAL, TIOCGSERIAL, TIOCSSERIAL}));
    dialog.reset();  // before the serial control and the mode it uses
}

}  // namespace
}  // namespace uhf
