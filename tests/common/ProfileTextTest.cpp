#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/ProfileText.h"

namespace uhf {
namespace {

const std::string kGbkSection = "\xB4\xAE\xBF\xDA\xC9\xE8\xD6\xC3";

struct NamesCase {
    std::string a;
    std::string b;
    bool equal;
};

class NamesEqualTest : public ::testing::TestWithParam<NamesCase> {};

TEST_P(NamesEqualTest, ComparesAsciiWithoutCaseAndDoubleByteCharactersExactly) {
    const NamesCase& c = GetParam();
    EXPECT_EQ(ProfileText::NamesEqual(c.a, c.b), c.equal) << c.a << " vs " << c.b;
    EXPECT_EQ(ProfileText::NamesEqual(c.b, c.a), c.equal);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NamesEqualTest,
    ::testing::Values(NamesCase{"Port", "port", true}, NamesCase{"DEVICEBAUD", "DeviceBaud", true},
                      NamesCase{"Port", "Ports", false}, NamesCase{"Port", "Pord", false},
                      NamesCase{kGbkSection, kGbkSection, true},
                      NamesCase{kGbkSection, "\xB4\xAE\xBF\xDA\xC9\xE8\xD6\xC4", false},
                      // 0x81 0x41 is one GBK character whose trail byte looks like 'A'.
                      NamesCase{"\x81\x41", "\x81\x61", false},
                      NamesCase{"\x81\x41", "\x81\x41", true}, NamesCase{"x\xB4", "X\xB4", true},
                      NamesCase{"", "", true}, NamesCase{"[", "{", false}));

TEST(ProfileTextTest, FindsKeysOfAWindowsWrittenFileWhateverTheirCase) {
    ProfileText text(
        "[" + kGbkSection +
        "]\r\nPORT=3\r\ndevicebaud=2\r\nDownBaud=4\r\nDownloadFilePath=C:\\fw\\a.bin\r\n");
    EXPECT_EQ(text.Find(kGbkSection, "Port"), "3");
    EXPECT_EQ(text.Find(kGbkSection, "DeviceBaud"), "2");
    EXPECT_EQ(text.Find(kGbkSection, "downbaud"), "4");
    EXPECT_EQ(text.Find(kGbkSection, "DownloadFilePath"), "C:\\fw\\a.bin");
    EXPECT_EQ(text.Find(kGbkSection, "Missing"), std::nullopt);
    EXPECT_EQ(text.Find("Other", "Port"), std::nullopt);
}

TEST(ProfileTextTest, DropsBlanksAroundSectionNamesKeyNamesAndValues) {
    ProfileText text("  [  Settings\t]  \n  Port \t=  7  \nPath= \nTabbed=\tC:\\a b\t\r\n");
    EXPECT_EQ(text.Find("settings", "port"), "7");
    EXPECT_EQ(text.Find(" Settings ", " Port "), "7");
    EXPECT_EQ(text.Find("Settings", "Path"), "");  // the default path " " reads back empty
    EXPECT_EQ(text.Find("Settings", "Tabbed"), "C:\\a b");
}

struct QuoteCase {
    std::string stored;
    std::string read;
};

class QuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteTest, ValueInsideMatchingQuotesLosesThem) {
    ProfileText text("[S]\nk=" + GetParam().stored + "\n");
    EXPECT_EQ(text.Find("S", "k"), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Table, QuoteTest,
                         ::testing::Values(QuoteCase{"\"abc\"", "abc"}, QuoteCase{"'abc'", "abc"},
                                           QuoteCase{"\" a b \"", " a b "}, QuoteCase{"\"\"", ""},
                                           QuoteCase{"\"abc'", "\"abc'"}, QuoteCase{"\"", "\""},
                                           QuoteCase{"'", "'"}, QuoteCase{"a\"b\"", "a\"b\""},
                                           QuoteCase{" \"x\" ", "x"}));

TEST(ProfileTextTest, IgnoresCommentsLinesWithoutEqualsAndKeysBeforeAnySection) {
    ProfileText text("Port=9\n[S]\n;Port=5\n  ; Baud=3\nPort\n[Broken\nBaud=4\n");
    EXPECT_EQ(text.Find("S", "Port"), std::nullopt);
    EXPECT_EQ(text.Find("S", ";Port"), std::nullopt);
    // "[Broken" is no section header, so Baud still belongs to S.
    EXPECT_EQ(text.Find("S", "Baud"), "4");
    EXPECT_EQ(text.Find("Broken", "Baud"), std::nullopt);
}

TEST(ProfileTextTest, SearchesEverySectionOfTheNameAndTakesTheFirstKey) {
    ProfileText text("[S]\na=1\n[T]\nb=2\n[s]\nb=3\na=4\n");
    EXPECT_EQ(text.Find("S", "a"), "1");
    EXPECT_EQ(text.Find("S", "b"), "3");
    EXPECT_EQ(text.Find("T", "b"), "2");
}

TEST(ProfileTextTest, RecognisesASectionAfterAByteOrderMark) {
    ProfileText text("\xEF\xBB\xBF[S]\r\nk=v\r\n");
    EXPECT_EQ(text.Find("S", "k"), "v");
}

TEST(ProfileTextTest, SectionSavedInAnotherEncodingIsTheSameSectionAndIsWrittenBackInOurs) {
    const std::string gbk = "\xB4\xAE\xBF\xDA\xC9\xE8\xD6\xC3";
    const std::string utf8 = "\xE4\xB8\xB2\xE5\x8F\xA3\xE8\xAE\xBE\xE7\xBD\xAE";
    ProfileText text("\xEF\xBB\xBF; saved by an editor\n[Other]\nPort=9\n[ " + utf8 +
                     " ]\nPort=2\n");
    text.AddSectionSpelling(gbk, utf8);
    EXPECT_EQ(text.Find(gbk, "Port"), "2");
    EXPECT_EQ(text.Find(utf8, "Port"), "2") << "the other spelling still names it";
    ASSERT_TRUE(text.Set(gbk, "DownBaud", "4"));
    EXPECT_EQ(text.Bytes(),
              "; saved by an editor\n[Other]\nPort=9\n[ " + gbk + " ]\nPort=2\nDownBaud=4\r\n");

    ProfileText plain("[Other]\nPort=9\n");
    plain.AddSectionSpelling(gbk, utf8);
    EXPECT_EQ(plain.Find(gbk, "Port"), std::nullopt);
}

struct SetCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::string after;
};

class SetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetTest, ChangesOnlyTheLineOfTheKey) {
    const SetCase& c = GetParam();
    ProfileText text(c.before);
    ASSERT_TRUE(text.Set(c.section, c.key, c.value));
    EXPECT_EQ(text.Bytes(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SetTest,
    ::testing::Values(
        // The key keeps the file's spelling, the new line ends in CR LF, the rest is untouched.
        SetCase{"ReplacesTheValueWhereItStands",
                "; top comment\n[S]\r\nport = 1\nBaud=2\n\n[T]\nPort=5\n", "s", "PORT", "12",
                "; top comment\n[S]\r\nport=12\r\nBaud=2\n\n[T]\nPort=5\n"},
        SetCase{"ReplacesAKeyFoundInALaterSectionOfTheSameName", "[S]\na=1\n[T]\n[S]\nb=2\n", "S",
                "b", "9", "[S]\na=1\n[T]\n[S]\nb=9\r\n"},
        SetCase{"AddsAMissingKeyAfterTheLastKeyOfItsSection",
                "[S]\r\na=1\r\n; about T\r\n\r\n[T]\r\nb=2\r\n", "S", "c", "3",
                "[S]\r\na=1\r\nc=3\r\n; about T\r\n\r\n[T]\r\nb=2\r\n"},
        SetCase{"AddsAKeyRightAfterTheHeaderOfASectionWithoutKeys", "[S]\n\n[T]\nb=2\n", "S", "a",
                "1", "[S]\na=1\r\n\n[T]\nb=2\n"},
        SetCase{"AddsAMissingSectionAtTheEndOfTheFile", "[T]\r\nb=2\r\n", kGbkSection, "Port", "0",
                "[T]\r\nb=2\r\n[" + kGbkSection + "]\r\nPort=0\r\n"}),
    [](const ::testing::TestParamInfo<SetCase>& info) { return info.param.name; });

TEST(ProfileTextTest, SetEndsAnUnterminatedLastLineBeforeAddingToIt) {
    ProfileText missingSection("[T]\nb=2");
    ASSERT_TRUE(missingSection.Set("S", "a", "1"));
    EXPECT_EQ(missingSection.Bytes(), "[T]\nb=2\r\n[S]\r\na=1\r\n");

    ProfileText missingKey("[S]\r\na=1\r");
    ASSERT_TRUE(missingKey.Set("S", "b", "2"));
    EXPECT_EQ(missingKey.Bytes(), "[S]\r\na=1\r\nb=2\r\n");
    EXPECT_EQ(missingKey.Find("S", "a"), "1");
}

TEST(ProfileTextTest, SetOnAnEmptyTextWritesSectionAndKey) {
    ProfileText text;
    ASSERT_TRUE(text.Set("S", "DownloadFilePath", " "));
    EXPECT_EQ(text.Bytes(), "[S]\r\nDownloadFilePath= \r\n");
    EXPECT_EQ(text.Find("S", "DownloadFilePath"), "");
}

TEST(ProfileTextTest, SetStoresValueBytesAsGiven) {
    const std::string gbkPath = "D:\\\xB9\xCC\xBC\xFE\\fw.bin";  // GBK "固件"
    ProfileText text;
    ASSERT_TRUE(text.Set("S", "Path", gbkPath));
    EXPECT_EQ(text.Find("S", "Path"), gbkPath);
    ASSERT_TRUE(text.Set("S", "Eq", "a=b"));
    EXPECT_EQ(text.Find("S", "Eq"), "a=b");
}

struct UnstorableCase {
    std::string section;
    std::string key;
    std::string value;
};

class UnstorableTest : public ::testing::TestWithParam<UnstorableCase> {};

TEST_P(UnstorableTest, SetRefusesTextsThatWouldBreakTheLineStructure) {
    const std::string before = "[S]\nk=v\n";
    ProfileText text(before);
    const UnstorableCase& c = GetParam();
    EXPECT_FALSE(ProfileText::IsStorable(c.section, c.key, c.value));
    EXPECT_FALSE(text.Set(c.section, c.key, c.value));
    EXPECT_EQ(text.Bytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnstorableTest,
    ::testing::Values(UnstorableCase{"S", "k", "a\nb"}, UnstorableCase{"S", "k", "a\rb"},
                      UnstorableCase{"S", "k", std::string("a\0b", 3)},
                      UnstorableCase{"S", "k=x", "v"}, UnstorableCase{"S", "", "v"},
                      UnstorableCase{"S", "  ", "v"}, UnstorableCase{"S", "[k", "v"},
                      UnstorableCase{"S", ";k", "v"}, UnstorableCase{"S]", "k", "v"},
                      UnstorableCase{"S\n", "k", "v"}, UnstorableCase{"S", "k\n", "v"}));

}  // namespace
}  // namespace uhf
