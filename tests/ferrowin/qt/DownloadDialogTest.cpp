#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "DownloadDialogFixture.h"
#include "fakes/FakeCommControl.h"
#include "fakes/FakeSerialPort.h"
#include "fakes/QtWaitFor.h"
#include "fakes/TempFolder.h"
#include "ferrowin/qt/QtCommControl.h"

namespace uhf {
namespace {

class DownloadDialogTest : public DownloadDialogFixture {
  protected:
    DownloadDialog& Open() { return DownloadDialogFixture::Open(comm); }

    // Stores choices as an earlier run of the program left them.
    void Store(const std::string& key, const std::string& value) {
        Settings()->WriteValue(key, value);
    }

    // A firmware file in the settings folder, and the path box pointing at it.
    std::string WriteFirmware(int size) {
        const QString path = dir.filePath("fw.bin");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, '\x5a'));
        return path.toStdString();
    }

    // The window shown with both rates 9600 and a 10-byte firmware chosen with "File": ready for
    // "Download", with no reader behind the port.
    void ReadyToDownload() {
        Store("DeviceBaud", "0");
        Store("DownBaud", "0");
        files.answer = WriteFirmware(10);
        Open();
        dialog->show();
        Button(DownloadTemplate::kFileButton)->click();
    }

    FakeCommControl comm;
};

TEST_F(DownloadDialogTest, FirstStartWritesDefaultsAndSelectsOnlyTheFirstPort) {
    ASSERT_FALSE(QFile::exists(QString::fromStdString(IniPath())));
    Open();

    EXPECT_TRUE(QFile::exists(QString::fromStdString(IniPath())));
    EXPECT_EQ(DeviceBaudList()->currentIndex(), -1);
    EXPECT_EQ(DownloadBaudList()->currentIndex(), -1);
    EXPECT_EQ(PortList()->count(), 3);
    EXPECT_EQ(PortList()->currentIndex(), 0);
    EXPECT_TRUE(PathBox()->text().isEmpty());
    EXPECT_TRUE(notifier.messages.isEmpty());
    EXPECT_TRUE(InputsEnabled());
    EXPECT_EQ(Progress()->minimum(), 1);
    EXPECT_EQ(Progress()->maximum(), 100);

    int device = -1;
    int down = -1;
    int port = -1;
    auto next = Settings();
    EXPECT_TRUE(next->ReadBaudIndexes(device, down));
    EXPECT_TRUE(next->ReadPortIndex(port));
    EXPECT_EQ(device, 0);
    EXPECT_EQ(down, 0);
    EXPECT_EQ(port, 0);
}

TEST_F(DownloadDialogTest, ReadOnlySettingsFileIsSaidOnceInTheLogAndLeftAsItWas) {
    Store("DeviceBaud", "1");
    QFile ini(QString::fromStdString(IniPath()));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray before = ini.readAll();
    ini.close();
    ASSERT_TRUE(ini.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    Open();  // the missing keys' defaults cannot be written
    DeviceBaudList()->setCurrentIndex(3);
    PortList()->setCurrentIndex(2);

    const QStringList lines = LogMessages().filter(QStringLiteral("read-only"));
    ASSERT_EQ(lines.size(), 1) << LogMessages().join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(QString::fromStdString(IniPath())));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), before);
    EXPECT_TRUE(notifier.messages.isEmpty());
}

TEST_F(DownloadDialogTest, StoredChoicesAreRestored) {
    Store("Port", "2");
    Store("DeviceBaud", "3");
    Store("DownBaud", "1");
    Store("DownloadFilePath", "/srv/images/reader.bin");
    Open();

    EXPECT_EQ(PortList()->currentText(), "/dev/ttyS4");
    EXPECT_EQ(DeviceBaudList()->currentText(), "57600");
    EXPECT_EQ(DownloadBaudList()->currentText(), "19200");
    EXPECT_EQ(PathBox()->text(), "/srv/images/reader.bin");
    ASSERT_EQ(PortList()->count(), 3);
    EXPECT_EQ(PortList()->itemText(0).toStdString(), ports[0]);
    EXPECT_EQ(PortList()->toolTip(), "/dev/ttyS4");
}

TEST_F(DownloadDialogTest, StoredBaudChoicesSurviveStartsWithoutAChosenFile) {
    Store("DeviceBaud", "2");
    Store("DownBaud", "4");
    Open();
    Open();
    EXPECT_EQ(DeviceBaudList()->currentText(), "38400");
    EXPECT_EQ(DownloadBaudList()->currentText(), "115200");
    EXPECT_TRUE(PathBox()->text().isEmpty());
}

