#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "fakes/TempFolder.h"

namespace uhf {
namespace {

// Another program (antivirus, the search indexer, OneDrive) holds System.ini for the first
// `held` tries: each of them fails as Windows fails then, leaving both files as they are.
struct HeldCase {
    const char* name;
    int held;
    DWORD error;
    bool readOnly;
    CommonError result;
    std::vector<unsigned long> pauses;
};

class AtomicFileHeldTest : public testing::TestWithParam<HeldCase> {
  protected:
    void SetUp() override { real = AtomicFile::placing; }
    void TearDown() override { AtomicFile::placing = real; }

    AtomicFile::WindowsPlacing real;
};

TEST_P(AtomicFileHeldTest, ReplaceWaitsBrieflyForAHeldFileThenSavesOrGivesUpCleanly) {
    const HeldCase& c = GetParam();
    test::TempFolder folder;
    folder.Write("System.ini", "old");
    const std::wstring target = folder.Path().wstring() + L"\\System.ini";
    if (c.readOnly) {
        ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    int tries = 0;
    std::vector<unsigned long> pauses;
    AtomicFile::placing.place = [&](const std::wstring& to, const std::wstring& from) {
        return ++tries <= c.held ? c.error : real.place(to, from);
    };
    AtomicFile::placing.pause = [&](unsigned long ms) { pauses.push_back(ms); };

    EXPECT_EQ(AtomicFile::Replace(folder.PathOf("System.ini"), "new", nullptr), c.result);
    EXPECT_EQ(pauses, c.pauses);
    EXPECT_EQ(folder.Read("System.ini"), c.result == CommonError::None ? "new" : "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"System.ini"}) << "a temporary file left";
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

const std::vector<unsigned long> kAllPauses = {10, 20, 40, 80, 150};

INSTANTIATE_TEST_SUITE_P(
    Windows, AtomicFileHeldTest,
    testing::Values(
        HeldCase{"SharingViolationTwice",
                 2,
                 ERROR_SHARING_VIOLATION,
                 false,
                 CommonError::None,
                 {10, 20}},
        HeldCase{"LockViolationOnce", 1, ERROR_LOCK_VIOLATION, false, CommonError::None, {10}},
        // A file open without FILE_SHARE_DELETE makes the move answer "access denied".
        HeldCase{"AccessDeniedUntilTheLastTry", 5, ERROR_ACCESS_DENIED, false, CommonError::None,
                 kAllPauses},
        HeldCase{"HeldLongerThanTheWait", 6, ERROR_SHARING_VIOLATION, false,
                 CommonError::ReplaceFailed, kAllPauses},
        HeldCase{"ReadOnlyIsDeniedForGood",
                 1,
                 ERROR_ACCESS_DENIED,
                 true,
                 CommonError::ReplaceFailed,
                 {}},
        HeldCase{"DiskFullIsNoWaitingMatter",
                 1,
                 ERROR_DISK_FULL,
                 false,
                 CommonError::ReplaceFailed,
                 {}}),
    [](const testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

// The real calls against a real holder: a handle open without FILE_SHARE_DELETE, as a scanner
// keeps it, let go during the second pause.
TEST_F(AtomicFileHeldTest, ReplaceOfAFileHeldOpenSucceedsOnceItIsLetGo) {
    test::TempFolder folder;
    folder.Write("System.ini", "old");
    HANDLE holder = CreateFileW((folder.Path().wstring() + L"\\System.ini").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::vector<unsigned long> pauses;
    AtomicFile::placing.pause = [&](unsigned long ms) {
        pauses.push_back(ms);
        if (pauses.size() == 2) {
            CloseHandle(holder);
        }
    };

    EXPECT_EQ(AtomicFile::Replace(folder.PathOf("System.ini"), "new", nullptr), CommonError::None);
    EXPECT_EQ(pauses, (std::vector<unsigned long>{10, 20}));
    EXPECT_EQ(folder.Read("System.ini"), "new");
    // Ours are "ini*.tmp"; Wine's ReplaceFileW leaves "rff*.tmp" files of its own when it fails.
    for (const std::string& name : folder.Names()) {
        EXPECT_TRUE(name == "System.ini" || name.rfind("ini", 0) != 0) << name << " left";
    }
}

}  // namespace
}  // namespace uhf
