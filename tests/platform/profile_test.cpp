// The INI reader that stands in for the private-profile functions.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

TEST(ProfileIntTest, ReadsSignedDecimalAndHexadecimal) {
    EXPECT_EQ(ParseProfileInt("42"), 42);
    EXPECT_EQ(ParseProfileInt("  -17"), -17);
    EXPECT_EQ(ParseProfileInt("+8"), 8);
    EXPECT_EQ(ParseProfileInt("0x50005"), 0x50005);
    EXPECT_EQ(ParseProfileInt("0X1f"), 0x1F);
    EXPECT_EQ(ParseProfileInt("-0x10"), -16);
    // Reading stops at the first character that is not a digit.
    EXPECT_EQ(ParseProfileInt("12abc"), 12);
    EXPECT_EQ(ParseProfileInt("0x1g"), 1);
    EXPECT_EQ(ParseProfileInt("abc"), 0);
    EXPECT_EQ(ParseProfileInt(""), 0);
    EXPECT_EQ(ParseProfileInt("0x"), 0);
}

TEST(IniFileTest, SectionsAndKeysIgnoreCaseAndMissingKeysGiveTheDefault) {
    YIniFile ini;
    ASSERT_TRUE(ini.LoadText("; comment line\n"
                             "[MOSTImport]\n"
                             "WarningLevel = 5\n"
                             "Options=0x50005\n"
                             "ImportLogExclude=12, 34;56\n"
                             "WarningLevel=9\n"
                             "Quoted=\"a b\"\n"
                             "[mostdisplay]\n"
                             "paramvaluestringlimit=80\n"));
    EXPECT_EQ(ini.GetInt("mostimport", "WARNINGLEVEL", 0), 5); // the first occurrence wins
    EXPECT_EQ(ini.GetInt("MOSTImport", "Options", 0), 0x50005);
    EXPECT_EQ(ini.GetString("MOSTIMPORT", "importlogexclude", "-1", 3000), "12, 34;56");
    EXPECT_EQ(ini.GetString("MOSTImport", "Quoted", "", 3000), "a b");
    EXPECT_EQ(ini.GetInt("MOSTDisplay", "ParamValueStringLimit", 36), 80);
    EXPECT_TRUE(ini.HasKey("MostDisplay", "PARAMVALUESTRINGLIMIT"));

    EXPECT_FALSE(ini.HasKey("MOSTImport", "FCatCacheSize"));
    EXPECT_EQ(ini.GetInt("MOSTImport", "FCatCacheSize", 10), 10);
    EXPECT_EQ(ini.GetInt("NoSection", "WarningLevel", -3), -3);
    EXPECT_EQ(ini.GetString("MOSTImport", "Missing", "-1", 3000), "-1");
}

TEST(IniFileTest, StringsAreCutToTheBufferSize) {
    YIniFile ini;
    ASSERT_TRUE(ini.LoadText("[S]\nKey=abcdefgh\n"));
    EXPECT_EQ(ini.GetString("S", "Key", "", 5), "abcd");
    EXPECT_EQ(ini.GetString("S", "Missing", "defaultvalue", 4), "def");
    EXPECT_EQ(ini.GetString("S", "Key", "", 0), "");
    // A value longer than the 3000-character buffer of the profile reader.
    std::string longValue(5000, 'x');
    ASSERT_TRUE(ini.LoadText("[S]\nKey=" + longValue + "\n"));
    EXPECT_EQ(ini.GetString("S", "Key", "", 3000), std::string(2999, 'x'));
}

TEST(IniFileTest, OneShotFunctionsReadTheFileOrGiveDefaults) {
    test::TempDir dir;
    std::string path = dir.File("Tarvex.ini");
    test::WriteFile(path, "[UserSelection]\r\nSettingsFolder=/opt/settings\r\n[MOSTImport]\r\n"
                          "Validate=1\r\n");
    EXPECT_EQ(GetPrivateProfileString("userselection", "settingsfolder", "", 260, path),
              "/opt/settings");
    EXPECT_EQ(GetPrivateProfileInt("MOSTImport", "Validate", 0, path), 1);
    EXPECT_EQ(GetPrivateProfileInt("MOSTImport", "Missing", 7, path), 7);

    std::string missing = dir.File("none.ini");
    EXPECT_EQ(GetPrivateProfileString("UserSelection", "SettingsFolder", "dflt", 260, missing),
              "dflt");
    EXPECT_EQ(GetPrivateProfileInt("MOSTImport", "Validate", 4, missing), 4);
    YIniFile ini;
    EXPECT_FALSE(ini.Load(missing));
}

} // namespace
} // namespace mostfcat
