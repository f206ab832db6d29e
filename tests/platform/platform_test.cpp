// Paths, file status, MD5 and the INI reader (which stands in for the
// private-profile functions) of the platform layer; the memory file is used
// through the cache file's memory and image modes.
#include <gtest/gtest.h>

#include <utime.h>

#include <filesystem>

#include "platform/md5.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace mostfcat {
namespace {

namespace fs = std::filesystem;

std::string Split(const std::string& path) {
    YPathParts p = SplitPath(path);
    return p.drive + "|" + p.directory + "|" + p.name + "|" + p.extension;
}

TEST(PathsTest, SplitMakeAndFullPath) {
    EXPECT_EQ(Split("/data/cat.v2/catalog.tar.xml"), "|/data/cat.v2/|catalog.tar|.xml");
    EXPECT_EQ(Split("/data/cat.v2/README"), "|/data/cat.v2/|README|");
    EXPECT_EQ(Split("plain.xml"), "||plain|.xml");
    EXPECT_EQ(MakePath("", "/data/", "catalog", ".log"), "/data/catalog.log");
    EXPECT_EQ(MakePath("", "/data", "catalog", "vfc"), "/data/catalog.vfc");
    EXPECT_EQ(FullPath("/a/b/../c/./d.xml"), "/a/c/d.xml");
    EXPECT_EQ(FullPath("rel.xml"), (fs::current_path() / "rel.xml").string());
    EXPECT_EQ(FullPath(std::string(kMaxFullPath + 10, 'a')), "");
}

TEST(PathsTest, FileStatusAndModuleLocation) {
    test::TempDir dir;
    std::string file = dir.File("c.xml"), missing = dir.File("missing.xml");
    test::WriteFile(file, "12345");
    struct utimbuf times {};
    times.actime = times.modtime = 1700000000;
    ASSERT_EQ(::utime(file.c_str(), &times), 0);
    YFileStatus st;
    ASSERT_TRUE(GetFileStatus(file, st));
    EXPECT_EQ(st.size, 5u);
    EXPECT_EQ(st.modTime, 1700000000u);
    EXPECT_FALSE(GetFileStatus(missing, st) || GetFileStatus(dir.Path(), st));
    EXPECT_TRUE(PathExists(dir.Path()) && IsFileReadable(file));
    EXPECT_FALSE(PathExists(missing) || IsFileReadable(dir.Path()) || IsFileReadable(missing));
    EXPECT_TRUE(fs::is_regular_file(ModuleFilePath())) << ModuleFilePath();
}

TEST(MD5Test, StandardDigestsOfKnownTexts) {
    EXPECT_EQ(YMD5("").CheckSum(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(YMD5("The quick brown fox jumps over the lazy dog").CheckSum(),
              "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(YMD5(nullptr).CheckSum(), YMD5("").CheckSum());
}

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
