// The INI reader that stands in for the private-profile functions.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

TEST(ProfileIntTest, ReadsSignedDecimalAndHexadecimalUpToTheFirstNonDigit) {
    const std::pair<const char*, long long> kCases[] = {
        {"42", 42},     {"  -17", -17}, {"+8", 8},     {"0x50005", 0x50005},
        {"0X1f", 0x1F}, {"-0x10", -16}, {"12abc", 12}, {"0x1g", 1},
        {"abc", 0},     {"", 0},        {"0x", 0}};
    for (auto [text, value] : kCases)
        EXPECT_EQ(ParseProfileInt(text), value) << text;
}

TEST(IniFileTest, SectionsAndKeysIgnoreCaseAndMissingKeysGiveTheDefault) {
    YIniFile ini;
    ASSERT_TRUE(ini.LoadText("; comment line\n[MOSTImport]\nWarningLevel = 5\n"
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

TEST(IniFileTest, OneShotFunctionsReadTheFileOrGiveDefaults) {
    test::TempDir dir;
    std::string path = dir.File("Tarvex.ini");
    test::WriteFile(path, "[UserSelection]\r\nSettingsFolder=/opt/settings\r\n[MOSTImport]\r\n"
                          "Validate=1\r\n");
    EXPECT_EQ(GetPrivateProfileString("userselection", "settingsfolder", "", 260, path),
              "/opt/settings");
    EXPECT_EQ(GetPrivateProfileInt("MOSTImport", "Validate", 0, path), 1);
    std::string missing = dir.File("none.ini");
    EXPECT_EQ(GetPrivateProfileString("UserSelection", "SettingsFolder", "dflt", 260, missing),
              "dflt");
    EXPECT_EQ(GetPrivateProfileInt("MOSTImport", "Validate", 4, missing), 4);
}

} // namespace
} // namespace mostfcat
