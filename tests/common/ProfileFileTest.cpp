#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fakes/TempFolder.h"
#include "common/ProfileFile.h"

namespace uhf {
namespace {

const std::string kGbkSection = "\xB4\xAE\xBF\xDA\xC9\xE8\xD6\xC3";

class ProfileFileTest : public ::testing::Test {
  protected:
    test::TempFolder folder;
    std::string path = folder.PathOf("System.ini");
    ProfileFile file{path};
};

TEST_F(ProfileFileTest, ReadsASettingsFileAsTheWindowsToolWritesIt) {
    folder.Write("System.ini", "[" + kGbkSection +
                                   "]\r\nPort=3\r\nDEVICEBAUD = 2 \r\ndownbaud=1\r\n"
                                   "DownloadFilePath=C:\\Firmware\\reader v2.bin\r\n");
    EXPECT_EQ(file.ReadString(kGbkSection, "Port", "", 260), "3");
    EXPECT_EQ(file.ReadString(kGbkSection, "DeviceBaud", "", 260), "2");
    EXPECT_EQ(file.ReadString(kGbkSection, "DownBaud", "", 260), "1");
    EXPECT_EQ(file.ReadString(kGbkSection, "DownloadFilePath", "", 100),
              "C:\\Firmware\\reader v2.bin");
    EXPECT_EQ(file.LastError(), CommonError::None);
}

TEST_F(ProfileFileTest, ReadCopiesAtMostOneLessThanTheBufferSize) {
    folder.Write("System.ini", "[S]\nk=abcdef\n");
    EXPECT_EQ(file.ReadString("S", "k", "", 7), "abcdef");
    EXPECT_EQ(file.ReadString("S", "k", "", 4), "abc");
    EXPECT_EQ(file.ReadString("S", "k", "", 1), "");
    EXPECT_EQ(file.ReadString("S", "k", "", 0), "");
    EXPECT_EQ(file.ReadString("S", "missing", "defaults", 4), "def");
}

TEST_F(ProfileFileTest, MissingFileGivesTheDefaultWithoutItsBlanksAndCreatesNothing) {
    EXPECT_EQ(file.ReadString("S", "k", " dflt ", 260), "dflt");
    EXPECT_EQ(file.ReadString("S", "k", " ", 260), "");
    EXPECT_EQ(file.LastError(), CommonError::None);
    EXPECT_FALSE(folder.Exists("System.ini"));
}

TEST_F(ProfileFileTest, WriteCreatesTheFileWithCrLfLines) {
    ASSERT_TRUE(file.WriteString(kGbkSection, "Port", "0"));
    ASSERT_TRUE(file.WriteString(kGbkSection, "DownloadFilePath", " "));
    EXPECT_EQ(folder.Read("System.ini"),
              "[" + kGbkSection + "]\r\nPort=0\r\nDownloadFilePath= \r\n");
    EXPECT_EQ(folder.Names().size(), 1u) << "no temporary file is left behind";
}

TEST_F(ProfileFileTest, WriteLeavesOtherSectionsAndCommentsIntact) {
    const std::string head = "; written by hand\r\n[Other]\r\nPort=7\r\n\r\n";
    const std::string tail = "\n# not ours\n[Last]\nx = 1\n";
    folder.Write("System.ini", head + "[" + kGbkSection + "]\r\nport=1\r\n;note\r\n" + tail);
    ASSERT_TRUE(file.WriteString(kGbkSection, "Port", "2"));
    ASSERT_TRUE(file.WriteString(kGbkSection, "DownBaud", "4"));
    EXPECT_EQ(folder.Read("System.ini"),
              head + "[" + kGbkSection + "]\r\nport=2\r\nDownBaud=4\r\n;note\r\n" + tail);
    EXPECT_EQ(file.ReadString("Other", "Port", "", 260), "7");
}

TEST_F(ProfileFileTest, WriteBuildsTheNewFileBesideTheOldOneBeforeReplacingIt) {
    const std::string before = "[S]\r\nk=old\r\n";
    folder.Write("System.ini", before);
    std::string seenTemp;
    file.SetBeforeReplaceHook([&](const std::string& tempPath) {
        seenTemp = tempPath;
        EXPECT_EQ(std::filesystem::path(tempPath).parent_path(),
                  std::filesystem::path(path).parent_path());
        EXPECT_EQ(folder.Read("System.ini"), before);
        EXPECT_EQ(folder.Read(std::filesystem::path(tempPath).filename().string()),
                  "[S]\r\nk=new\r\n");
        return true;
    });
    ASSERT_TRUE(file.WriteString("S", "k", "new"));
    EXPECT_FALSE(seenTemp.empty());
    EXPECT_EQ(folder.Read("System.ini"), "[S]\r\nk=new\r\n");
    EXPECT_FALSE(std::filesystem::exists(seenTemp));
}

TEST_F(ProfileFileTest, WriteInterruptedBeforeTheRenameLeavesTheOldFileWhole) {
    const std::string before = "[S]\r\nk=old\r\n[T]\r\nkeep=me\r\n";
    folder.Write("System.ini", before);
    file.SetBeforeReplaceHook([](const std::string& tempPath) {
        // A crash while the new file was half written: its tail is missing.
        std::filesystem::resize_file(tempPath, 5);
        return false;
    });
    EXPECT_FALSE(file.WriteString("S", "k", "new"));
    EXPECT_EQ(file.LastError(), CommonError::WriteAbandoned);
    EXPECT_EQ(folder.Read("System.ini"), before);
    EXPECT_EQ(file.ReadString("T", "keep", "", 260), "me");

    // The next write, after the "restart", succeeds over the stale half file.
    file.SetBeforeReplaceHook(nullptr);
    ASSERT_TRUE(file.WriteString("S", "k", "new"));
    EXPECT_EQ(folder.Read("System.ini"), "[S]\r\nk=new\r\n[T]\r\nkeep=me\r\n");
}

TEST_F(ProfileFileTest, WriteThatChangesNothingLeavesTheFileAlone) {
    folder.Write("System.ini", "[S]\r\nk=same\r\n");
    bool replaced = false;
    file.SetBeforeReplaceHook([&](const std::string&) { return replaced = true; });
    EXPECT_TRUE(file.WriteString("s", "K", "same"));
    EXPECT_FALSE(replaced);
}

TEST_F(ProfileFileTest, WriteIntoAMissingFolderFailsAndCreatesNothing) {
    ProfileFile nowhere(folder.PathOf("absent/System.ini"));
    EXPECT_FALSE(nowhere.WriteString("S", "k", "v"));
    EXPECT_EQ(nowhere.LastError(), CommonError::TempCreateFailed);
    EXPECT_FALSE(folder.Exists("absent"));
}

TEST_F(ProfileFileTest, WriteOfAValueWithALineBreakIsRefusedAndChangesNothing) {
    const std::string before = "[S]\r\nk=v\r\n";
    folder.Write("System.ini", before);
    EXPECT_FALSE(file.WriteString("S", "k", "a\nInjected=1"));
    EXPECT_EQ(file.LastError(), CommonError::InvalidText);
    EXPECT_EQ(folder.Read("System.ini"), before);
}

TEST_F(ProfileFileTest, OversizedFileIsNeitherReadNorRewritten) {
    std::string big = "[S]\nk=v\n" + std::string(ProfileFile::kMaxFileSize, ';');
    folder.Write("System.ini", big);
    EXPECT_EQ(file.ReadString("S", "k", "", 260), "");
    EXPECT_EQ(file.LastError(), CommonError::FileTooLarge);
    EXPECT_FALSE(file.WriteString("S", "k", "w"));
    EXPECT_EQ(file.LastError(), CommonError::FileTooLarge);
    EXPECT_EQ(folder.Read("System.ini"), big);
}

TEST_F(ProfileFileTest, FolderInPlaceOfTheFileIsAReadErrorAndIsNotReplaced) {
    std::filesystem::create_directory(path);
    EXPECT_EQ(file.ReadString("S", "k", "", 260), "");
    EXPECT_EQ(file.LastError(), CommonError::ReadFailed);
    EXPECT_FALSE(file.WriteString("S", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(ProfileFileTest, ReadOnlyFileIsLeftUntouchedEvenForAnAdministrator) {
    const std::string before = "[S]\r\nk=old\r\n";
    folder.Write("System.ini", before);
    const auto readOnly = std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                          std::filesystem::perms::others_read;
    std::filesystem::permissions(path, readOnly);
    EXPECT_FALSE(file.WriteString("S", "k", "new"));
    EXPECT_EQ(file.LastError(), CommonError::ReadOnly);
    EXPECT_EQ(folder.Read("System.ini"), before);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::none);
    EXPECT_EQ(folder.Names().size(), 1u) << "no temporary file is left behind";
    // Reading it still works.
    EXPECT_EQ(file.ReadString("S", "k", "", 260), "old");
}

}  // namespace
}  // namespace uhf
