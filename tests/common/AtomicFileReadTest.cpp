#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "common/AtomicFile.h"
#include "fakes/TempFolder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace uhf {
namespace {

struct ReadCase {
    const char* name;
    // Makes what the read is given in the folder and returns its path.
    std::function<std::string(const test::TempFolder&)> make;
    FileError error;
    std::string expected;  // the bytes read, or what Reason says
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class WholeFileRead : public testing::TestWithParam<ReadCase> {};

TEST_P(WholeFileRead, GivesTheBytesOrANamedReason) {
    const test::TempFolder folder;
    const ReadCase& c = GetParam();
    const AtomicFile::Contents read = AtomicFile::Read(c.make(folder), 8);
    EXPECT_EQ(read.error, c.error);
    EXPECT_EQ(read.Exists(), c.error != FileError::Missing);
    if (c.error == FileError::None) {
        EXPECT_EQ(read.bytes, c.expected);
    } else {
        EXPECT_EQ(Reason(read), c.expected);
        EXPECT_TRUE(read.bytes.empty());
    }
}

// Bytes as they are: no line ends changed, no end at a zero byte.
const std::string kBinary("ab\r\n\0\xFF", 6);

std::string File(const test::TempFolder& folder, const std::string& bytes) {
    folder.Write("file", bytes);
    return folder.PathOf("file");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WholeFileRead,
    testing::Values(ReadCase{"WholeFile", [](const auto& f) { return File(f, kBinary); },
                             FileError::None, kBinary},
                    ReadCase{"AtTheLimit", [](const auto& f) { return File(f, "12345678"); },
                             FileError::None, "12345678"},
                    ReadCase{"EmptyFile", [](const auto& f) { return File(f, ""); },
                             FileError::None, ""},
                    ReadCase{"OverTheLimit", [](const auto& f) { return File(f, "123456789"); },
                             FileError::TooLarge, "it is larger than 8 bytes"},
                    ReadCase{"Folder", [](const auto& f) { return f.Path().string(); },
                             FileError::NotRegular, "it is a directory"}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(WholeFileReadTest, MissingFileOrFolderIsMissingInTheSystemsWords) {
    const test::TempFolder folder;
    for (const std::string& path : {folder.PathOf("none"), folder.PathOf("none/file")}) {
        const AtomicFile::Contents read = AtomicFile::Read(path, 8);
        EXPECT_EQ(read.error, FileError::Missing) << path;
        EXPECT_FALSE(read.Exists());
        EXPECT_FALSE(Reason(read).empty());
    }
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Windows, WholeFileRead,
    testing::Values(ReadCase{"Device", [](const auto&) { return std::string("NUL"); },
                             FileError::NotRegular, "it is a device"}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });
#else
INSTANTIATE_TEST_SUITE_P(
    Posix, WholeFileRead,
    testing::Values(
        // A FIFO without a writer would hold an open up for good.
        ReadCase{"Fifo",
                 [](const auto& f) {
                     const std::string path = f.PathOf("fifo");
                     EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
                     return path;
                 },
                 FileError::NotRegular, "it is a FIFO"},
        ReadCase{"Device", [](const auto&) { return std::string("/dev/zero"); },
                 FileError::NotRegular, "it is a device"},
        // The link is followed.
        ReadCase{"LinkToAFile",
                 [](const auto& f) {
                     const std::string target = File(f, "linked");
                     std::filesystem::create_symlink(target, f.PathOf("link"));
                     return f.PathOf("link");
                 },
                 FileError::None, "linked"}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(WholeFileReadTest, FileEndingBeforeItsSizeIsTruncated) {
    // A sysfs attribute claims a page and holds a few bytes, as a file cut while it is read does.
    const std::string path = "/sys/devices/system/cpu/online";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 4096) {
        GTEST_SKIP() << "no sysfs attribute to read";
    }
    const AtomicFile::Contents read = AtomicFile::Read(path, 8192);
    EXPECT_EQ(read.error, FileError::Truncated);
    EXPECT_TRUE(read.bytes.empty());
}
#endif

}  // namespace
}  // namespace uhf
