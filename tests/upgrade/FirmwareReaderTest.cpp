#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "upgrade/FirmwareReader.h"
#include "fakes/TempFolder.h"

namespace uhf {
namespace {

class FirmwareReaderTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    std::string Write(const std::string& name, std::size_t size) {
        const std::string path = (dir / name).string();
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) {
            out.put(static_cast<char>(i * 31));
        }
        return path;
    }

    test::TempFolder folder;
    const std::filesystem::path dir = folder.Path();
    std::vector<std::uint8_t> image{1, 2, 3};
};

TEST_F(FirmwareReaderTest, LoadsTheWholeFileByteForByte) {
    const std::string path = Write("fw.bin", 1000);
    ASSERT_EQ(FirmwareReader::Load(path, image), TransferError::None);
    ASSERT_EQ(image.size(), 1000U);
    for (std::size_t i = 0; i < image.size(); ++i) {
        ASSERT_EQ(image[i], static_cast<std::uint8_t>(i * 31)) << i;
    }
}

TEST_F(FirmwareReaderTest, EmptyFileIsRefused) {
    EXPECT_EQ(FirmwareReader::Load(Write("empty.bin", 0), image), TransferError::FirmwareEmpty);
    EXPECT_TRUE(image.empty());
}

TEST_F(FirmwareReaderTest, LargestAnnounceableImageLoads) {
    EXPECT_EQ(FirmwareReader::Load(Write("max.bin", 65535), image), TransferError::None);
    EXPECT_EQ(image.size(), 65535U);
}

TEST_F(FirmwareReaderTest, ImageOverSixteenBitsIsRefused) {
    EXPECT_EQ(FirmwareReader::Load(Write("big.bin", 65536), image), TransferError::FirmwareTooLong);
    EXPECT_TRUE(image.empty());
}

TEST_F(FirmwareReaderTest, MissingFileIsReportedAsMissing) {
    EXPECT_EQ(FirmwareReader::Load((dir / "none.bin").string(), image),
              TransferError::FirmwareMissing);
    EXPECT_TRUE(image.empty());
}

// What is not a regular file is never opened (a FIFO without a writer would hold the tool up),
// and the reason names what it is.
TEST_F(FirmwareReaderTest, WhatIsNoFileIsUnreadableAndSaysWhatItIs) {
    struct Case {
        std::string path;
        const char* reason;
    };
    std::vector<Case> cases{{dir.string(), "it is a directory"}};
#ifndef _WIN32
    const std::string fifo = (dir / "fw.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    cases.push_back({fifo, "it is a FIFO"});
    cases.push_back({"/dev/null", "it is a device"});
#endif
    for (const Case& c : cases) {
        std::string reason = "unchanged";
        image = {1, 2, 3};
        EXPECT_EQ(FirmwareReader::Load(c.path, image, &reason), TransferError::FirmwareUnreadable)
            << c.path;
        EXPECT_EQ(reason, c.reason) << c.path;
        EXPECT_TRUE(image.empty());
    }
}

TEST_F(FirmwareReaderTest, FileEndingBeforeItsSizeIsTruncated) {
    // A sysfs attribute claims a page and holds a few bytes, as a file cut while it is read does.
    const std::filesystem::path attribute = "/sys/devices/system/cpu/online";
    std::error_code error;
    if (!std::filesystem::is_regular_file(attribute, error) ||
        std::filesystem::file_size(attribute, error) < 4096) {
        GTEST_SKIP() << "no sysfs attribute to read";
    }
    EXPECT_EQ(FirmwareReader::Load(attribute.string(), image), TransferError::FirmwareTruncated);
    EXPECT_TRUE(image.empty());
}

}  // namespace
}  // namespace uhf