TEST_F(DownloadDialogTest, StoredPortBeyondTheListSelectsTheFirstEntry) {
    Store("DeviceBaud", "0");
    Store("DownBaud", "0");
    Store("Port", "7");
    Open();
    EXPECT_EQ(PortList()->currentIndex(), 0);

    Store("Port", "-1");
    Open();
    EXPECT_EQ(PortList()->currentIndex(), 0);
}

TEST_F(DownloadDialogTest, DeviceBaudFourSelects115200AndAnIndexOutsideLeavesNoSelection) {
    Store("Port", "1");
    Store("DeviceBaud", "4");
    Store("DownBaud", "9");
    Open();
    EXPECT_EQ(DeviceBaudList()->currentText(), "115200");
    EXPECT_EQ(DownloadBaudList()->currentIndex(), -1);
}

TEST_F(DownloadDialogTest, EverySelectionChangeIsWrittenAtOnce) {
    Open();
    auto storedIndexes = [this] {
        int device = -1;
        int down = -1;
        int port = -1;
        auto next = Settings();
        next->ReadBaudIndexes(device, down);
        next->ReadPortIndex(port);
        return std::vector<int>{port, device, down};
    };

    QTest::keyClick(PortList(), Qt::Key_Down);
    EXPECT_EQ(PortList()->currentIndex(), 1);
    EXPECT_EQ(storedIndexes(), (std::vector<int>{1, 0, 0}));

    DeviceBaudList()->setFocus();
    QTest::keyClick(DeviceBaudList(), Qt::Key_End);
    EXPECT_EQ(DeviceBaudList()->currentText(), "115200");
    EXPECT_EQ(storedIndexes(), (std::vector<int>{1, 4, 0}));

    QTest::keyClick(DownloadBaudList(), Qt::Key_End);
    QTest::keyClick(DownloadBaudList(), Qt::Key_Up);
    EXPECT_EQ(DownloadBaudList()->currentText(), "57600");
    EXPECT_EQ(storedIndexes(), (std::vector<int>{1, 4, 3}));
}

TEST_F(DownloadDialogTest, ChosenFileIsWrittenAtOnceAndShownAtTheNextStart) {
    Open();
    files.answer = "/home/bench/fw 5.0.bin";
    Button(DownloadTemplate::kFileButton)->click();
    EXPECT_EQ(files.asked, 1);
    EXPECT_EQ(PathBox()->text(), "/home/bench/fw 5.0.bin");
    std::string stored;
    EXPECT_TRUE(Settings()->ReadFilePath(stored));
    EXPECT_EQ(stored, "/home/bench/fw 5.0.bin");

    Open();
    EXPECT_EQ(PathBox()->text(), "/home/bench/fw 5.0.bin");
}

TEST_F(DownloadDialogTest, CancelledFileDialogChangesNothing) {
    Store("DownloadFilePath", "/srv/old.bin");
    Open();
    files.answer.reset();
    Button(DownloadTemplate::kFileButton)->click();
    EXPECT_EQ(files.asked, 1);
    EXPECT_EQ(PathBox()->text(), "/srv/old.bin");
    std::string stored;
    EXPECT_TRUE(Settings()->ReadFilePath(stored));
    EXPECT_EQ(stored, "/srv/old.bin");
}

TEST_F(DownloadDialogTest, TwentyLogLinesMarkOnlyTheLastAndScrollItIntoView) {
    Open();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    for (int i = 1; i <= 20; ++i) {
        dialog->Presenter().AddLog("line " + std::to_string(i));
    }
    QApplication::processEvents();

    const LogModel& log = dialog->Log();
    ASSERT_EQ(log.rowCount(), 20);
    const QModelIndexList marked = LogView()->selectionModel()->selectedRows();
    ASSERT_EQ(marked.size(), 1);
    EXPECT_EQ(marked.first().row(), 19);
    EXPECT_EQ(LogView()->currentIndex().row(), 19);
    EXPECT_EQ(log.data(log.index(19, LogModel::kMessage)).toString(), "line 20");
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                    .match(log.data(log.index(19, LogModel::kTime)).toString())
                    .hasMatch());

    const QRect viewport = LogView()->viewport()->rect();
    EXPECT_TRUE(viewport.contains(LogView()->visualRect(log.index(19, LogModel::kTime))));
    EXPECT_GT(LogView()->verticalScrollBar()->value(), 0);
    EXPECT_FALSE(viewport.intersects(LogView()->visualRect(log.index(0, LogModel::kTime))));
    EXPECT_EQ(LogView()->header()->sectionSize(LogModel::kTime), 60);
    EXPECT_EQ(LogView()->header()->sectionSize(LogModel::kMessage), 280);
}

