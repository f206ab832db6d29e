// Paths, file status and MD5 of the platform layer (the memory file is used
// through the cache file's memory and image modes).
#include <gtest/gtest.h>

#include <utime.h>

#include <filesystem>

#include "platform/md5.h"
#include "platform/paths.h"
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

} // namespace
} // namespace mostfcat
