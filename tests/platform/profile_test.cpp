// The INI reader that stands in for the private-profile functions.
#include <gtest/gtest.h>

#include "platform/profile.h"

namespace mostfcat {
namespace {

TEST(ProfileIntTest, ReadsSignedDecimalAndHexadecimalUpToTheFirstNonDigit) {
    const std::pair<const char*, long long> kCases[] = {
        {"  -17", -17}, {"+8", 8},   {"0X1f", 0x1F}, {"-0x10", -16},
        {"12abc", 12},  {"0x1g", 1}, {"abc", 0},     {"0x", 0}};
    for (auto [text, value] : kCases)
        EXPECT_EQ(ParseProfileInt(text), value) << text;
}

TEST(IniFileTest, SectionsAndKeysIgnoreCaseAndMissingKeysGiveTheDefault) {
    YIniFile ini;
    ASSERT_TRUE(ini.LoadText("; comment line\r\n[MOSTImport]\r\nWarningLevel = 5\r\n"
                             "ImportLogExclude=12, 34;56\nWarningLevel=9\nQuoted=\"a b\"\n"
                             "[mostdisplay]\nparamvaluestringlimit=80\n"));
    EXPECT_EQ(ini.GetInt("mostimport", "WARNINGLEVEL", 0), 5); // the first occurrence wins
    EXPECT_EQ(ini.GetString("MOSTIMPORT", "importlogexclude", "-1", 3000), "12, 34;56");
    EXPECT_EQ(ini.GetString("MOSTImport", "Quoted", "", 3000), "a b");
    EXPECT_TRUE(ini.HasKey("MostDisplay", "PARAMVALUESTRINGLIMIT"));
    EXPECT_EQ(ini.GetInt("MOSTImport", "FCatCacheSize", 10), 10);
    EXPECT_EQ(ini.GetInt("NoSection", "WarningLevel", -3), -3);

    // Strings are cut to the buffer size, the terminator included.
    ASSERT_TRUE(ini.LoadText("[S]\nKey=abcdefgh\nLong=" + std::string(5000, 'x') + "\n"));
    EXPECT_EQ(ini.GetString("S", "Key", "", 5), "abcd");
    EXPECT_EQ(ini.GetString("S", "Missing", "defaultvalue", 4), "def");
    EXPECT_EQ(ini.GetString("S", "Key", "", 0), "");
    EXPECT_EQ(ini.GetString("S", "Long", "", 3000), std::string(2999, 'x'));
}

} // namespace
} // namespace mostfcat