TEST_F(DownloadDialogTest, NoPortsFoundIsToldAndLeavesTheListEmpty) {
    ports.clear();
    ReadyToDownload();
    EXPECT_EQ(notifier.messages, QStringList{"本电脑没有可用的串口!"});
    EXPECT_EQ(PortList()->count(), 0);
    // A download then asks for a port without a name, which no system has.
    Button(DownloadTemplate::kDownloadButton)->click();
    ASSERT_EQ(comm.opens.size(), 1u);
    EXPECT_EQ(comm.opens[0].portName, "");
}

TEST_F(DownloadDialogTest, DownloadOpensThePortByThePathShownAndDisablesTheInputs) {
    Store("Port", "1");
    Store("DeviceBaud", "4");
    Store("DownBaud", "2");
    files.answer = WriteFirmware(200);
    Open();
    Button(DownloadTemplate::kFileButton)->click();
    Button(DownloadTemplate::kDownloadButton)->click();

    ASSERT_EQ(comm.opens.size(), 1u);
    EXPECT_EQ(comm.opens[0].portName, "/dev/ttyUSB1");
    EXPECT_EQ(comm.opens[0].baudRate, 115200);
    EXPECT_TRUE(comm.IsOpening());
    EXPECT_FALSE(InputsEnabled()) << "the inputs stay off while the port opens";
    comm.FinishOpen();
    EXPECT_TRUE(comm.IsOpen());
    EXPECT_FALSE(InputsEnabled());
    EXPECT_TRUE(Button(DownloadTemplate::kExistButton)->isEnabled());
    EXPECT_TRUE(LogView()->isEnabled());
    // The probe and the alternate probe go out at once.
    EXPECT_EQ(comm.writes.size(), 2u);
}

TEST_F(DownloadDialogTest, DownloadWithoutBaudSelectionIsRefusedWithALogLine) {
    files.answer = WriteFirmware(200);
    Open();
    Button(DownloadTemplate::kFileButton)->click();
    ASSERT_EQ(DownloadBaudList()->currentIndex(), -1);
    Button(DownloadTemplate::kDownloadButton)->click();

    EXPECT_TRUE(comm.opens.empty());
    EXPECT_EQ(LogMessages(), QStringList{"Please select both baud rates."});
    EXPECT_TRUE(InputsEnabled());
    EXPECT_TRUE(notifier.messages.isEmpty());
}

TEST_F(DownloadDialogTest, DownloadWithoutFirmwareAsksForOne) {
    Store("DeviceBaud", "0");
    Store("DownBaud", "0");
    Open();
    Button(DownloadTemplate::kDownloadButton)->click();
    EXPECT_EQ(LogMessages(), QStringList{"Please select one firmware."});
    EXPECT_TRUE(comm.opens.empty());
}

TEST_F(DownloadDialogTest, ExistClosesThePortAndTheWindowInTheMiddleOfAProbe) {
    ReadyToDownload();
    Button(DownloadTemplate::kDownloadButton)->click();
    comm.FinishOpen();
    ASSERT_TRUE(comm.IsOpen());

    QSignalSpy finished(dialog.get(), &QDialog::finished);
    Button(DownloadTemplate::kExistButton)->click();
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(dialog->isVisible());
    // No timer of the window may call the transfer after it closed.
    const std::size_t writes = comm.writes.size();
    QTest::qWait(700);
    EXPECT_EQ(comm.writes.size(), writes);
}

TEST_F(DownloadDialogTest, TransferTimersArePreciseAndNeverExpireEarly) {
    Open();
    for (int id = 0; id < 3; ++id) {
        const auto* timer = dialog->findChild<QTimer*>(QStringLiteral("transferTimer%1").arg(id));
        ASSERT_NE(timer, nullptr) << id;
        EXPECT_EQ(timer->timerType(), Qt::PreciseTimer) << id;
        EXPECT_TRUE(timer->isSingleShot()) << id;
    }

    ReadyToDownload();
    QElapsedTimer sinceStart;
    sinceStart.start();
    Button(DownloadTemplate::kDownloadButton)->click();
    comm.FinishOpen();
    ASSERT_EQ(comm.writes.size(), 2u);
    // No answer: the window's timer 0 drives the retries. The probes that follow go out at its
    // expiries, 500 and 1000 ms after the start, never earlier (a coarse timer may fire 5 %
    // early).
    QTRY_COMPARE_WITH_TIMEOUT(comm.writes.size(), 3u, 5000);
    EXPECT_GE(sinceStart.elapsed(), 500);
    QTRY_COMPARE_WITH_TIMEOUT(comm.writes.size(), 4u, 5000);
    EXPECT_GE(sinceStart.elapsed(), 1000);
    EXPECT_TRUE(comm.IsOpen());
}

TEST_F(DownloadDialogTest, WindowHasCaptionSystemMenuMinimiseBoxAndAFixedSize) {
    Open();
    EXPECT_EQ(dialog->windowTitle(), "UHF Reader Download Tools");
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowIcon().isNull());
}

