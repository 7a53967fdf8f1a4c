#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "downloader/FirmwareReader.h"
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
    ASSERT_EQ(FirmwareReader::Load(path, image), ImageError::None);
    ASSERT_EQ(image.size(), 1000U);
    for (std::size_t i = 0; i < image.size(); ++i) {
        ASSERT_EQ(image[i], static_cast<std::uint8_t>(i * 31)) << i;
    }
}

TEST_F(FirmwareReaderTest, EmptyFileIsRefused) {
    EXPECT_EQ(FirmwareReader::Load(Write("empty.bin", 0), image), ImageError::Empty);
    EXPECT_TRUE(image.empty());
}

TEST_F(FirmwareReaderTest, LargestAnnounceableImageLoads) {
    EXPECT_EQ(FirmwareReader::Load(Write("max.bin", 65535), image), ImageError::None);
    EXPECT_EQ(image.size(), 65535U);
}

TEST_F(FirmwareReaderTest, ImageOverSixteenBitsIsRefused) {
    EXPECT_EQ(FirmwareReader::Load(Write("big.bin", 65536), image), ImageError::TooLong);
    EXPECT_TRUE(image.empty());
}

TEST_F(FirmwareReaderTest, MissingFileIsReportedAsMissing) {
    EXPECT_EQ(FirmwareReader::Load((dir / "none.bin").string(), image), ImageError::Missing);
    EXPECT_TRUE(image.empty());
}

TEST_F(FirmwareReaderTest, FolderIsUnreadable) {
    EXPECT_EQ(FirmwareReader::Load(dir.string(), image), ImageError::Unreadable);
    EXPECT_TRUE(image.empty());
}

TEST_F(FirmwareReaderTest, FileEndingBeforeItsSizeIsTruncated) {
    // A sysfs attribute claims a page and holds a few bytes, as a file cut while it is read does.
    const std::filesystem::path attribute = "/sys/devices/system/cpu/online";
    std::error_code error;
    if (!std::filesystem::is_regular_file(attribute, error) ||
        std::filesystem::file_size(attribute, error) < 4096) {
        GTEST_SKIP() << "no sysfs attribute to read";
    }
    EXPECT_EQ(FirmwareReader::Load(attribute.string(), image), ImageError::Truncated);
    EXPECT_TRUE(image.empty());
}

}  // namespace
}  // namespace uhf
