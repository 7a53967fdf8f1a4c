#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "common/PortConfig.h"
#include "common/SystemText.h"
#include "common/UserConfigFolder.h"
#include "fakes/TempFolder.h"

namespace uhf {
namespace {

const std::string kGbkSection = "\xB4\xAE\xBF\xDA\xC9\xE8\xD6\xC3";
const std::string kHeader = "[" + kGbkSection + "]\r\n";
const std::string kAllDefaults =
    kHeader + "Port=0\r\nDeviceBaud=0\r\nDownBaud=0\r\nDownloadFilePath= \r\n";

std::vector<std::string> NoPorts() {
    return {};
}

class PortConfigTest : public ::testing::Test {
  protected:
    test::TempFolder folder;
    PortConfig config{folder.Dir(), NoPorts};

    void WriteSettings(const std::string& bytes) { folder.Write("System.ini", bytes); }
    std::string Settings() const { return folder.Read("System.ini"); }

    // All four stored values read back, each read succeeding.
    void ExpectStored(int port, int deviceBaud, int downBaud, const std::string& path) {
        int readPort = -1;
        int readDeviceBaud = -1;
        int readDownBaud = -1;
        std::string readPath;
        EXPECT_TRUE(config.ReadBaudIndexes(readDeviceBaud, readDownBaud));
        EXPECT_TRUE(config.ReadPortIndex(readPort));
        EXPECT_TRUE(config.ReadFilePath(readPath));
        EXPECT_EQ(readPort, port);
        EXPECT_EQ(readDeviceBaud, deviceBaud);
        EXPECT_EQ(readDownBaud, downBaud);
        EXPECT_EQ(readPath, path);
    }
};

TEST_F(PortConfigTest, SectionNameIsTheGbkBytesOfItsChineseName) {
    EXPECT_EQ(PortConfig::SectionName(), kGbkSection);
    EXPECT_EQ(PortConfig::SectionName().size(), 8u);
}

TEST_F(PortConfigTest, SettingsFileLiesInTheExecutablesFolder) {
    EXPECT_EQ(config.iniPath, folder.Dir() + "System.ini");
    EXPECT_EQ(config.BuildPath("Other.txt"), folder.Dir() + "Other.txt");
    EXPECT_FALSE(folder.Exists("System.ini")) << "construction touches nothing";
}

#ifdef __linux__
// Linux alone names the running program in a link that the test can read for itself.
TEST(PortConfigSystemTest, DefaultConstructionFindsThisExecutablesFolder) {
    PortConfig config;
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string dir = exe.substr(0, exe.rfind('/') + 1);
    EXPECT_EQ(config.iniPath, dir + "System.ini");
}
#endif

TEST_F(PortConfigTest, FirstStartWritesTheFourDefaultsAndThenReadsThem) {
    int deviceBaud = -1;
    int downBaud = -1;
    EXPECT_FALSE(config.ReadBaudIndexes(deviceBaud, downBaud));
    EXPECT_EQ(deviceBaud, -1);
    EXPECT_EQ(downBaud, -1);
    EXPECT_EQ(Settings(), kAllDefaults);

    int port = -1;
    EXPECT_TRUE(config.ReadPortIndex(port));
    EXPECT_EQ(port, 0);

    std::string path = "unchanged";
    EXPECT_FALSE(config.ReadFilePath(path)) << "the default path reads back empty";
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(Settings(), kAllDefaults);

    EXPECT_TRUE(config.ReadBaudIndexes(deviceBaud, downBaud));
    EXPECT_EQ(deviceBaud, 0);
    EXPECT_EQ(downBaud, 0);
}

TEST_F(PortConfigTest, MissingDownBaudFillsTheFirstIndexFailsAndKeepsStoredValues) {
    WriteSettings(kHeader + "DeviceBaud=3\r\nPort=2\r\nDownloadFilePath=C:\\fw.bin\r\n");
    int deviceBaud = -1;
    int downBaud = -1;
    EXPECT_FALSE(config.ReadBaudIndexes(deviceBaud, downBaud));
    EXPECT_EQ(deviceBaud, 3);
    EXPECT_EQ(downBaud, -1);
    // Only the missing key got its default; the stored choices and the path survive.
    EXPECT_EQ(Settings(),
              kHeader + "DeviceBaud=3\r\nPort=2\r\nDownloadFilePath=C:\\fw.bin\r\nDownBaud=0\r\n");
    std::string path;
    EXPECT_TRUE(config.ReadFilePath(path));
    EXPECT_EQ(path, "C:\\fw.bin");
}

TEST_F(PortConfigTest, StoredChoicesSurviveAStartWithoutAFirmwarePath) {
    const std::string stored =
        kHeader + "Port=2\r\nDeviceBaud=3\r\nDownBaud=1\r\nDownloadFilePath= \r\n";
    WriteSettings(stored);
    for (int start = 0; start < 2; ++start) {
        // The download tool's start-up order.
        int deviceBaud = -1;
        int downBaud = -1;
        int port = -1;
        std::string path;
        EXPECT_TRUE(config.ReadBaudIndexes(deviceBaud, downBaud));
        EXPECT_TRUE(config.ReadPortIndex(port));
        EXPECT_FALSE(config.ReadFilePath(path));
        EXPECT_EQ(deviceBaud, 3);
        EXPECT_EQ(downBaud, 1);
        EXPECT_EQ(port, 2);
        EXPECT_EQ(Settings(), stored);
    }
}

TEST_F(PortConfigTest, EmptyValueCountsAsMissingAndGetsItsDefault) {
    WriteSettings(kHeader + "Port=\r\nDeviceBaud=4\r\nDownBaud=2\r\nDownloadFilePath=/fw.bin\r\n");
    int port = -1;
    EXPECT_FALSE(config.ReadPortIndex(port));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(Settings(),
              kHeader + "Port=0\r\nDeviceBaud=4\r\nDownBaud=2\r\nDownloadFilePath=/fw.bin\r\n");
}

TEST_F(PortConfigTest, IndexesReadUpToTheFirstNonDigit) {
    WriteSettings(kHeader + "Port=3x\r\nDeviceBaud=x\r\nDownBaud= -2 \r\n");
    int port = -1;
    EXPECT_TRUE(config.ReadPortIndex(port));
    EXPECT_EQ(port, 3);
    int deviceBaud = -1;
    int downBaud = -1;
    EXPECT_TRUE(config.ReadBaudIndexes(deviceBaud, downBaud));
    EXPECT_EQ(deviceBaud, 0);
    EXPECT_EQ(downBaud, -2);
}

// "C:\固件\测试 固件.bin" and the character 固, in UTF-8 and in GBK.
const std::string kChinesePath =
    "C:\\\xE5\x9B\xBA\xE4\xBB\xB6\\\xE6\xB5\x8B\xE8\xAF\x95 \xE5\x9B\xBA\xE4\xBB\xB6.bin";
const std::string kChineseGbk = "C:\\\xB9\xCC\xBC\xFE\\\xB2\xE2\xCA\xD4 \xB9\xCC\xBC\xFE.bin";
const std::string kGu = "\xE5\x9B\xBA";
const std::string kGuGbk = "\xB9\xCC";

std::string Times(int count, const std::string& text) {
    std::string all;
    for (int i = 0; i < count; ++i) {
        all += text;
    }
    return all;
}

// Windows writes a path in the ANSI code page where it fits; its tests run in the Chinese one.
bool WritesGbk() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

TEST_F(PortConfigTest, FirmwarePathIsReadInUtf8OrGbkAndCutWhereACharacterEnds) {
    if (WritesGbk() && !AnsiFromUtf8(kChinesePath)) {
        GTEST_SKIP() << "the ANSI code page is not the Chinese one";
    }
    struct Case {
        const char* name;
        std::string stored;
        std::string path;
    };
    const std::string longAscii = "/home/bench/firmware/" + Times(10, "reader-image-") + ".bin";
    const Case cases[] = {
        {"ASCII", "C:\\fw\\reader.bin", "C:\\fw\\reader.bin"},
        {"UTF-8", kChinesePath, kChinesePath},
        {"GBK, as the Windows tool of old writes it", kChineseGbk, kChinesePath},
        {"ASCII cut at 99 bytes", longAscii, longAscii.substr(0, 99)},
        // 4 + 3 * 31 = 97 bytes: the 32nd character would end at byte 100.
        {"UTF-8 cut before a character that byte 99 splits", "C:\\x" + Times(40, kGu),
         "C:\\x" + Times(31, kGu)},
        // 4 + 2 * 47 = 98 bytes of GBK.
        {"GBK cut before a character that byte 99 splits", "C:\\x" + Times(60, kGuGbk),
         "C:\\x" + Times(47, kGu)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(kHeader + "DownloadFilePath=" + c.stored + "\r\n");
        std::string path;
        EXPECT_TRUE(config.ReadFilePath(path));
        EXPECT_EQ(path, c.path);
    }
}

TEST_F(PortConfigTest, FirmwarePathIsWrittenInTheAnsiCodePageWhereItFitsElseInUtf8) {
    if (WritesGbk() && !AnsiFromUtf8(kChinesePath)) {
        GTEST_SKIP() << "the ANSI code page is not the Chinese one";
    }
    struct Case {
        const char* name;
        std::string path;
        std::string stored;
    };
    const std::string emoji = "C:\\fw\\\xF0\x9F\x98\x80.bin";  // no GBK character
    const Case cases[] = {
        {"ASCII", "C:\\fw\\reader.bin", "C:\\fw\\reader.bin"},
        {"Chinese", kChinesePath, WritesGbk() ? kChineseGbk : kChinesePath},
        {"outside GBK", emoji, emoji},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Write("System.ini", "");
        config.WriteValue("DownloadFilePath", c.path);
        EXPECT_EQ(Settings(), kHeader + "DownloadFilePath=" + c.stored + "\r\n");
        std::string path;
        EXPECT_TRUE(config.ReadFilePath(path));
        EXPECT_EQ(path, c.path);
    }
}

TEST_F(PortConfigTest, ReadsTheWindowsToolsFileWithMixedCase) {
    WriteSettings(
        "[" + kGbkSection +
        "]\r\nPORT=1\r\ndevicebaud=4\r\nDOWNBAUD=3\r\ndownloadfilepath=\"C:\\a b.bin\"\r\n");
    ExpectStored(1, 4, 3, "C:\\a b.bin");
}

TEST_F(PortConfigTest, WriteValueKeepsOtherSectionsAndWriteDefaultsResetsAllFour) {
    WriteSettings("[Other]\r\nPort=9\r\n" + kHeader + "DeviceBaud=4\r\n");
    config.WriteValue("Port", "5");
    config.WriteValue("DownloadFilePath", "/srv/fw/reader.bin");
    EXPECT_EQ(Settings(), "[Other]\r\nPort=9\r\n" + kHeader +
                              "DeviceBaud=4\r\nPort=5\r\nDownloadFilePath=/srv/fw/reader.bin\r\n");
    EXPECT_EQ(config.LastError(), CommonError::None);
    config.WriteDefaults();
    EXPECT_EQ(Settings(), "[Other]\r\nPort=9\r\n" + kHeader +
                              "DeviceBaud=0\r\nPort=0\r\nDownloadFilePath= \r\nDownBaud=0\r\n");
}

TEST_F(PortConfigTest, UnreadableSettingsFileIsNotOverwrittenByAFailedRead) {
    std::string big = kHeader + "Port=4\r\n" + std::string(ProfileFile::kMaxFileSize, ';');
    WriteSettings(big);
    int port = -1;
    EXPECT_FALSE(config.ReadPortIndex(port));
    EXPECT_EQ(config.LastError(), CommonError::FileTooLarge);
    EXPECT_EQ(Settings(), big);
}

TEST_F(PortConfigTest, ChangedIniPathIsTheFileThatIsUsed) {
    config.iniPath = folder.PathOf("Elsewhere.ini");
    config.WriteValue("Port", "1");
    EXPECT_FALSE(folder.Exists("System.ini"));
    EXPECT_EQ(folder.Read("Elsewhere.ini"), kHeader + "Port=1\r\n");
}

TEST_F(PortConfigTest, SectionSavedInUtf8IsReadAndWrittenBackAsTheSameSection) {
    const std::string utf8Header = "[\xE4\xB8\xB2\xE5\x8F\xA3\xE8\xAE\xBE\xE7\xBD\xAE]\n";
    WriteSettings(utf8Header + "Port=2\nDeviceBaud=3\nDownBaud=1\nDownloadFilePath=/fw/a.bin\n");
    ExpectStored(2, 3, 1, "/fw/a.bin");
    config.WriteValue("Port", "4");
    EXPECT_EQ(
        Settings(),
        "[" + kGbkSection + "]\nPort=4\r\nDeviceBaud=3\nDownBaud=1\nDownloadFilePath=/fw/a.bin\n");
}

TEST_F(PortConfigTest, ReadOnlySettingsFileIsKeptAndTheUserIsToldOnce) {
    const std::string stored = kHeader + "DeviceBaud=3\r\n";
    WriteSettings(stored);
    std::filesystem::permissions(config.iniPath, std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
    std::vector<std::string> notices;
    config.SetNoticeHandler([&](const std::string& line) { notices.push_back(line); });
    int deviceBaud = -1;
    int downBaud = -1;
    EXPECT_FALSE(config.ReadBaudIndexes(deviceBaud, downBaud));  // defaults cannot be written
    EXPECT_EQ(deviceBaud, 3);
    config.WriteValue("Port", "1");
    EXPECT_EQ(config.LastError(), CommonError::ReadOnly);
    EXPECT_EQ(Settings(), stored);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0],
              "Settings are not saved: " + config.iniPath + ": settings file is read-only");
}

TEST(PortConfigFolderTest, UnwritableProgramFolderKeepsTheSettingsInTheUsersFolder) {
    test::TempFolder folder;
    // A folder that cannot be written, even by root: one that is not there.
    const std::string programDir = folder.PathOf("missing") + "/";
    const std::string userDir = folder.PathOf("config") + "/Ferrowin/";
    PortConfig config(programDir, userDir, NoPorts);
    EXPECT_EQ(config.iniPath, userDir + "System.ini");
    EXPECT_EQ(config.BuildPath("System.ini"), programDir + "System.ini");
    EXPECT_FALSE(folder.Exists("config")) << "construction touches nothing";

    config.WriteValue("Port", "2");
    EXPECT_EQ(config.LastError(), CommonError::None);
    EXPECT_EQ(folder.Read("config/Ferrowin/System.ini"), kHeader + "Port=2\r\n");
    PortConfig again(programDir, userDir, NoPorts);
    int port = -1;
    EXPECT_TRUE(again.ReadPortIndex(port)) << "read from the same place";
    EXPECT_EQ(port, 2);
    EXPECT_FALSE(folder.Exists("missing"));

    // A program folder that can be written keeps the file beside the program.
    PortConfig beside(folder.Dir(), userDir, NoPorts);
    EXPECT_EQ(beside.iniPath, folder.Dir() + "System.ini");
}

struct XdgCase {
    const char* xdgConfigHome;
    const char* home;
    std::string folder;
};

void PrintTo(const XdgCase& c, std::ostream* out) {
    *out << (c.xdgConfigHome ? c.xdgConfigHome : "(unset)") << ", "
         << (c.home ? c.home : "(unset)");
}

class UserConfigFolderTest : public ::testing::TestWithParam<XdgCase> {};

TEST_P(UserConfigFolderTest, FollowsTheXdgRule) {
    const XdgCase& c = GetParam();
    EXPECT_EQ(UserConfigFolder::FromXdg(c.xdgConfigHome, c.home, "Ferrowin"), c.folder);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UserConfigFolderTest,
    ::testing::Values(XdgCase{"/cfg", "/home/u", "/cfg/Ferrowin/"},
                      XdgCase{"/cfg/", "/home/u", "/cfg/Ferrowin/"},
                      XdgCase{nullptr, "/home/u", "/home/u/.config/Ferrowin/"},
                      XdgCase{"", "/home/u", "/home/u/.config/Ferrowin/"},
                      XdgCase{"relative", "/home/u", "/home/u/.config/Ferrowin/"},
                      XdgCase{nullptr, nullptr, ""}, XdgCase{nullptr, "", ""}));

TEST(PortConfigPortsTest, ListPortsKeepsTheSourcesOrderAndReplacesTheListsContents) {
    PortConfig config("/nowhere/", [] {
        return std::vector<std::string>{"COM3", "COM1", "COM10"};
    });
    std::vector<std::string> ports{"stale"};
    EXPECT_TRUE(config.ListPorts(ports));
    EXPECT_EQ(ports, (std::vector<std::string>{"COM3", "COM1", "COM10"}));
}

TEST(PortConfigPortsTest, ListPortsWithoutPortsGivesAnEmptyListAndFalse) {
    PortConfig config("/nowhere/", NoPorts);
    std::vector<std::string> ports{"stale"};
    EXPECT_FALSE(config.ListPorts(ports));
    EXPECT_TRUE(ports.empty());
    EXPECT_EQ(config.LastError(), CommonError::NoPorts);
}

}  // namespace
}  // namespace uhf