TEST_F(DownloadDialogTest, AboutEntryShowsTheAboutBoxModally) {
    Open();
    ASSERT_EQ(dialog->actions().size(), 1);
    QAction* about = dialog->actions().first();
    EXPECT_EQ(about->text(), "关于 Ferrowin(&A)...");
    EXPECT_EQ(dialog->contextMenuPolicy(), Qt::ActionsContextMenu);

    QString shownTitle;
    QTimer::singleShot(0, [&shownTitle] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr) {
            shownTitle = box->windowTitle();
            box->close();
        }
    });
    about->trigger();
    EXPECT_EQ(shownTitle, "关于 Ferrowin");
}

TEST_F(DownloadDialogTest, EnterAndEscCloseTheWindowButEnterOnAButtonPressesIt) {
    Open();
    dialog->show();
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    files.answer.reset();
    Button(DownloadTemplate::kFileButton)->setFocus();
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_EQ(files.asked, 1);
    EXPECT_EQ(finished.count(), 0);

    PathBox()->setFocus();
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished[0][0].toInt(), QDialog::Accepted);

    dialog->show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    ASSERT_EQ(finished.count(), 2);
    EXPECT_EQ(finished[1][0].toInt(), QDialog::Rejected);
}

TEST_F(DownloadDialogTest, ProgressPositionOutsideTheRangeShowsAtItsNearestEnd) {
    Open();
    dialog->View().SetRange(DownloadTemplate::kProgressBar, 1, 16);
    dialog->View().SetPosition(DownloadTemplate::kProgressBar, 0);
    EXPECT_EQ(Progress()->value(), 1);
    dialog->View().SetPosition(DownloadTemplate::kProgressBar, 15);
    EXPECT_EQ(Progress()->value(), 15);
    dialog->View().SetPosition(DownloadTemplate::kProgressBar, 40);
    EXPECT_EQ(Progress()->value(), 16);
}

using test::WaitFor;

TEST_F(DownloadDialogTest, APortLinkCreatedAndRemovedWhileOpenComesAndGoesInTheList) {
    test::TempFolder devices;
    devices.Write("ttyS0", "");
    const std::string root = devices.Dir();
    config = std::make_unique<PortConfig>(Folder(), [root] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root)) {
            names.push_back(entry.path().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    });
    dialog = std::make_unique<DownloadDialog>(*config, comm, notifier, files);
    dialog->show();
    // Only that the window's timer drives the refresh: what a refresh keeps and stores is the
    // presenter's test.
    const QString link = QString::fromStdString(devices.PathOf("ttyUSB0"));
    ASSERT_EQ(PortList()->count(), 1);
    std::filesystem::create_symlink(devices.PathOf("ttyS0"), devices.PathOf("ttyUSB0"));
    EXPECT_TRUE(WaitFor([&] { return PortList()->findText(link) >= 0; }));
    PortList()->setCurrentIndex(PortList()->findText(link));
    EXPECT_EQ(PortList()->toolTip(), link) << "the choice reaches the presenter";
    std::filesystem::remove(devices.PathOf("ttyUSB0"));
    EXPECT_TRUE(WaitFor([&] { return PortList()->findText(link) < 0; }));
}

// The window's own control over a port whose driver holds the open, as an outgoing Bluetooth
// link's does for half a minute.
class SlowOpenDownloadTest : public DownloadDialogTest {
  protected:
    test::FakeSerialPort port;
    QtCommControl held{port};
};

TEST_F(SlowOpenDownloadTest, TheWindowAnswersWhileThePortOpensAndExistClosesItAtOnce) {
    port.HoldOpens();
    Store("DeviceBaud", "0");
    Store("DownBaud", "0");
    files.answer = WriteFirmware(10);
    DownloadDialogFixture::Open(held);
    dialog->show();
    Button(DownloadTemplate::kFileButton)->click();
    // The click returns while the driver still holds the open: the window's thread is free.
    Button(DownloadTemplate::kDownloadButton)->click();
    ASSERT_TRUE(port.WaitUntilOpenHeld(std::chrono::seconds(3)));
    QCoreApplication::processEvents();
    EXPECT_FALSE(InputsEnabled());
    EXPECT_TRUE(Button(DownloadTemplate::kExistButton)->isEnabled());

    QSignalSpy finished(dialog.get(), &QDialog::finished);
    Button(DownloadTemplate::kExistButton)->click();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(dialog->isVisible());
    // The port that opens after all is closed again, and nothing was sent on it.
    port.ReleaseOpens();
    EXPECT_TRUE(test::WaitFor([&] { return port.CloseCalls() == 1; }));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.Writes().empty());
}

}  // namespace
}  // namespace uhf
